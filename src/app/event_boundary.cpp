#include "app/event_boundary.h"

#include <exception>

namespace kv7 {

void ModalMessageSink::showMessage(const std::string& text) {
    depth_.enter();
    try {
        inner_.showMessage(text);
    } catch (...) {
        depth_.leave();
        throw;
    }
    depth_.leave();
}

std::string EventBoundary::failureText(const std::string& what, const std::string& detail) {
    return "Internal error in " + what + ":\r\n" + (detail.empty() ? "(no description)" : detail) +
           "\r\n\r\nThe operation has been stopped and reset.";
}

EventOutcome EventBoundary::run(const std::string& what, const std::function<void()>& handler) {
    try {
        handler();
        return EventOutcome::Completed;
    } catch (const std::exception& e) {
        reportFailure(what, e.what());
    } catch (...) {
        reportFailure(what, "unknown error");
    }
    return EventOutcome::Failed;
}

EventOutcome EventBoundary::runTick(const std::string& what, const std::function<void()>& handler) {
    if (depth_.modal()) return EventOutcome::Skipped;
    return run(what, handler);
}

void EventBoundary::setInputLock(std::function<bool()> locked, Beeper* beeper) {
    inputLocked_ = std::move(locked);
    beeper_ = beeper;
}

bool EventBoundary::refuseInput() {
    if (!inputLocked_ || !inputLocked_()) return false;
    if (beeper_ != nullptr) beeper_->beep();
    return true;
}

EventOutcome EventBoundary::runInput(const std::string& what,
                                     const std::function<void()>& handler) {
    if (refuseInput()) return EventOutcome::Refused;
    return run(what, handler);
}

void EventBoundary::reportFailure(const std::string& what, const std::string& detail) {
    ++failures_;
    // The report itself must not end the program: a failing box or reset is swallowed here,
    // the next event starts from whatever state the reset reached.
    try {
        messages_.showMessage(failureText(what, detail));
    } catch (...) {
    }
    try {
        if (controller_ != nullptr) controller_->RigOpFunc_ResetAll();
    } catch (...) {
    }
}

}  // namespace kv7
