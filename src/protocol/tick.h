#pragma once
#include <cstdint>

namespace kv7 {

// Milliseconds since some start, as a signed 32-bit count that wraps (GetTickCount).
class TickSource {
  public:
    virtual ~TickSource() = default;
    virtual int32_t GetTickCount() = 0;
};

// The real clock: the monotonic clock truncated to signed 32-bit milliseconds.
class SteadyTickSource : public TickSource {
  public:
    int32_t GetTickCount() override;
};

// Virtual time for tests and simulations: advances only when told.
class ManualTickSource : public TickSource {
  public:
    explicit ManualTickSource(int32_t start = 0) : now_(start) {}
    int32_t GetTickCount() override { return now_; }
    void set(int32_t now) { now_ = now; }
    // Wraps from 2^31-1 to -2^31 like the platform count.
    void advance(int32_t ms) {
        now_ = static_cast<int32_t>(static_cast<uint32_t>(now_) + static_cast<uint32_t>(ms));
    }

  private:
    int32_t now_;
};

// A millisecond countdown polled by its users.
class clsCmcTick {
  public:
    explicit clsCmcTick(TickSource& source) : source_(&source) {}
    void setCounter(int32_t d);  // start the countdown
    int32_t counter();           // remaining ms; 0 when over or never started

  private:
    TickSource* source_;
    int32_t startTick_ = 0;
    int32_t duration_ = 0;
    bool running_ = false;
};

}  // namespace kv7
