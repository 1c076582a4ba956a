#include "session/session_script.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

#include "session/session_words.h"

namespace kv7 {

using script::Args;
using script::lower;
using script::normalizedName;
using script::trim;
using script::withoutComment;

const std::vector<SessionVerbInfo>& sessionVerbs() {
    static const std::vector<SessionVerbInfo> verbs = {
        {SessionVerb::Click, "click", "  click <0|1|2|Connect|Reload|Disp para>\n"},
        {SessionVerb::Key, "key",
         "  key <Left|Right|Enter|Up|Down|F5> [shift] [on <console line index or title>]\n"},
        {SessionVerb::Select, "select", "  select <console line index or title>\n"},
        {SessionVerb::Tcxo, "tcxo", "  tcxo <on|off>\n"},
        {SessionVerb::Menu, "menu", "  menu <port N|release N|keep-images on|off|exit>\n"},
        {SessionVerb::WaitLine, "wait-line",
         "  wait-line <text>     until a console or monitor line shows the text (\"...\" keeps "
         "blanks)\n"},
        {SessionVerb::WaitState, "wait-state", "  wait-state <connected|idle|disp-para>\n"},
        {SessionVerb::Wait, "wait", "  wait <seconds>\n"},
        {SessionVerb::Timeout, "timeout",
         "  timeout <seconds>    the limit of the waits that follow\n"},
        {SessionVerb::Screenshot, "screenshot", "  screenshot <file.png>\n"},
        {SessionVerb::Print, "print", "  print                what the window shows\n"},
        {SessionVerb::Device, "device",
         "  device <path>        assigns the device to the selected COM port (Option > Port >\n"
         "                       Device...)\n"},
        {SessionVerb::SaveImage, "save-image",
         "  save-image <file>    File > Save image as read\n"},
        {SessionVerb::SaveCurrent, "save-current",
         "  save-current <file>  File > Save current image (once the console's changes are "
         "sent)\n"},
        {SessionVerb::WriteImage, "write-image",
         "  write-image <file>   File > Write image to radio, until it is written and read back\n"},
        {SessionVerb::Report, "report",
         "  report <file.pdf>    File > Save service report, to this file\n"},
        {SessionVerb::SweepData, "sweep-data",
         "  sweep-data <file.csv>  File > Save sweep data, to this file\n"},
        {SessionVerb::Align, "align",
         "  align <Power(Hi)|Power(LO)|MOD|TXF|all> [cancel]  Align > the point (all: All\n"
         "                       points), every question answered with OK (with cancel: the\n"
         "                       first with Cancel), until the run ends; fails when a point\n"
         "                       fails or, without cancel, is cancelled\n"},
        {SessionVerb::AlignData, "align-data",
         "  align-data <file.csv>  File > Save alignment data, to this file\n"},
        {SessionVerb::TestSet, "test-set",
         "  test-set <address> [profile]\n"
         "                       connects to the test set at HOST[:PORT] or\n"
         "                       DEVICE[@BAUD][#GPIB] (the profile by *IDN? unless named)\n"},
        {SessionVerb::WaitReading, "wait-reading",
         "  wait-reading <power|frequency|deviation>\n"
         "                       until the test set's next good reading, and prints it\n"},
        {SessionVerb::ContinueOnFail, "continue-on-fail",
         "  continue-on-fail     from here on, a point that fails does not end the script; the\n"
         "                       exit status still says so (1) and names the failed points\n"},
    };
    return verbs;
}

std::string sessionVerbUsage() {
    std::string usage;
    for (const SessionVerbInfo& v : sessionVerbs()) usage += v.usage;
    return usage;
}

namespace {

// The longest wait a script may ask for: an hour is far more than any radio operation takes.
constexpr double kMaxSeconds = 3600;

// "click, key, ...": every verb, in the order of the table.
std::string actionList() {
    std::string list;
    for (const SessionVerbInfo& v : sessionVerbs())
        list += (list.empty() ? "" : ", ") + std::string(v.name);
    return list;
}
constexpr const char* kButtonList = "0, 1, 2, Connect, Reload or Disp para";
constexpr const char* kKeyList = "Left, Right, Enter, Up, Down or F5";
constexpr const char* kStateList = "connected, idle or disp-para";
// The Align menu's points, as it names them.
constexpr std::array<const char*, 4> kAlignPointNames = {"Power(Hi)", "Power(LO)", "MOD", "TXF"};
constexpr const char* kAlignList = "Power(Hi), Power(LO), MOD, TXF or all";

bool parseInt(std::string_view s, int lo, int hi, int& out) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseSeconds(std::string_view s, double& out) {
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v) || v < 0 ||
        v > kMaxSeconds) {
        return false;
    }
    out = v;
    return true;
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One action of a line; on a bad line `error` says what is wrong.
class LineParser {
  public:
    LineParser(SessionAction& a, std::string& error) : a_(a), error_(error) {}

