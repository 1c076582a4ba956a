#include "platform/qt/session_options.h"

#include <fstream>
#include <iostream>
#include <iterator>

#include "session/session_script.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

// Before the verbs, which the session language lists itself.
const char* const kUsageStart =
    "Usage: kv7-session [--port PATH] [--com N] [--const FILE] [--script FILE] [--timeout S]\n"
    "                   [--testsets DIR] [--reports DIR]\n"
    "       kv7-session --list-ports\n"
    "Runs the adjustment program with its window on the offscreen platform (no display\n"
    "needed), performs the script's actions and prints what the window shows.\n"
    "\n"
    "  --list-ports   prints the serial devices present, one a line: device | stable name |\n"
    "                 description | manufacturer | serial number | USB id | may open; then ends\n"
    "  --port PATH    serial device of the radio; COM N (default 1) is mapped to it\n"
    "  --com N        COM port the program selects, 1 to 4 (default 1); without --port the\n"
    "                 usual port name rule finds its device\n"
    "  --const FILE   constants file (default: Const.ini of the current folder, else of the\n"
    "                 user's data folder, as the program finds it)\n"
    "  --script FILE  the script (default: standard input)\n"
    "  --timeout S    longest wait of wait-line and wait-state, in seconds (default 60)\n"
    "  --testsets DIR test-set profiles: the *.testset files of DIR are put beside the\n"
    "                 session's settings file (default: the built-in profile only)\n"
    "  --reports DIR  where the service record is saved at the end when it holds changes,\n"
    "                 sweeps or alignments in no saved report (default: reports/ in the\n"
    "                 folder of the program's settings file)\n"
    "\n"
    "Script, one action per line, '#' begins a comment:\n";
// After the verbs.
const char* const kUsageEnd =
    "\n"
    "Every message box and question is printed and answered with OK. Exit status: 0 done,\n"
    "1 a wait timed out or an action was not possible, 2 bad command line or script, 3 the\n"
    "program did not start, 4 the program reported an internal error, 5 the settings could\n"
    "not be saved at the end.\n";

}  // namespace

bool parseSessionOptions(const QStringList& args, SessionOptions& o, bool& help) {
    help = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
            return true;
        }
        if (a == QLatin1String("--list-ports")) {
            o.listPorts = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "kv7-session: " << a.toStdString()
                      << (a.startsWith(QLatin1String("--")) ? " needs a value"
                                                            : ": unknown argument")
                      << "\n";
            return false;
        }
        const QString v = args[++i];
        bool ok = true;
        if (a == QLatin1String("--port")) {
            o.port = v.toStdString();
            ok = !o.port.empty();
        } else if (a == QLatin1String("--com")) {
            o.com = v.toInt(&ok);
            ok = ok && o.com >= 1 && o.com <= 4;
        } else if (a == QLatin1String("--const")) {
            o.constFile = v.toStdString();
            ok = !o.constFile.empty();
        } else if (a == QLatin1String("--script")) {
            o.scriptFile = v.toStdString();
            ok = !o.scriptFile.empty();
        } else if (a == QLatin1String("--testsets")) {
            o.testSetsDir = v.toStdString();
            ok = !o.testSetsDir.empty();
        } else if (a == QLatin1String("--reports")) {
            o.reportsDir = v.toStdString();
            ok = !o.reportsDir.empty();
        } else if (a == QLatin1String("--timeout")) {
            o.timeoutS = v.toDouble(&ok);
            ok = ok && o.timeoutS > 0 && o.timeoutS <= 3600;
        } else {
            std::cerr << "kv7-session: unknown option " << a.toStdString() << "\n";
            return false;
        }
        if (!ok) {
            std::cerr << "kv7-session: bad value '" << v.toStdString() << "' for "
                      << a.toStdString() << "\n";
            return false;
        }
    }
    return true;
}

bool readSessionScript(const SessionOptions& o, std::string& text) {
    if (o.scriptFile.empty()) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(pathFromUtf8(o.scriptFile), std::ios::binary);
    if (!in) {
        std::cerr << "kv7-session: cannot read the script " << o.scriptFile << "\n";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string sessionUsage() {
    return kUsageStart + sessionVerbUsage() + kUsageEnd;
}

}  // namespace kv7
