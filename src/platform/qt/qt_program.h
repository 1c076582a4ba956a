#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/program.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/qt_align_escape.h"
#include "platform/qt/qt_align_menu.h"
#include "platform/qt/qt_align_view.h"
#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_help_menu.h"
#include "platform/qt/qt_image_menus.h"
#include "platform/qt/qt_instance_lock.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_test_set_links.h"
#include "platform/qt/service_report_actions.h"
#include "platform/qt/test_set_dialog.h"
#include "platform/qt/test_set_window.h"
#include "protocol/tick.h"

namespace kv7 {

// What the entry points building a QtProgram choose.
struct QtProgramOptions {
    std::string programDirectory;  // holds the settings file
    std::string constantsFile = "Const.ini";
    // Where an unsaved service record is kept; empty: "reports" beside the settings file.
    std::string reportsFolder;
    // Another running copy stops the start.
    bool singleInstance = false;
    // Sits between the Qt port and the program (a meter, say), passing everything on to the
    // port it is given.
    std::function<std::unique_ptr<SerialPort>(QtSerialPort&)> portDecorator;
    // Beeps instead of the system's beeper; it must outlive the QtProgram.
    Beeper* beeper = nullptr;
};

// The program with its Qt adapters, wired the same way for every entry point. The members are
// in construction order, so one more adapter is one more member at the end. The destructor
// stops the heartbeat and detaches the window first, so nothing calls into the program while
// it and the port go.
class QtProgram {
  public:
    explicit QtProgram(QtProgramOptions options);
    ~QtProgram();
    QtProgram(const QtProgram&) = delete;
    QtProgram& operator=(const QtProgram&) = delete;

    // The program's start-up; the caller shows the window on Running.
    StartResult start();
    // More work on every heartbeat, after the program's own.
    void setAfterHeartbeat(std::function<void()> f) { afterHeartbeat_ = std::move(f); }

    Program& program() { return program_; }
    QtMainWindow& window() { return window_; }
    QtMessageBox& messages() { return messages_; }
    QtSerialPort& serialPort() { return qtPort_; }
    PortDeviceChooser& devices() { return devices_; }
    QtImageMenus& imageMenus() { return imageMenus_; }
    ServiceReportActions& reports() { return reports_; }
    QtAlignView& alignView() { return alignView_; }
    QtAlignMenu& alignMenu() { return alignMenu_; }
    QtAlignEscape& alignEscape() { return alignEscape_; }
    TestSetWindow& testSetWindow() { return testSetWindow_; }
    TestSetDialog& testSetDialog() { return testSetDialog_; }
    QtHelpMenu& helpMenu() { return helpMenu_; }

  private:
    SerialPort& programPort() { return decorated_ ? *decorated_ : qtPort_; }
    Beeper& beeper() { return options_.beeper != nullptr ? *options_.beeper : qtBeeper_; }

    QtProgramOptions options_;
    std::function<void()> afterHeartbeat_;
    std::string goneStatus_;              // what the status line said when the radio's device went
    std::optional<QtInstanceLock> lock_;  // taken by start() when asked for
    QtSerialPort qtPort_;
    std::unique_ptr<SerialPort> decorated_{options_.portDecorator ? options_.portDecorator(qtPort_)
                                                                  : nullptr};
    SteadyTickSource ticks_;
    QtHeartbeat heartbeat_;
    QtMainWindow window_;
    QtMessageBox messages_{&window_};
    QtBeeper qtBeeper_;
    Program program_ = Program(programPort(), ticks_, messages_, beeper(), window_,
                               options_.programDirectory, options_.constantsFile, &heartbeat_);
    PortDeviceChooser devices_{window_, program_, qtPort_};
    QtImageMenus imageMenus_{window_, program_.imageBackup(), program_.boundary()};
    ServiceReportActions reports_{window_, program_, qtPort_};
    QtAlignView alignView_{program_, &window_};
    QtAlignMenu alignMenu_{window_, program_};
    QtAlignEscape alignEscape_{program_};
    // The test set's reports wait while a message box is open, as the radio's bytes do.
    QtTestSetLinks testSetLinks_{[this](const std::function<void()>& report) {
        return program_.boundary().runTick("the test set's connection", report) !=
               EventOutcome::Skipped;
    }};
    TestSetWindow testSetWindow_{&window_};
    TestSetDialog testSetDialog_{window_, program_, testSetWindow_};
    QtHelpMenu helpMenu_{window_, program_, options_.constantsFile};
};

}  // namespace kv7
