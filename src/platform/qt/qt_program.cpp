#include "platform/qt/qt_program.h"

#include "store/file_path.h"

namespace kv7 {

QtProgram::QtProgram(QtProgramOptions options) : options_(std::move(options)) {
    qtPort_.setSettingsFile(program_.link().profMain().FullPath());
    heartbeat_.setOnTick([this] {
        testSetLinks_.deliverHeld();
        program_.heartbeat();
        window_.retryClose();
        if (afterHeartbeat_) afterHeartbeat_();
    });
    window_.setLogic(&program_.window());
    window_.setEventBoundary(&program_.boundary());
    program_.additionsStatus().setTarget(&window_);
    program_.recordKeeper().setReportWriter(&reports_);
    imageMenus_.setSaveFolders(&program_.saveFolders());
    if (!options_.reportsFolder.empty()) {
        program_.recordKeeper().setReportsFolder(pathFromUtf8(options_.reportsFolder));
    }
    // An alignment puts its item back on the line before the window may close.
    window_.setReadyToClose([this] { return program_.readyToClose(); });
    program_.align().run().setView(&alignView_);
    alignEscape_.watch(&window_);
    program_.testSet().setLinkFactory(&testSetLinks_);
    testSetLinks_.setComDevices([this](int16_t n) { return qtPort_.deviceName(n); });
    program_.testSet().setView(&testSetWindow_);
    // A run shows where it stands in the test-set window, and Esc there cancels it too.
    alignView_.setOnProgress(
        [this](const AlignProgress& p) { testSetWindow_.showAlignProgress(p); });
    alignView_.setOnEnded([this] { testSetWindow_.endAlignProgress(); });
    alignEscape_.watch(&testSetWindow_);
}

QtProgram::~QtProgram() {
    // However the program ends, a record holding work in no saved report is kept first, while
    // the report's writer and the radio's image are still whole.
    program_.recordKeeper().programEnding();
    program_.recordKeeper().setReportWriter(nullptr);
    // The connection and its socket go while the window and the program are still whole.
    program_.testSet().disconnect();
    program_.testSet().setView(nullptr);
    program_.testSet().setLinkFactory(nullptr);
    heartbeat_.setEnabled(false);
    heartbeat_.setOnTick({});
    window_.setLogic(nullptr);
    window_.setEventBoundary(nullptr);
    window_.setReadyToClose({});
    program_.additionsStatus().setTarget(nullptr);
    program_.align().run().setView(nullptr);
    alignView_.setOnProgress({});
    alignView_.setOnEnded({});
}

StartResult QtProgram::start() {
    if (options_.singleInstance) lock_.emplace();
    return program_.Main([this] { return lock_.has_value() && lock_->anotherInstanceRunning(); });
}

}  // namespace kv7
