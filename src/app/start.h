#pragma once
#include <functional>
#include <string>

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

// Writes the settings file into the program folder `dir` for a run by a script or a bench:
// COM port `comPort` selected, no automatic release and, when a device is given, that COM port
// mapped to it. False when the file cannot be written.
bool WritePresetSettings(const std::string& dir, int comPort, const std::string& device);

// The program's start. The platform says whether another copy runs; the link has been created
// (its initialisation reset it and left the port closed). On Running the platform shows the
// window; on any other result it ends the program.
StartResult Main(const std::function<bool()>& anotherInstanceRunning, MessageSink& messages,
                 frmCom& link, clsCmcRadio& radio, frmMain& window);

}  // namespace kv7
