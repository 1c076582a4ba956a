// Everything the program writes reaches the radio, whole and in order: the real Qt serial port
// against kv7-radio-sim on a pseudo-terminal, which takes the program's bytes off the line at
// 960 bytes/s as a real cable does, so a frame still waiting in the port's transmit queue is
// exposed to a flush of it. The judge is the radio's own log of the frames it received.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "model/txf_table.h"
#include "platform/support/program_rig.h"
#include "platform/support/pty_pair.h"
#include "platform/support/radio_log.h"
#include "platform/support/radio_sim_process.h"

namespace kv7 {
namespace {

using test::Adjust;
using test::kSimProgram;
using test::RadioLog;

constexpr int kKeyEnter = 13;
constexpr int16_t kLineBpfAll = 6;
constexpr int16_t kLineBpfT1 = 7;
constexpr int16_t kLineTxf = 11;
constexpr int kCmdMonitor = 3;
constexpr int kMonitorSd = 3;
constexpr int kPlateauMiddle = 12;  // the simulated radio's filters peak at 10 to 14

bool isMonitorSd(const Adjust& a) {
    return a == Adjust{kCmdMonitor, kMonitorSd};
}

// Each SD reading of a sweep follows the setting it measures; returns those settings by stage.
std::vector<std::vector<int>> sweptSettings(const std::vector<Adjust>& sent) {
    std::vector<std::vector<int>> stages(4);
    for (size_t i = 0; i < sent.size(); ++i) {
        if (!isMonitorSd(sent[i])) continue;
        EXPECT_GT(i, 0u);
        if (i == 0) continue;
        const Adjust& before = sent[i - 1];
        EXPECT_TRUE(before.number >= 12 && before.number <= 15)
            << "SD reading " << i << " follows " << before;
        if (before.number >= 12 && before.number <= 15)
            stages[static_cast<size_t>(before.number - 12)].push_back(before.value);
    }
    return stages;
}

// The last setting the radio took for a stage.
int lastSetting(const std::vector<Adjust>& sent, int number) {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
        if (it->number == number) return it->value;
    }
    return -1000;
}

std::vector<int> range(int from, int to, int step) {
    std::vector<int> out;
    for (int v = from; v <= to; v += step) out.push_back(v);
    return out;
}

struct Phase {
    const char* name;
    std::function<void(test::ProgramRig&)> run;  // the technician's actions, to rest again
    std::function<void(test::ProgramRig&, const std::vector<Adjust>& sent)> check;
};

bool sweepRunning(test::ProgramRig& rig) {
    return rig.program.controller().sweepStep() != SweepStep::Off;
}

bool txfRunning(test::ProgramRig& rig) {
    return rig.program.controller().txfStep() != TxfStep::Off;
}

void waitForRest(test::ProgramRig& rig, const std::function<bool()>& busy, int timeoutMs) {
    ASSERT_TRUE(test::pumpUntil([&] { return !busy() && rig.atRest(); }, timeoutMs))
        << "messages: " << ::testing::PrintToString(rig.messages.shown);
}

TEST(LineDelivery, EveryCommandReachesTheRadioWholeAndInOrder) {
    if (kSimProgram == nullptr) GTEST_SKIP() << "kv7-radio-sim is not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString logPath = dir.filePath("frames.log");
    test::RadioSimProcess sim;
    // Both directions at the line rate, the radio's defaults.
    ASSERT_TRUE(sim.start(kSimProgram, {"--frame-log", logPath}));
    test::writePortsFile(dir.path(), "COM1=" + sim.slavePath() + "\r\n");
    test::ProgramRig rig(dir.path());
    ASSERT_EQ(rig.program.Main([] { return false; }), StartResult::Running);

    const std::vector<Phase> phases = {
        {"Connect",
         [](test::ProgramRig& r) {
             r.click(0);
             ASSERT_TRUE(test::pumpUntil([&] { return r.consoleLoaded() && r.atRest(); }, 40000));
         },
         [](test::ProgramRig&, const std::vector<Adjust>& sent) {
             std::vector<Adjust> expected = {{2, 1}};  // after the clone read
             for (int m = 0; m <= 13; ++m) expected.push_back({kCmdMonitor, m});
             expected.push_back({0, 1});  // channel 0 selected
             // Every item once, in index order, with the sample radio's values.
             for (Adjust a :
                  {Adjust{5, 200}, Adjust{7, 80}, Adjust{11, 122}, Adjust{8, 134}, Adjust{4, 64},
                   Adjust{12, 12}, Adjust{13, 11}, Adjust{14, 13}, Adjust{15, -8}})
                 expected.push_back(a);
             EXPECT_EQ(sent, expected);
         }},
        {"BPF T2 sweep",
         [](test::ProgramRig& r) {
             r.keyOn(kLineBpfT1 + 1, kKeyEnter);
             ASSERT_TRUE(test::pumpUntil([&] { return sweepRunning(r); }, 10000));
             waitForRest(
                 r, [&] { return sweepRunning(r); }, 120000);
         },
         [](test::ProgramRig& r, const std::vector<Adjust>& sent) {
             const std::vector<std::vector<int>> stages = sweptSettings(sent);
             EXPECT_EQ(stages[1], range(-128, 127, 1)) << "all 256 settings, each before its SD";
             for (size_t s : {0u, 2u, 3u}) EXPECT_TRUE(stages[s].empty());
             EXPECT_EQ(lastSetting(sent, 13), kPlateauMiddle);
             EXPECT_EQ(r.program.console().Value(kLineBpfT1 + 1), kPlateauMiddle);
         }},
        {"BPF ALL",
         [](test::ProgramRig& r) {
             r.keyOn(kLineBpfAll, kKeyEnter);
             ASSERT_TRUE(test::pumpUntil([&] { return sweepRunning(r); }, 10000));
             waitForRest(
                 r, [&] { return sweepRunning(r); }, 240000);
         },
         [](test::ProgramRig& r, const std::vector<Adjust>& sent) {
             // From -LVIN (100) in steps of 2 up to the limit, then the limit itself.
             std::vector<int> points = range(-100, 126, 2);
             points.push_back(127);
             const std::vector<std::vector<int>> stages = sweptSettings(sent);
             for (int s = 0; s < 4; ++s) {
                 SCOPED_TRACE("stage " + std::to_string(s + 1));
                 EXPECT_EQ(stages[static_cast<size_t>(s)], points);
                 EXPECT_EQ(lastSetting(sent, 12 + s), kPlateauMiddle);
                 EXPECT_EQ(r.program.console().Value(static_cast<int16_t>(kLineBpfT1 + s)),
                           kPlateauMiddle);
             }
         }},
        {"TXF full table",
         [](test::ProgramRig& r) {
             r.keyOn(kLineTxf, kKeyEnter);
             ASSERT_TRUE(test::pumpUntil(
                 [&] { return r.program.controller().txfStep() == TxfStep::Track; }, 20000));
             test::pumpFor(1000);
             r.keyOn(kLineTxf, kKeyEnter);  // the first setting as found
             ASSERT_TRUE(test::pumpUntil(
                 [&] {
                     return r.view.console.lines[kLineTxf].find("2nd TX Freq") != std::string::npos;
                 },
                 20000))
                 << "messages: " << ::testing::PrintToString(r.messages.shown);
             test::pumpFor(1000);
             r.keyOn(kLineTxf, kKeyEnter);  // the second: the whole table goes out
             waitForRest(
                 r, [&] { return txfRunning(r); }, 20000);
         },
         [](test::ProgramRig& r, const std::vector<Adjust>& sent) {
             std::vector<Adjust> table;
             for (const Adjust& a : sent) {
                 if (a.number >= 0x10 && a.number <= 0x37) table.push_back(a);
             }
             ASSERT_GE(table.size(), 40u);
             // The last 40 are the table, entry by entry in order, as the program keeps it.
             const std::vector<Adjust> last(table.end() - 40, table.end());
             for (int16_t j = 0; j < 40; ++j) {
                 const auto adr = TxfEntryEeAdr(j);
                 EXPECT_EQ(last[static_cast<size_t>(j)],
                           (Adjust{0x10 + j, r.program.radio().eepImage.ReadByte(adr)}))
                     << "entry " << j;
             }
         }},
    };

    size_t mark = 0;
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        phase.run(rig);
        if (::testing::Test::HasFatalFailure()) break;
        // Frames written back to back wait in the port's queue for the line: the log is
        // complete once it has stopped growing.
        RadioLog log = RadioLog::read(logPath);
        for (size_t seen = SIZE_MAX; seen != log.frames.size() + static_cast<size_t>(log.cut);) {
            seen = log.frames.size() + static_cast<size_t>(log.cut);
            test::pumpFor(400);
            log = RadioLog::read(logPath);
        }
        EXPECT_EQ(log.cut, 0) << "frames cut off on the line";
        EXPECT_TRUE(rig.messages.shown.empty());
        phase.check(rig, log.adjustments(mark));
        mark = log.frames.size();
    }
    rig.click(0);
}

}  // namespace
}  // namespace kv7
