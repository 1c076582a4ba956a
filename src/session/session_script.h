#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv7 {

// A technician's script for a run of the program without a screen: one action per line,
// blank lines and '#' comments ignored. The actions are what a technician does at the window
// (click, key, select, menu, TCXO box) and what they look for (a line, a state, a picture).
enum class SessionVerb {
    Click,
    Key,
    Select,
    Tcxo,
    Menu,
    WaitLine,
    WaitState,
    Wait,
    Timeout,  // the limit of the waits that follow
    Screenshot,
    Print,
    Device,  // the selected COM port's device
    SaveImage,
    WriteImage,
    SaveCurrent,
    Report,
    SweepData,
    Align,
    AlignData,
    TestSet,        // connects to the test set
    WaitReading,    // the next good reading of a quantity
    ContinueOnFail  // from here on a failed point does not end the script
};

// A verb as the script spells it, and its line of the usage text.
struct SessionVerbInfo {
    SessionVerb verb;
    const char* name;
    const char* usage;
};

// Every verb, in the order the usage lists them.
const std::vector<SessionVerbInfo>& sessionVerbs();
// The script part of the usage text: a line (or two) per verb.
std::string sessionVerbUsage();

enum class SessionKey { Left, Right, Enter, Up, Down, F5 };
enum class SessionState { Connected, Idle, DispPara };
enum class SessionMenu { Port, Release, Exit, KeepImages };
enum class SessionQuantity { Power, Frequency, Deviation };

// A console line named by its index or by the title of its item.
struct ConsoleLineRef {
    std::optional<int16_t> index;
    std::string title;  // when no index is given
};

struct SessionAction {
    int line = 0;        // 1-based line of the script
    std::string source;  // the action as written, without its comment
    SessionVerb verb = SessionVerb::Print;
    int16_t button = 0;  // Click: 0 Connect, 1 Reload(F5), 2 Disp para
    SessionKey key = SessionKey::Enter;
    bool shift = false;
    std::optional<ConsoleLineRef> target;  // Key (after "on") and Select
    bool tcxoOn = false;
    SessionMenu menu = SessionMenu::Exit;
    int16_t menuIndex = 0;  // Menu port (1..4) or release (0..5)
    bool menuOn = false;    // Menu keep-images on/off
    // WaitLine: the text looked for; Screenshot, the image verbs, Report, SweepData,
    // AlignData: the file; Device: the path; Align: the point as the Align menu names it, or
    // "all"
    std::string text;
    SessionState state = SessionState::Idle;
    double seconds = 0;  // Wait, Timeout
    // TestSet: the address is the text; the profile's name, empty to choose it by *IDN?
    std::string profile;
    bool cancel = false;  // Align: the key-up question answered with Cancel
    SessionQuantity quantity = SessionQuantity::Power;  // WaitReading
};

struct SessionScriptError {
    int line = 0;
    std::string message;
};

struct SessionScript {
    std::vector<SessionAction> actions;
    std::vector<SessionScriptError> errors;  // every bad line, in order; empty for a good script
    bool ok() const { return errors.empty(); }
};

// Reads a whole script. A bad line is reported with its number and the script as a whole is
// then not to be run; every bad line is reported, not only the first.
SessionScript parseSessionScript(std::string_view text);

// "line 3: unknown action 'clik'".
std::string describe(const SessionScriptError& e);

// The console line a reference names: the index itself when it exists, otherwise the first
// line whose item title equals the reference's title, leading and trailing blanks and the
// letter case aside. -1 when there is none.
int16_t findConsoleLine(const ConsoleLineRef& ref, const std::vector<std::string>& titles);

// The names the script uses, for messages and the printed transcript.
const char* sessionKeyName(SessionKey k);
const char* sessionStateName(SessionState s);
const char* sessionQuantityName(SessionQuantity q);

}  // namespace kv7
