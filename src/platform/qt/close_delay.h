#pragma once
#include <functional>

namespace kv7 {

// Holds the window's close while the program still has work on the radio's line (an alignment
// putting its item back). The close is asked again on every heartbeat until the program is
// ready, or until the limit has passed: then it goes ahead anyway.
class CloseDelay {
  public:
    enum class State {
        Free,     // no close waits
        Waiting,  // a close was asked for and put off
    };
    // 10 s of 50 ms heartbeats.
    static constexpr int kMaxBeats = 200;

    // Whether the program is ready to close; asking may start what makes it ready. None: always.
    void setReady(std::function<bool()> ready) { ready_ = std::move(ready); }

    State state() const { return state_; }
    // A close was asked for: true when it may go ahead now; otherwise it waits.
    bool mayClose();
    // One heartbeat: true when the waiting close may now go ahead.
    bool beat();

  private:
    std::function<bool()> ready_;
    State state_ = State::Free;
    int beats_ = 0;
};

}  // namespace kv7
