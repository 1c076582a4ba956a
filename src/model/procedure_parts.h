#pragma once
#include <cstdint>
#include <string>

#include "console/console.h"
#include "model/monitor_reader.h"
#include "model/session_observer.h"
#include "protocol/sequencer.h"
#include "store/message_sink.h"

namespace kv7 {

// What an adjustment procedure drives: the line, the console, the A/D readings and the beep
// at its end.
struct ProcedureParts {
    clsCmcQkv3Sequence& seq;
    clsConsole& console;
    MonitorReader& monitor;
    Beeper& beeper;
};

// The text of an adjustment command: the command byte and the value, both in hex.
std::string CommandText(int16_t command, int16_t value);

// Tells the observer, if any, that the item's value has gone out.
void ReportItemSent(SessionObserver* observer, const clsConsole& console, int16_t index,
                    SendCause cause);

}  // namespace kv7