    bool parse(std::string_view verb, Args args) {
        const std::string v = lower(verb);
        const auto& verbs = sessionVerbs();
        const auto found = std::find_if(verbs.begin(), verbs.end(),
                                        [&v](const SessionVerbInfo& i) { return v == i.name; });
        if (found == verbs.end()) {
            return fail("unknown action '" + std::string(verb) + "' (actions: " + actionList() +
                        ")");
        }
        const char* name = found->name;
        switch (found->verb) {
            case SessionVerb::Click: return click(args);
            case SessionVerb::Key: return key(args);
            case SessionVerb::Select: return select(args);
            case SessionVerb::Tcxo: return tcxo(args);
            case SessionVerb::Menu: return menu(args);
            case SessionVerb::WaitLine: return waitLine(args);
            case SessionVerb::WaitState: return waitState(args);
            case SessionVerb::Wait: return seconds(SessionVerb::Wait, name, args, true);
            case SessionVerb::Timeout: return seconds(SessionVerb::Timeout, name, args, false);
            case SessionVerb::Screenshot: return file(SessionVerb::Screenshot, name, ".png", args);
            case SessionVerb::Print: return print(args);
            case SessionVerb::Device: return device(args);
            case SessionVerb::SaveImage:
            case SessionVerb::SaveCurrent:
            case SessionVerb::WriteImage: return imageFile(found->verb, name, args);
            case SessionVerb::Report: return file(SessionVerb::Report, name, ".pdf", args);
            case SessionVerb::SweepData: return file(SessionVerb::SweepData, name, ".csv", args);
            case SessionVerb::Align: return align(args);
            case SessionVerb::AlignData: return file(SessionVerb::AlignData, name, ".csv", args);
            case SessionVerb::TestSet: return testSet(args);
            case SessionVerb::WaitReading: return waitReading(args);
            case SessionVerb::ContinueOnFail:
                a_.verb = SessionVerb::ContinueOnFail;
                return nothingMore(args, name);
        }
        return fail("unknown action '" + std::string(verb) + "'");
    }

  private:
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool nothingMore(Args& args, const char* after) {
        if (args.empty()) return true;
        return fail("unexpected '" + std::string(args.rest()) + "' after " + after);
    }

    bool click(Args& args) {
        a_.verb = SessionVerb::Click;
        std::string name;
        bool quoted = false;
        if (!args.text(name, quoted, error_)) return false;
        static const std::array<std::pair<const char*, int16_t>, 7> kButtons{{{"0", 0},
                                                                              {"connect", 0},
                                                                              {"1", 1},
                                                                              {"reload", 1},
                                                                              {"reload(f5)", 1},
                                                                              {"2", 2},
                                                                              {"disp para", 2}}};
        const std::string n = normalizedName(name);
        if (n.empty()) return fail(std::string("click needs a button: ") + kButtonList);
        for (const auto& [text, index] : kButtons) {
            if (n == text) {
                a_.button = index;
                return true;
            }
        }
        return fail("no button '" + name + "' (buttons: " + kButtonList + ")");
    }

    bool lineRef(Args& args, const char* what) {
        std::string text;
        bool quoted = false;
        if (!args.text(text, quoted, error_)) return false;
        if (trim(text).empty()) {
            return fail(std::string(what) + " needs a console line: its index or title");
        }
        ConsoleLineRef ref;
        if (!quoted && allDigits(text)) {
            int index = 0;
            if (!parseInt(text, 0, 32766, index)) return fail("no console line " + text);
            ref.index = static_cast<int16_t>(index);
        } else {
            ref.title = text;
        }
        a_.target = ref;
        return true;
    }

    bool key(Args& args) {
        a_.verb = SessionVerb::Key;
        const std::string_view name = args.word();
        if (name.empty()) return fail(std::string("key needs a key: ") + kKeyList);
        static const std::array<std::pair<const char*, SessionKey>, 6> kKeys{
            {{"left", SessionKey::Left},
             {"right", SessionKey::Right},
             {"enter", SessionKey::Enter},
             {"up", SessionKey::Up},
             {"down", SessionKey::Down},
             {"f5", SessionKey::F5}}};
        const std::string n = lower(name);
        const auto it =
            std::find_if(kKeys.begin(), kKeys.end(), [&](const auto& k) { return n == k.first; });
        if (it == kKeys.end()) {
            return fail("unknown key '" + std::string(name) + "' (keys: " + kKeyList + ")");
        }
        a_.key = it->second;
        if (args.empty()) return true;
        Args look = args;
        std::string w = lower(look.word());
        if (w == "shift") {
            a_.shift = true;
            args = look;
            if (args.empty()) return true;
            w = lower(look.word());
        }
        if (w == "on") return lineRef(look, "'on'");
        return fail("unexpected '" + std::string(args.rest()) +
                    "' after the key (expected 'shift' or 'on <line>')");
    }

