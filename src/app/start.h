#pragma once
#include <functional>

#include "app/main_window.h"
#include "protocol/radio.h"
#include "serial/serial_link.h"
#include "store/message_sink.h"

namespace kv7 {

enum class StartResult {
    Running,           // the main window is loaded and the heartbeat runs
    SecondInstance,    // another copy runs: told so, nothing touched
    ConstantsMissing,  // "Const.ini" unreadable: told so, settings saved, link closed
    Failed             // an internal error during start-up: reported, link closed
};

// Text shown when another copy of the program is already running.
extern const char* const kSecondInstanceText;

// Reads the settings into the main window through the link's settings file.
void LoadSettings(frmCom& link);
// Writes the main window's settings through the link's settings file.
void SaveSettings(frmCom& link);

// The program's start. The platform says whether another copy runs; the link has been created
// (its initialisation reset it and left the port closed). On Running the platform shows the
// window; on any other result it ends the program.
StartResult Main(const std::function<bool()>& anotherInstanceRunning, MessageSink& messages,
                 frmCom& link, clsCmcRadio& radio, frmMain& window);

}  // namespace kv7
