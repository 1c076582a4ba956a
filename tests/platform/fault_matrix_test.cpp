// Every way a clone operation can fail on the cable, through the whole program: the real Qt
// serial port and heartbeat, kv7-radio-sim on a pseudo-terminal, the window reduced to a fake
// and the message box to a record. After each fault the technician must see exactly one
// message, the port must be closed, the image must hold only what valid blocks carried, and a
// "Connect" to a healthy radio must then work as if nothing had happened.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/support/program_rig.h"
#include "platform/support/pty_pair.h"
#include "platform/support/radio_log.h"
#include "platform/support/radio_sim_process.h"
#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "sim/sim_radio.h"

namespace kv7 {
namespace {

using test::kSimProgram;
using test::ProgramRig;
using test::pumpUntil;

constexpr int kFrameBytes = 46;  // a clone data frame of 16 bytes, and the identification answer
constexpr int kRequestBytes = 10;

std::string fullChecklist(const std::string& cause) {
    return cause +
           "\r\n\r\nCheck the following:\r\n\r\n- The COM port settings.\r\n"
           "- Cloning cable connections.\r\n- The QT-KV7 power is ON.";
}

std::string shortChecklist(const std::string& cause) {
    return cause +
           "\r\n\r\nCheck the following:\r\n\r\n- Cloning cable connections.\r\n"
           "- The QT-KV7 power is ON.";
}

// The image the simulator started with these arguments serves.
ByteString imageServedWith(const QStringList& args) {
    sim::SimCommandLine cl;
    std::string error;
    std::vector<std::string> a;
    for (const QString& s : args) a.push_back(s.toStdString());
    EXPECT_TRUE(sim::parseSimArguments(a, cl, error)) << error;
    return sim::sampleImage(cl.options);
}

class FaultMatrixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (kSimProgram == nullptr) GTEST_SKIP() << "kv7-radio-sim is not built";
        ASSERT_TRUE(dir.isValid());
    }

    // COM 1 becomes the terminal of this simulator (the port is looked up at every opening).
    void pointComOneAt(const test::RadioSimProcess& sim) {
        test::writePortsFile(dir.path(), "COM1=" + sim.slavePath() + "\r\n");
    }

    QTemporaryDir dir;
};

enum class Drive {
    Connect,     // "Connect", then wait
    CloneWrite,  // "Connect", a whole read, then a clone write through the sequencer
    Kill         // "Connect" on a paced radio, killed once some blocks have arrived
};

struct FaultRow {
    const char* name;
    QStringList simArgs;
    Drive drive;
    std::string message;  // empty: the connection must succeed
    int storedBytes;      // image bytes the read carried; -1: as many as had arrived at the kill
};

