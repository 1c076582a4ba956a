#include "platform/qt/close_delay.h"

namespace kv7 {

bool CloseDelay::mayClose() {
    switch (state_) {
        case State::Free:
            if (!ready_ || ready_()) return true;
            state_ = State::Waiting;
            beats_ = 0;
            return false;
        case State::Waiting:
            if (ready_ && beats_ < kMaxBeats && !ready_()) return false;
            state_ = State::Free;
            return true;
    }
    return true;
}

bool CloseDelay::beat() {
    if (state_ != State::Waiting) return false;
    ++beats_;
    return mayClose();
}

}  // namespace kv7
