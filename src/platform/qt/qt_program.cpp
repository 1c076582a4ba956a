#include "platform/qt/qt_program.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <cmath>

#include "platform/qt/run_in_readings.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

// The smallest window in which no control overlaps another.
constexpr double kMinWidthTwips = 9300;
constexpr double kMinHeightTwips = 6600;

}  // namespace

QtProgram::QtProgram(QtProgramOptions options) : options_(std::move(options)) {
    qtPort_.setSettingsFile(program_.link().profMain().FullPath());
    // The technician hears of a device gone before the line error's own message.
    qtPort_.setOnDeviceGone([this](const QString& text) {
        devices_.deviceWentOrCame();
        AdditionsStatus& status = program_.additionsStatus();
        if (!text.isEmpty()) {
            goneStatus_ = text.toStdString() + ".";
            status.showStatus(goneStatus_);
        } else if (status.text() == goneStatus_) {
            status.showStatus({});  // the radio is back: the line no longer says it is gone
        }
    });
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
    // A radio whose device has gone is not there to write to, whatever the console still shows.
    imageMenus_.setRadioConnected([this] {
        return program_.controller().RigKV7Prop_EditEnabled() && qtPort_.goneText().isEmpty();
    });
    alignEscape_.watch(&window_);
    program_.testSet().setLinkFactory(&testSetLinks_);
    testSetLinks_.setComDevices([this](int16_t n) { return qtPort_.deviceName(n); });
    program_.testSet().setView(&testSetWindow_);
    // A run shows where it stands in the test-set window, and Esc there cancels it too.
    showRunInReadings(program_.align().run(), alignView_, testSetWindow_, messages_);
    alignEscape_.watch(&testSetWindow_);
    // Found by shrinking the window: below this the port label runs under "Connect" and the
    // console keeps too few lines to work with.
    // The additions' status line comes on top of the height the window's own controls need.
    const QStatusBar* status = window_.statusBar();
    window_.setMinimumSize(
        static_cast<int>(std::lround(kMinWidthTwips / window_.TwipsPerPixelX())),
        static_cast<int>(std::lround(kMinHeightTwips / window_.TwipsPerPixelY())) +
            (status->isVisibleTo(&window_) ? status->sizeHint().height() : 0));
    // The readings never hide the port label, the buttons or the menus.
    testSetWindow_.setKeepClear([this] {
        QRect r = window_.menuWidget() != nullptr
                      ? QRect(window_.menuWidget()->mapToGlobal(QPoint(0, 0)),
                              window_.menuWidget()->size())
                      : QRect();
        QWidget* const controls[] = {window_.comBusyWidget(), window_.buttonWidget(0),
                                     window_.buttonWidget(1), window_.buttonWidget(2),
                                     window_.checkWidget()};
        for (QWidget* w : controls) r |= QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        return r;
    });
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
    qtPort_.setOnDeviceGone({});
    heartbeat_.setEnabled(false);
    heartbeat_.setOnTick({});
    window_.setLogic(nullptr);
    window_.setEventBoundary(nullptr);
    window_.setReadyToClose({});
    program_.additionsStatus().setTarget(nullptr);
    program_.align().run().setView(nullptr);
    stopShowingRun(alignView_, messages_);
    imageMenus_.setRadioConnected({});
}

StartResult QtProgram::start() {
    if (options_.singleInstance) lock_.emplace();
    return program_.Main([this] { return lock_.has_value() && lock_->anotherInstanceRunning(); });
}

}  // namespace kv7