TEST_F(FaultMatrixTest, EachFaultIsReportedOnceAndTheNextConnectWorks) {
    // The line carries the echo of the identification request, its answer, the echo of the
    // clone read request, then 46 bytes a block.
    constexpr int kCutBlocks = 7;
    const int cutAfter =
        kRequestBytes + kFrameBytes + kRequestBytes + kCutBlocks * kFrameBytes + 20;
    const std::string noAnswer = fullChecklist("No answer from QT-KV7.");
    const std::vector<FaultRow> rows = {
        {"no echo",
         {"--no-pacing", "--fault-no-echo"},
         Drive::Connect,
         fullChecklist("Cannot access COM port"),
         0},
        {"no answer", {"--no-pacing", "--fault-no-answer"}, Drive::Connect, noAnswer, 0},
        {"bad checksum in block 5",
         {"--no-pacing", "--fault-bad-checksum", "5"},
         Drive::Connect,
         fullChecklist("Illegal data."),
         5 * 16},
        {"wrong model",
         {"--no-pacing", "--fault-wrong-model"},
         Drive::Connect,
         fullChecklist("Cannot Clone."),
         0},
        {"refused sub name",
         {"--no-pacing", "--fault-sub-name"},
         Drive::Connect,
         "Version number does not match\r\nfor this QT-KV7.",
         0},
        {"1500 ms gap before block 9",
         {"--no-pacing", "--fault-gap", "9", "--gap-ms", "1500"},
         Drive::Connect,
         noAnswer,
         9 * 16},
        {"refused clone write",
         {"--no-pacing", "--fault-refuse-write"},
         Drive::CloneWrite,
         shortChecklist("Cannot write cloning data."),
         sim::kImageSize},
        {"noise between frames",
         {"--no-pacing", "--fault-noise"},
         Drive::Connect,
         "",
         sim::kImageSize},
        {"line cut in block 7",
         {"--no-pacing", "--fault-cut-after", QString::number(cutAfter)},
         Drive::Connect,
         noAnswer,
         kCutBlocks * 16},
        {"simulator killed mid-read", {}, Drive::Kill, noAnswer, -1},
    };
    const QStringList healthyArgs = {"--no-pacing"};
    const ByteString healthy = imageServedWith(healthyArgs);

    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        ProgramRig rig(dir.path());
        ASSERT_EQ(rig.program.Main([] { return false; }), StartResult::Running);
        // Every byte differs from what the radio holds, so a stored byte is always seen.
        const ByteString served = imageServedWith(row.simArgs);
        ByteString before(served.size());
        for (size_t i = 0; i < served.size(); ++i) before[i] = static_cast<uint8_t>(~served[i]);
        ASSERT_EQ(rig.program.radio().eepImage.WriteBlock(0, before), 0);

        // The radio's own log of what reached it.
        const QString faultyLog = dir.filePath(QStringLiteral("faulty.log"));
        const QString healthyLog = dir.filePath(QStringLiteral("healthy.log"));
        auto faulty = std::make_unique<test::RadioSimProcess>();
        ASSERT_TRUE(faulty->start(kSimProgram, QStringList(row.simArgs)
                                                   << QStringLiteral("--frame-log") << faultyLog));
        pointComOneAt(*faulty);
        rig.click(0);

        switch (row.drive) {
            case Drive::Connect: break;
            case Drive::CloneWrite:
                ASSERT_TRUE(pumpUntil([&] { return rig.consoleLoaded() && rig.atRest(); }, 20000));
                ASSERT_TRUE(rig.messages.shown.empty());
                ASSERT_EQ(rig.image(), served);
                rig.program.event("the clone write",
                                  [&] { rig.program.sequencer().easyCloneWrite(); });
                break;
            case Drive::Kill:
                ASSERT_TRUE(pumpUntil(
                    [&] { return rig.program.sequencer().driver().lastEeAdr() >= 10 * 16; }, 8000));
                ASSERT_TRUE(rig.program.sequencer().OpRunning());
                faulty->kill();
                break;
        }

        if (row.message.empty()) {
            ASSERT_TRUE(pumpUntil([&] { return rig.consoleLoaded(); }, 20000));
            test::pumpFor(300);
            EXPECT_TRUE(rig.messages.shown.empty());
            EXPECT_TRUE(rig.program.link().comOpen());
        } else {
            // A clone write carries 320 packets over the line first: some 16 s.
            ASSERT_TRUE(pumpUntil([&] { return !rig.messages.shown.empty(); }, 30000));
            test::pumpFor(300);  // a second report would come within a few heartbeats
            EXPECT_EQ(rig.messages.shown, std::vector<std::string>{row.message});
            EXPECT_FALSE(rig.program.link().comOpen());
            EXPECT_EQ(rig.view.comBusy.caption, "COM 1: CLOSE");
            EXPECT_EQ(rig.program.controller().opStep(),
                      OperationStep::Idle);            // waiting for "Connect"
            EXPECT_FALSE(rig.view.frames[1].visible);  // the console is put away
            EXPECT_FALSE(rig.program.link().totalError());
        }

        // Only whole, valid blocks reached the image; the rest is as it was.
        int stored = row.storedBytes;
        if (stored < 0) {
            stored = rig.program.sequencer().driver().lastEeAdr() + 1;
            EXPECT_GE(stored, 10 * 16);
            EXPECT_EQ(stored % 16, 0);
        }
        const ByteString image = rig.image();
        ASSERT_EQ(image.size(), served.size());
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + stored, served.begin()))
            << "the blocks before the failure";
        EXPECT_TRUE(std::equal(image.begin() + stored, image.end(), before.begin() + stored))
            << "the bytes from the failure on";

        // The program is still running: nothing escaped an event, the heartbeat goes on, the
        // window is open and "Connect" can be pressed.
        EXPECT_EQ(rig.program.boundary().failures(), 0);
        EXPECT_TRUE(rig.heartbeat.enabled());
        EXPECT_EQ(rig.view.unloads, 0);
        EXPECT_TRUE(rig.view.buttons[0].enabled);

        // Every frame reached the faulty radio whole; a clone write put all its packets on the
        // line, then the clone end.
        const test::RadioLog sent = test::RadioLog::read(faultyLog);
        EXPECT_EQ(sent.cut, 0);
        if (row.drive == Drive::CloneWrite) {
            const std::vector<int> c = sent.commands();
            EXPECT_EQ(std::count(c.begin(), c.end(), 0xE4), 320);
            ASSERT_FALSE(c.empty());
            EXPECT_EQ(c.back(), 0xE5);
        }

        // A healthy radio on a fresh terminal connects at once.
        const size_t shown = rig.messages.shown.size();
        test::RadioSimProcess good;
        ASSERT_TRUE(good.start(kSimProgram, QStringList(healthyArgs)
                                                << QStringLiteral("--frame-log") << healthyLog));
        pointComOneAt(good);
        rig.click(0);
        faulty.reset();  // the port was closed by the click
        ASSERT_TRUE(pumpUntil([&] { return rig.consoleLoaded(); }, 20000))
            << (rig.messages.shown.size() > shown ? rig.messages.shown.back() : "");
        EXPECT_EQ(rig.messages.shown.size(), shown);
        EXPECT_EQ(rig.image(), healthy);
        EXPECT_TRUE(rig.program.link().comOpen());
        EXPECT_EQ(rig.program.boundary().failures(), 0);
        const test::RadioLog healthyFrames = test::RadioLog::read(healthyLog);
        EXPECT_EQ(healthyFrames.cut, 0);
        const std::vector<int> first = healthyFrames.commands();
        ASSERT_GE(first.size(), 2u);
        EXPECT_EQ(first[0], 0xE0);
        EXPECT_EQ(first[1], 0xE2);
        rig.click(0);  // back to idle before the radio goes away
    }
}

// "Reload(F5)" on a resting cycle needs no heartbeat: the click sends the first request, and
// with the timer stopped the port's receive events alone carry the other thirteen readings.
TEST_F(FaultMatrixTest, ReloadReadsEveryValueWithoutWaitingForTheHeartbeat) {
    ProgramRig rig(dir.path());
    ASSERT_EQ(rig.program.Main([] { return false; }), StartResult::Running);
    test::RadioSimProcess sim;
    ASSERT_TRUE(sim.start(kSimProgram, {"--no-pacing"}));
    pointComOneAt(sim);
    rig.click(0);
    ASSERT_TRUE(pumpUntil([&] { return rig.consoleLoaded() && rig.atRest(); }, 20000));

    rig.heartbeat.setEnabled(false);
    rig.click(1);
    EXPECT_EQ(rig.program.controller().opStep(),
              OperationStep::AdFirst);  // the first A/D reading is under way
    EXPECT_TRUE(rig.program.sequencer().OpRunning());
    ASSERT_TRUE(pumpUntil([&] { return rig.atRest(); }, 3000));
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_TRUE(rig.program.link().comOpen());
    rig.heartbeat.setEnabled(true);
    rig.click(0);
}

}  // namespace
}  // namespace kv7