    bool select(Args& args) {
        a_.verb = SessionVerb::Select;
        return lineRef(args, "select");
    }

    bool tcxo(Args& args) {
        a_.verb = SessionVerb::Tcxo;
        const std::string w = lower(args.word());
        if (w != "on" && w != "off") return fail("tcxo needs on or off");
        a_.tcxoOn = w == "on";
        return nothingMore(args, "tcxo on/off");
    }

    bool menu(Args& args) {
        a_.verb = SessionVerb::Menu;
        const std::string w = lower(args.word());
        if (w == "exit") {
            a_.menu = SessionMenu::Exit;
            return nothingMore(args, "menu exit");
        }
        if (w == "keep-images") {
            a_.menu = SessionMenu::KeepImages;
            const std::string on = lower(args.word());
            if (on != "on" && on != "off") return fail("menu keep-images needs on or off");
            a_.menuOn = on == "on";
            return nothingMore(args, "menu keep-images on/off");
        }
        int lo = 0;
        int hi = 0;
        if (w == "port") {
            a_.menu = SessionMenu::Port;
            lo = 1;
            hi = 4;
        } else if (w == "release") {
            a_.menu = SessionMenu::Release;
            lo = 0;
            hi = 5;
        } else {
            return fail("menu needs port N, release N, keep-images on|off or exit");
        }
        const std::string_view n = args.word();
        int v = 0;
        if (!parseInt(n, lo, hi, v)) {
            return fail("menu " + w + " needs a number from " + std::to_string(lo) + " to " +
                        std::to_string(hi) + (n.empty() ? "" : ", not '" + std::string(n) + "'"));
        }
        a_.menuIndex = static_cast<int16_t>(v);
        return nothingMore(args, "the menu item");
    }

    // An action whose argument is the rest of the line, which must not be empty.
    bool textAction(SessionVerb verb, Args& args, const char* missing) {
        a_.verb = verb;
        bool quoted = false;
        if (!args.text(a_.text, quoted, error_)) return false;
        if (a_.text.empty()) return fail(missing);
        return true;
    }

    bool waitLine(Args& args) {
        return textAction(SessionVerb::WaitLine, args, "wait-line needs the text to wait for");
    }

    bool waitState(Args& args) {
        a_.verb = SessionVerb::WaitState;
        const std::string_view w = args.word();
        const std::string n = lower(w);
        if (n == "connected") {
            a_.state = SessionState::Connected;
        } else if (n == "idle") {
            a_.state = SessionState::Idle;
        } else if (n == "disp-para") {
            a_.state = SessionState::DispPara;
        } else {
            return fail(w.empty() ? std::string("wait-state needs a state: ") + kStateList
                                  : "unknown state '" + std::string(w) +
                                        "' (states: " + kStateList + ")");
        }
        return nothingMore(args, "the state");
    }

    bool seconds(SessionVerb verb, const char* name, Args& args, bool zeroAllowed) {
        a_.verb = verb;
        const std::string_view w = args.word();
        if (!parseSeconds(w, a_.seconds) || (!zeroAllowed && a_.seconds <= 0)) {
            return fail(std::string(name) + " needs a number of seconds, " +
                        (zeroAllowed ? "0" : "above 0") + " to 3600" +
                        (w.empty() ? "" : ", not '" + std::string(w) + "'"));
        }
        return nothingMore(args, "the seconds");
    }

    // An action whose one argument is the file it writes.
    bool file(SessionVerb verb, const std::string& name, const std::string& ext, Args& args) {
        a_.verb = verb;
        bool quoted = false;
        if (!args.text(a_.text, quoted, error_)) return false;
        if (a_.text.empty()) return fail(name + " needs a file name ending in " + ext);
        const std::string l = lower(a_.text);
        if (l.size() <= ext.size() || l.compare(l.size() - ext.size(), ext.size(), ext) != 0) {
            return fail(name + " file '" + a_.text + "' does not end in " + ext);
        }
        return true;
    }

    bool imageFile(SessionVerb verb, const char* name, Args& args) {
        a_.verb = verb;
        bool quoted = false;
        if (!args.text(a_.text, quoted, error_)) return false;
        if (a_.text.empty()) return fail(std::string(name) + " needs a file name");
        return true;
    }

