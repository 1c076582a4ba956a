#include "platform/qt/qt_program.h"

namespace kv7 {

QtProgram::QtProgram(QtProgramOptions options) : options_(std::move(options)) {
    qtPort_.setSettingsFile(program_.link().profMain().FullPath());
    heartbeat_.setOnTick([this] {
        testSetLinks_.deliverHeld();
        program_.heartbeat();
        if (afterHeartbeat_) afterHeartbeat_();
    });
    window_.setLogic(&program_.window());
    window_.setEventBoundary(&program_.boundary());
    program_.testSet().setLinkFactory(&testSetLinks_);
    program_.testSet().setView(&testSetWindow_);
}

QtProgram::~QtProgram() {
    program_.testSet().setView(nullptr);
    program_.testSet().setLinkFactory(nullptr);
    heartbeat_.setEnabled(false);
    heartbeat_.setOnTick({});
    window_.setLogic(nullptr);
    window_.setEventBoundary(nullptr);
}

StartResult QtProgram::start() {
    if (options_.singleInstance) lock_.emplace();
    return program_.Main([this] { return lock_.has_value() && lock_->anotherInstanceRunning(); });
}

}  // namespace kv7
