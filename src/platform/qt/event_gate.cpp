#include "platform/qt/event_gate.h"

namespace kv7 {

namespace {

size_t slot(EventGate::Deferred e) {
    return static_cast<size_t>(e);
}

}  // namespace

EventOutcome EventGate::dispatch(const std::string& what, const std::function<void()>& handler) {
    if (state_ == State::Open) state_ = State::InHandler;
    ++depth_;
    const EventOutcome outcome = h_.run(what, handler);
    --depth_;
    if (depth_ == 0 && state_ == State::InHandler) state_ = State::Open;
    if (depth_ == 0) runPending();
    return outcome;
}

bool EventGate::post(Deferred event) {
    switch (state_) {
        case State::Open: runNow(event); return false;
        case State::InHandler: pending_[slot(event)] = true; return true;
        case State::Unloading:
            // Only the end is left to do, once no handler runs.
            if (event != Deferred::Unload) return false;
            if (depth_ > 0) {
                pending_[slot(event)] = true;
                return true;
            }
            finish();
            return false;
        case State::Unloaded: return false;
    }
    return false;
}

void EventGate::queryUnloadOnce() {
    if (unloadStarted()) return;
    state_ = State::Unloading;
    dispatch("closing the window", h_.queryUnload);
}

void EventGate::unloadNow() {
    queryUnloadOnce();
    finish();
}

void EventGate::runNow(Deferred event) {
    switch (event) {
        case Deferred::Unload: unloadNow(); break;
        case Deferred::Resize: dispatch("the window's size change", h_.resize); break;
        case Deferred::GotFocus: dispatch("the console list", h_.gotFocus); break;
    }
}

void EventGate::runPending() {
    while (depth_ == 0) {
        if (pending_[slot(Deferred::Unload)]) {
            pending_ = {};
            post(Deferred::Unload);
        } else if (pending_[slot(Deferred::Resize)]) {
            pending_[slot(Deferred::Resize)] = false;
            post(Deferred::Resize);
        } else if (pending_[slot(Deferred::GotFocus)]) {
            pending_[slot(Deferred::GotFocus)] = false;
            post(Deferred::GotFocus);
        } else {
            return;
        }
    }
}

void EventGate::finish() {
    if (state_ == State::Unloaded) return;
    state_ = State::Unloaded;
    h_.finish();
}

}  // namespace kv7
