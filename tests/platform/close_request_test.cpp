// kv7-session told to end from outside while an alignment moves an item: it ends through the
// window's close, which cancels the run and puts the item back on the line before the program
// goes, within the close's 10 s.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/support/radio_log.h"
#include "platform/support/radio_sim_process.h"

namespace kv7 {
namespace {

using test::RadioLog;
using test::RadioSimProcess;

constexpr const char* kSession = test::kSessionProgram;
const QString kConst = test::sampleConstIni();
constexpr int kCmdMod = 8;       // MOD's adjustment command
constexpr int kSampleMod = 134;  // MOD in the simulated radio's sample image, before the run

struct Signal {
    int number;
    const char* name;
};

// Named by the signal in test lists.
void PrintTo(const Signal& s, std::ostream* os) {
    *os << s.name;
}

class CloseRequestTest : public ::testing::TestWithParam<Signal> {};

// The values of MOD's adjustment commands, in the order the radio received them.
std::vector<int> modValues(const QString& log) {
    std::vector<int> values;
    for (const test::Adjust& a : RadioLog::read(log).adjustments()) {
        if (a.number == kCmdMod) values.push_back(a.value);
    }
    return values;
}

TEST_P(CloseRequestTest, ASignalDuringAnAlignmentPutsTheItemBackAndEnds) {
    if (kSession == nullptr || test::kSimProgram == nullptr)
        GTEST_SKIP() << "kv7-session or kv7-radio-sim not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = QDir(dir.path()).filePath(QStringLiteral("radio.log"));
    RadioSimProcess sim;
    ASSERT_TRUE(sim.start(test::kSimProgram, {QStringLiteral("--ptt"), QStringLiteral("on"),
                                              QStringLiteral("--test-set"), QStringLiteral("0"),
                                              QStringLiteral("--frame-log"), log}));
    const QString line = QString::fromStdString(sim.readLine());
    ASSERT_TRUE(line.startsWith(QLatin1String("test-set "))) << line.toStdString();

    QProcess session;
    session.setWorkingDirectory(dir.path());
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.start(
        QString::fromUtf8(kSession),
        {QStringLiteral("--const"), kConst, QStringLiteral("--port"),
         QString::fromStdString(sim.slavePath()), QStringLiteral("--timeout"), QStringLiteral("60"),
         QStringLiteral("--reports"), dir.filePath(QStringLiteral("reports"))});
    ASSERT_TRUE(session.waitForStarted(5000));
    session.write(("click Connect\nwait-state connected\ntest-set " + line.mid(9) + "\nalign MOD\n")
                      .toUtf8());
    session.waitForBytesWritten(5000);
    session.closeWriteChannel();

    // Told to end once the search has sent MOD a value of its own.
    auto moved = [&] {
        const std::vector<int> values = modValues(log);
        return std::any_of(values.begin(), values.end(), [](int v) { return v != kSampleMod; });
    };
    QElapsedTimer waiting;
    waiting.start();
    while (!moved() && waiting.elapsed() < 90000 && session.state() == QProcess::Running) {
        session.waitForReadyRead(50);
    }
    ASSERT_TRUE(moved()) << session.readAll().toStdString();
    QElapsedTimer closing;
    closing.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(session.processId()), GetParam().number), 0);
    ASSERT_TRUE(session.waitForFinished(20000));
    const qint64 closeMs = closing.elapsed();
    const std::string out = session.readAll().toStdString();

    // It ended by itself, and as a run cut short.
    EXPECT_EQ(session.exitStatus(), QProcess::NormalExit) << out;
    EXPECT_EQ(session.exitCode(), 1) << out;
    EXPECT_LT(closeMs, 11000) << out;
    // The last value the radio got for MOD is the one it had before the run; nothing was cut.
    const std::vector<int> values = modValues(log);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), kSampleMod) << out;
    EXPECT_EQ(RadioLog::read(log).cut, 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, CloseRequestTest,
                         ::testing::Values(Signal{SIGTERM, "SIGTERM"}, Signal{SIGHUP, "SIGHUP"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv7
