#pragma once
#include <QStringList>
#include <string>

namespace kv7 {

// kv7-session's exit status, as its usage text tells it.
constexpr int kSessionExitOk = 0;
constexpr int kSessionExitFailed = 1;    // a wait timed out or an action could not be done
constexpr int kSessionExitBadInput = 2;  // bad command line or bad script
constexpr int kSessionExitNoStart = 3;   // the program did not start (no Const.ini, say)
constexpr int kSessionExitInternal = 4;  // the script ran, but the program reported an error
constexpr int kSessionExitSettingsNotSaved = 5;  // the settings could not be saved at the end

// kv7-session's command line.
struct SessionOptions {
    std::string port;
    int com = 1;
    std::string constFile;    // empty: where the program looks for Const.ini
    std::string scriptFile;   // empty: standard input
    std::string testSetsDir;  // its *.testset profiles are offered; empty: none but the built-in
    std::string reportsDir;   // where an unsaved record is kept; empty: the program's own place
    double timeoutS = 60;
    bool listPorts = false;
};

// Reads the command line; false with a message on standard error on a bad one.
bool parseSessionOptions(const QStringList& args, SessionOptions& o, bool& help);
// The whole usage text, the session language's verbs included.
std::string sessionUsage();
// The script from its file or standard input; false with a message when it cannot be read.
bool readSessionScript(const SessionOptions& o, std::string& text);

}  // namespace kv7
