#pragma once
#include <functional>
#include <string>

#include "model/operation_controller_interface.h"
#include "store/message_sink.h"

namespace kv7 {

// How many message boxes are open right now. A box runs a nested event loop on the platform,
// so a heartbeat can arrive while one is open; such a heartbeat must not run.
class ModalDepth {
  public:
    int depth() const { return depth_; }
    bool modal() const { return depth_ > 0; }
    void enter() { ++depth_; }
    void leave() {
        if (depth_ > 0) --depth_;
    }

  private:
    int depth_ = 0;
};

// Passes every message on to the platform's box and counts it as open while it is shown.
class ModalMessageSink : public MessageSink {
  public:
    ModalMessageSink(MessageSink& inner, ModalDepth& depth) : inner_(inner), depth_(depth) {}
    void showMessage(const std::string& text) override;

  private:
    MessageSink& inner_;
    ModalDepth& depth_;
};

enum class EventOutcome {
    Completed,  // the handler ran to its end
    Failed,     // the handler threw; reported and the operation reset
    Skipped,    // a heartbeat while a message box was open
    Refused     // an input while the inputs are locked: it only beeped
};

// Runs one event of the platform (heartbeat, key, click, menu). A programming error inside it
// ends only that event: one message names what failed, the operation controller is reset and
// the program goes on with the next event.
class EventBoundary {
  public:
    // `messages` should be the counting sink, so the error box itself counts as open.
    EventBoundary(MessageSink& messages, ModalDepth& depth) : messages_(messages), depth_(depth) {}

    void setController(OperationController* c) { controller_ = c; }
    // The technician's inputs that change the radio or the console do nothing but beep while
    // `locked` says so (an alignment runs and must not be disturbed).
    void setInputLock(std::function<bool()> locked, Beeper* beeper);

    // `what` names the event for the technician, e.g. "the periodic task".
    EventOutcome run(const std::string& what, const std::function<void()>& handler);
    // As run, but skipped while a message box is open.
    EventOutcome runTick(const std::string& what, const std::function<void()>& handler);
    // An input of the technician that changes the radio or the console: refused while locked,
    // otherwise as run.
    EventOutcome runInput(const std::string& what, const std::function<void()>& handler);
    // True, after the beep, when an input must do nothing now; for an input that would first
    // ask something (a file dialog) before it runs.
    bool refuseInput();

    // The text shown for a failure of `what` with the exception's own description.
    static std::string failureText(const std::string& what, const std::string& detail);

    const ModalDepth& modalDepth() const { return depth_; }
    int failures() const { return failures_; }

  private:
    void reportFailure(const std::string& what, const std::string& detail);

    MessageSink& messages_;
    ModalDepth& depth_;
    OperationController* controller_ = nullptr;
    std::function<bool()> inputLocked_;
    Beeper* beeper_ = nullptr;
    int failures_ = 0;
};

}  // namespace kv7