    bool align(Args& args) {
        a_.verb = SessionVerb::Align;
        const std::string_view w = args.word();
        if (w.empty()) return fail(std::string("align needs a point: ") + kAlignList);
        const std::string n = lower(w);
        if (n == "all") a_.text = "all";
        for (const char* point : kAlignPointNames) {
            if (n == lower(point)) a_.text = point;
        }
        if (!a_.text.empty()) {
            const std::string_view next = args.word();
            a_.cancel = lower(next) == "cancel";
            if (!next.empty() && !a_.cancel) {
                return fail("unexpected '" + std::string(next) +
                            (args.empty() ? "" : " " + std::string(args.rest())) +
                            "' after the point");
            }
            return nothingMore(args, "cancel");
        }
        return fail("unknown point '" + std::string(w) + "' (points: " + kAlignList + ")");
    }

    bool print(Args& args) {
        a_.verb = SessionVerb::Print;
        return nothingMore(args, "print");
    }

    bool device(Args& args) {
        return textAction(SessionVerb::Device, args, "device needs the path of a serial device");
    }

    // The address is one word or a quoted text; the profile's name may hold blanks.
    bool testSet(Args& args) {
        a_.verb = SessionVerb::TestSet;
        bool quoted = false;
        if (!args.token(a_.text, quoted, error_)) return false;
        if (a_.text.empty()) {
            return fail(
                "test-set needs the test set's address: HOST[:PORT] or "
                "DEVICE[@BAUD][#GPIB]");
        }
        return args.text(a_.profile, quoted, error_);
    }

    bool waitReading(Args& args) {
        a_.verb = SessionVerb::WaitReading;
        const std::string_view w = args.word();
        const std::string n = lower(w);
        for (SessionQuantity q :
             {SessionQuantity::Power, SessionQuantity::Frequency, SessionQuantity::Deviation}) {
            if (n == sessionQuantityName(q)) {
                a_.quantity = q;
                return nothingMore(args, "the quantity");
            }
        }
        return fail(w.empty() ? std::string("wait-reading needs power, frequency or deviation")
                              : "unknown quantity '" + std::string(w) +
                                    "' (power, frequency or deviation)");
    }

    SessionAction& a_;
    std::string& error_;
};

}  // namespace

SessionScript parseSessionScript(std::string_view text) {
    SessionScript script;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int exitLine = 0;
    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const size_t nl = text.find('\n');
        const std::string_view raw = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);

        const std::string_view line = trim(withoutComment(raw));
        if (line.empty()) continue;
        if (line.find('\0') != std::string_view::npos) {
            script.errors.push_back({lineNo, "the line holds a NUL character"});
            continue;
        }
        SessionAction a;
        a.line = lineNo;
        a.source = std::string(line);
        Args args(line);
        const std::string_view verb = args.word();
        std::string error;
        if (!LineParser(a, error).parse(verb, args)) {
            script.errors.push_back({lineNo, error});
            continue;
        }
        if (exitLine != 0) {
            script.errors.push_back({lineNo, "no action can follow 'menu exit' of line " +
                                                 std::to_string(exitLine) +
                                                 ", which ends the program"});
            continue;
        }
        if (a.verb == SessionVerb::Menu && a.menu == SessionMenu::Exit) exitLine = lineNo;
        script.actions.push_back(std::move(a));
    }
    return script;
}

std::string describe(const SessionScriptError& e) {
    return "line " + std::to_string(e.line) + ": " + e.message;
}

int16_t findConsoleLine(const ConsoleLineRef& ref, const std::vector<std::string>& titles) {
    if (ref.index) {
        return *ref.index >= 0 && static_cast<size_t>(*ref.index) < titles.size() ? *ref.index : -1;
    }
    const std::string wanted = lower(trim(ref.title));
    for (size_t i = 0; i < titles.size() && i < 32767; ++i) {
        if (lower(trim(titles[i])) == wanted) return static_cast<int16_t>(i);
    }
    return -1;
}

const char* sessionKeyName(SessionKey k) {
    switch (k) {
        case SessionKey::Left: return "Left";
        case SessionKey::Right: return "Right";
        case SessionKey::Enter: return "Enter";
        case SessionKey::Up: return "Up";
        case SessionKey::Down: return "Down";
        case SessionKey::F5: return "F5";
    }
    return "?";
}

const char* sessionStateName(SessionState s) {
    switch (s) {
        case SessionState::Connected: return "connected";
        case SessionState::Idle: return "idle";
        case SessionState::DispPara: return "disp-para";
    }
    return "?";
}

const char* sessionQuantityName(SessionQuantity q) {
    switch (q) {
        case SessionQuantity::Power: return "power";
        case SessionQuantity::Frequency: return "frequency";
        case SessionQuantity::Deviation: return "deviation";
    }
    return "?";
}

}  // namespace kv7
