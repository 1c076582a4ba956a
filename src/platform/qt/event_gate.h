#pragma once
#include <array>
#include <functional>
#include <string>

#include "app/event_boundary.h"

namespace kv7 {

// Lets the window's handlers run one after the other. Keys, clicks and menus run at once, even
// inside another handler (a message box's nested loop); the window's own events (a resize, the
// console getting the focus, a close request) wait while a handler runs and follow the outermost
// one's end: the close first, which drops the others, then the resize, then the focus.
class EventGate {
  public:
    enum class State {
        Open,       // no handler runs
        InHandler,  // a handler runs; the window's own events wait
        Unloading,  // the close sequence has run (or runs); the window has not ended yet
        Unloaded    // the window has ended; its own events are ignored
    };
    // The window's own events, in the order they run after a handler.
    enum class Deferred { Unload, Resize, GotFocus };

    struct Handlers {
        // Runs one handler, reporting what it throws; Skipped when there is no logic to call.
        std::function<EventOutcome(const std::string& what, const std::function<void()>&)> run;
        std::function<void()> resize;       // Form_Resize
        std::function<void()> gotFocus;     // lboConsole_GotFocus
        std::function<void()> queryUnload;  // Form_QueryUnload
        std::function<void()> finish;       // hides the window and ends it
    };

    explicit EventGate(Handlers handlers) : h_(std::move(handlers)) {}

    State state() const { return state_; }
    // Whether the close sequence has begun.
    bool unloadStarted() const { return state_ == State::Unloading || state_ == State::Unloaded; }

    // Runs a handler now; what waited runs after the outermost handler.
    EventOutcome dispatch(const std::string& what, const std::function<void()>& handler);
    // One of the window's own events: runs now, waits, or is dropped. True when it waits.
    bool post(Deferred event);
    // The close sequence alone, once (the application is quitting).
    void queryUnloadOnce();
    // The close sequence and the end at once, even inside a handler (File > Exit).
    void unloadNow();

  private:
    void runNow(Deferred event);
    void runPending();
    void finish();

    Handlers h_;
    State state_ = State::Open;
    int depth_ = 0;                  // handlers running, nested
    std::array<bool, 3> pending_{};  // by Deferred
};

}  // namespace kv7
