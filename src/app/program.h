#pragma once
#include <functional>
#include <string>

#include "app/additions_status.h"
#include "app/align_station.h"
#include "app/event_boundary.h"
#include "app/image_backup.h"
#include "app/main_window.h"
#include "app/record_keeper.h"
#include "app/save_folders.h"
#include "app/start.h"
#include "app/test_set_station.h"
#include "console/console.h"
#include "model/operation_controller.h"
#include "model/session_record.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/tick.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "store/message_sink.h"
#include "view/window_controls.h"

namespace kv7 {

// The composition root: one object of each kind, wired to each other and to the platform.
// Holds no global state, so any number of programs can live side by side.
class Program {
  public:
    Program(SerialPort& port, TickSource& ticks, MessageSink& messages, Beeper& beeper,
            MainWindowView& view, const std::string& programDirectory,
            const std::string& constFilePath, HeartbeatTimer* timer);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up; the platform shows the window on Running and ends the program otherwise.
    StartResult Main(const std::function<bool()>& anotherInstanceRunning);

    // Entry points for the platform; each runs through the event boundary.
    EventOutcome heartbeat();               // the 50 ms timer
    EventOutcome commEvent(int commEvent);  // the serial port's event (also set as its handler)
    EventOutcome event(const std::string& what, const std::function<void()>& handler);
    // The console's key handler; true when the key was consumed.
    bool consoleKeyDown(int keyCode, bool shift);

    frmCom& link() { return link_; }
    clsCmcRadio& radio() { return radio_; }
    clsCmcQkv3Sequence& sequencer() { return seq_; }
    clsConsole& console() { return console_; }
    frmMain& window() { return window_; }
    clsIndOp_RigKV7& controller() { return controller_; }
    // What the controller noted of the latest connection, for the service report.
    const SessionRecord& sessionRecord() const { return record_; }
    // Keeps that record's work when it would be dropped without a saved report.
    RecordKeeper& recordKeeper() { return keeper_; }
    // The folders the save dialogs start in.
    SaveFolders& saveFolders() { return saveFolders_; }
    EventBoundary& boundary() { return boundary_; }
    // The sink every part of the program shows its messages through.
    MessageSink& messages() { return sink_; }
    const ModalDepth& modalDepth() const { return depth_; }
    // For a box the platform opens outside the message sink (a question), so it counts as open.
    ModalDepth& modalDepth() { return depth_; }
    ImageBackup& imageBackup() { return backup_; }
    TestSetStation& testSet() { return testSet_; }
    AlignStation& align() { return align_; }
    // The line under the window's controls where the additions say what they did.
    AdditionsStatus& additionsStatus() { return status_; }
    // Closing must wait while an alignment puts its item back on the line: false (and the run
    // told to end) until it has.
    bool readyToClose();
    // After the end: empty when the settings were saved (or there was nothing to save), else
    // what the platform tells on standard error before it ends with a non-zero status.
    std::string settingsSaveFailure();

  private:
    ModalDepth depth_;
    AdditionsStatus status_;
    ModalMessageSink sink_;
    EventBoundary boundary_;
    SerialPort& port_;
    frmCom link_;
    SaveFolders saveFolders_{link_.profMain()};
    clsCmcRadio radio_;
    clsCmcQkv3Sequence seq_;
    clsConsole console_;
    frmMain window_;
    clsIndOp_RigKV7 controller_;
    ImageBackup backup_;
    SessionRecord record_;
    RecordKeeper keeper_;
    TestSetStation testSet_;
    AlignStation align_;
};

}  // namespace kv7
