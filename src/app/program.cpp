#include "app/program.h"

#include "model/eeprom_map.h"
#include "store/file_path.h"

namespace kv7 {

Program::Program(SerialPort& port, TickSource& ticks, MessageSink& messages, Beeper& beeper,
                 MainWindowView& view, const std::string& programDirectory,
                 const std::string& constFilePath, HeartbeatTimer* timer)
    : sink_(messages, depth_),
      boundary_(sink_, depth_),
      port_(port),
      link_(port, ticks, programDirectory),
      seq_(link_, link_.qkv3D(), radio_, ticks),
      window_(link_, seq_, console_, view, sink_),
      controller_(seq_, radio_, console_, view, window_, ticks, beeper, constFilePath),
      backup_(radio_, seq_, controller_, controller_, view, sink_, depth_, link_.profMain()),
      keeper_(
          record_, status_,
          [this] {
              return clsIndEep_RigKV7(radio_.eepImage).RigKV7Eep_DispParaText([this](int16_t i) {
                  return controller_.RigKV7Op_Table_Txf_TempBorder(i);
              });
          }),
      testSet_(ticks, controller_, link_.profMain(), sink_),
      align_(console_, controller_, testSet_, link_, ticks, sink_, record_, constFilePath) {
    // The image backup passes the controller's sub-name judgement on and adds its own.
    seq_.setSubNameChecker(&backup_);
    controller_.setCloneReadObserver(&backup_);
    seq_.setErrorReporter(&window_);
    link_.setClient(&window_);
    link_.setTimer(timer);
    window_.setController(&controller_);
    boundary_.setController(&controller_);
    // While a run aligns the radio, the technician's other inputs would change what it measures.
    boundary_.setInputLock([this] { return align_.run().running(); }, &beeper);
    controller_.setSessionObserver(&record_);
    record_.setListener(&keeper_);
    // Beside the settings file, where the program may write.
    keeper_.setReportsFolder(pathFromUtf8(programDirectory) / "reports");
    backup_.setStatusLine(&status_);
    // The port's events run through the boundary like every other event.
    port_.setCommEventHandler([this](int ev) { commEvent(ev); });
}

Program::~Program() {
    port_.setCommEventHandler({});
}

StartResult Program::Main(const std::function<bool()>& anotherInstanceRunning) {
    StartResult result = StartResult::Failed;
    const EventOutcome outcome = boundary_.run("the start-up", [&] {
        result = kv7::Main(anotherInstanceRunning, sink_, link_, radio_, window_);
        if (result != StartResult::Running) return;
        backup_.loadSettings();
        testSet_.load();
        align_.load();
    });
    if (outcome != EventOutcome::Completed) {
        // Half started: leave as a normal end would, without a second report.
        boundary_.run("the shutdown", [&] { window_.Form_QueryUnload(); });
        return StartResult::Failed;
    }
    return result;
}

EventOutcome Program::heartbeat() {
    return boundary_.runTick("the periodic task", [&] {
        link_.timSolid_Timer();
        backup_.task();
        testSet_.task();
        align_.task();
    });
}

EventOutcome Program::commEvent(int commEvent) {
    const auto handler = [&] { link_.MsCom_OnComm(commEvent); };
    // Received bytes run a heartbeat at once; while a box is open they wait for a later one.
    if (commEvent == SerialPort::kEvReceive) return boundary_.runTick("the serial port", handler);
    return boundary_.run("the serial port", handler);
}

EventOutcome Program::event(const std::string& what, const std::function<void()>& handler) {
    return boundary_.run(what, handler);
}

bool Program::readyToClose() {
    if (!align_.run().running()) return true;
    boundary_.run("closing during an alignment", [&] { align_.run().cancel(); });
    return !align_.run().running();
}

std::string Program::settingsSaveFailure() {
    if (!window_.settingsSaveFailed()) return {};
    return "cannot save the settings to " + link_.profMain().FullPath();
}

bool Program::consoleKeyDown(int keyCode, bool shift) {
    bool consumed = false;
    const auto handler = [&] { consumed = window_.lboConsole_KeyDown(keyCode, shift); };
    const EventOutcome outcome = frmMain::consoleKeyActs(keyCode)
                                     ? boundary_.runInput("the console key", handler)
                                     : boundary_.run("the console key", handler);
    // A failed or refused key was one of the console's own keys: keep the list from acting on it.
    return consumed || outcome == EventOutcome::Failed || outcome == EventOutcome::Refused;
}

}  // namespace kv7
