#include "protocol/tick.h"

#include <chrono>

namespace kv7 {

int32_t SteadyTickSource::GetTickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

void clsCmcTick::setCounter(int32_t d) {
    startTick_ = source_->GetTickCount();
    running_ = true;
    duration_ = d;
}

int32_t clsCmcTick::counter() {
    if (!running_) return 0;
    const int64_t now = source_->GetTickCount();
    const int64_t start = startTick_;
    constexpr int64_t k30 = int64_t{1} << 30;
    bool over = false;
    int64_t e = 0;
    if (now >= start) {
        // Halved and rounded down, as far apart as half the range: too long ago to tell.
        auto half = [](int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); };
        if (half(now) - half(start) >= k30) {
            over = true;
        } else {
            e = now - start;
        }
    } else if (start >= k30 && now <= -k30) {
        e = now - start + (int64_t{1} << 32);
    } else {
        over = true;
    }
    if (over || e >= duration_) {
        running_ = false;
        return 0;
    }
    return static_cast<int32_t>(duration_ - e);
}

}  // namespace kv7
