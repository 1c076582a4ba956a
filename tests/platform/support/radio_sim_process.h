#pragma once
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <string>

namespace kv7::test {

// The kv7-radio-sim the build made, for the test files it names it to; nullptr elsewhere.
#ifdef KV7_RADIO_SIM
constexpr const char* kSimProgram = KV7_RADIO_SIM;
#else
constexpr const char* kSimProgram = nullptr;
#endif

// The kv7-session the build made, for the tests that run it; nullptr elsewhere.
#ifdef KV7_SESSION
constexpr const char* kSessionProgram = KV7_SESSION;
#else
constexpr const char* kSessionProgram = nullptr;
#endif

// The sample constants file of the source tree, data/Const.ini.
inline QString sampleConstIni() {
    const std::filesystem::path tests =
        std::filesystem::absolute(__FILE__).parent_path().parent_path().parent_path();
    return QString::fromStdString((tests.parent_path() / "data" / "Const.ini").string());
}

// kv7-radio-sim as a child process; its first line of output is the terminal to open.
class RadioSimProcess {
  public:
    ~RadioSimProcess() { stop(); }

    // Starts the program at `program` with `args` and reads the terminal's path.
    bool start(const char* program, const QStringList& args);
    void stop();  // SIGTERM, then SIGKILL when it does not end
    void kill();  // the radio gone at once, as a pulled cable
    // The next line the program prints (its test set's address), empty when none comes.
    std::string readLine(int timeoutMs = 5000);
    const std::string& slavePath() const { return slavePath_; }

  private:
    QProcess proc_;
    std::string slavePath_;
};

}  // namespace kv7::test
