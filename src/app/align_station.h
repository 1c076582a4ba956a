#pragma once
#include <string>

#include "align/align_run.h"
#include "align/test_set_instrument.h"
#include "app/console_align_radio.h"
#include "app/test_set_station.h"
#include "model/session_record.h"
#include "serial/serial_link.h"

namespace kv7 {

// What the windows say while a run goes on, when every other input only beeps.
inline constexpr const char* kAligningStatus = "Aligning: Esc stops the run";

// Alignment against the test set as the program holds it: the targets of "Align.ini" (beside
// the constants file, read at start-up), the run, and its records in the session.
class AlignStation {
  public:
    AlignStation(clsConsole& console, clsIndOp_RigKV7& controller, TestSetStation& testSet,
                 const frmCom& link, TickSource& ticks, MessageSink& messages,
                 SessionRecord& record, std::string constFilePath);

    // Reads the targets; a file that is there but cannot be used is told once, by its line.
    void load();
    // The fault of the targets file, empty when it was read or is not there.
    const std::string& fault() const { return fault_; }
    const std::string& path() const { return path_; }

    AlignRun& run() { return run_; }
    // Points may be started: the radio connected, the test set ready, no run going.
    bool available() const;
    void task() { run_.task(); }

  private:
    MessageSink& messages_;
    std::string path_;
    std::string fault_;
    ConsoleAlignRadio radio_;
    TestSetInstrument instrument_;
    AlignRun run_;
};

}  // namespace kv7
