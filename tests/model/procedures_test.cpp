// The two adjustment procedures end to end against the simulated radio: the band-pass filter
// sweep and the TXF temperature compensation, as the technician starts and confirms them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/constants_file.h"
#include "model/support/sim_rig.h"
#include "model/txf_table.h"
#include "sim/sim_physics.h"

namespace kv7::test {
namespace {

constexpr int kCmdMonitor = 3;
constexpr int kMonitorSd = 3;
constexpr int kMonitorTemps = 1;

int8_t asSigned(int v) {
    return static_cast<int8_t>(static_cast<uint8_t>(v));
}

bool isTxfCommand(int number) {
    return number >= 0x10 && number <= 0x37;
}

// Adjustment commands the radio took from position `from` on.
std::vector<std::pair<int, int>> commands(SimRig& rig, size_t from, bool (*keep)(int number)) {
    std::vector<std::pair<int, int>> out;
    const auto& log = rig.radio().adjustLog();
    for (size_t i = from; i < log.size(); ++i) {
        if (keep(log[i].number)) out.emplace_back(log[i].number, log[i].value);
    }
    return out;
}

// Values the radio took for one command, repeated values once.
std::vector<int> settingsOf(SimRig& rig, size_t from, int number) {
    std::vector<int> out;
    const auto& log = rig.radio().adjustLog();
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].number != number) continue;
        const int v = asSigned(log[i].value);
        if (out.empty() || out.back() != v) out.push_back(v);
    }
    return out;
}

size_t monitorRequests(SimRig& rig, size_t from, int value) {
    size_t n = 0;
    const auto& log = rig.radio().adjustLog();
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].number == kCmdMonitor && log[i].value == value) ++n;
    }
    return n;
}

bool sweepRunning(SimRig& rig) {
    return rig.sweepStep() != SweepStep::Off;
}

bool txfRunning(SimRig& rig) {
    return rig.txfStep() != TxfStep::Off;
}

// A temperature at which the radio's TEMPS reading is `raw`.
double temperatureForReading(int raw) {
    for (double t = -80; t < 150; t += 0.05) {
        if (sim::thermistorRaw(t) == raw) return t;
    }
    ADD_FAILURE() << "no temperature reads " << raw;
    return 25;
}

// Radio and program hold the same TXF table, entry by entry.
void expectSameTxfTable(SimRig& rig) {
    for (int16_t j = 0; j < 40; ++j) {
        EXPECT_EQ(rig.radio().txfEntry(j), rig.programByte(TxfEntryEeAdr(j))) << "entry " << j;
    }
}

// ---- BPF sweep -----------------------------------------------------------------------------

TEST(BpfSweep, AllStagesEndInTheMiddleOfTheirPlateaus) {
    RigOptions o;
    // Even ends: the sweep of all stages steps by 2 from -LVIN.
    o.sim.plateaus = {sim::Plateau{-20, 5}, sim::Plateau{30, 9}, sim::Plateau{0, 1},
                      sim::Plateau{60, 13}};
    ASSERT_EQ(o.sim.lvin, 100);
    SimRig rig(o);
    ASSERT_TRUE(rig.connect());
    const size_t mark = rig.radio().adjustLog().size();
    const int beeps = rig.beeps();

    ASSERT_TRUE(rig.keyOn(kLineBpfAll, kKeyEnter));
    bool sawSweeping = false, sawStageSweeping = false;
    ASSERT_TRUE(rig.runUntil([&] { return sweepRunning(rig); }, 2000));
    ASSERT_TRUE(rig.runUntil(
        [&] {
            sawSweeping |= rig.consoleLine(kLineBpfAll) == "   BPF ALL: Sweeping";
            sawStageSweeping |= rig.consoleLine(kLineBpfT1 + 2).ends_with(" Sweeping");
            return !sweepRunning(rig);
        },
        600000));
    rig.runFor(2000);
    EXPECT_TRUE(sawSweeping);
    EXPECT_TRUE(sawStageSweeping);
    EXPECT_EQ(rig.beeps(), beeps + 1);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());

    const int16_t middle[] = {-18, 34, 0, 66};
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE("stage " + std::to_string(s + 1));
        const auto line = static_cast<int16_t>(kLineBpfT1 + s);
        EXPECT_EQ(rig.value(line), middle[s]);
        EXPECT_EQ(rig.radio().bpfSetting(s), middle[s]);
        EXPECT_EQ(static_cast<int8_t>(rig.programByte(68 + s)), middle[s]);
        EXPECT_TRUE(rig.consoleLine(line).ends_with(" [Enter] to Sweep"));
        EXPECT_FALSE(rig.program().console().flgChanged(line));
        // The settling wait of every stage is back after the sweep.
        EXPECT_EQ(rig.program().console().WaitAfterE8(line), 200);
    }
    EXPECT_EQ(rig.consoleLine(kLineBpfAll), "   BPF ALL: [Enter] to Sweep");

    // Stage T1 as the radio saw it: 0 first, then from -100 in steps of 2 up to the limit,
    // then the middle of the plateau.
    std::vector<int> t1 = {0};
    for (int v = -100; v <= 126; v += 2) t1.push_back(v);
    t1.push_back(127);
    t1.push_back(-18);
    EXPECT_EQ(settingsOf(rig, mark, 12), t1);
    // One SD reading per point of every stage.
    EXPECT_EQ(monitorRequests(rig, mark, kMonitorSd), 4 * (t1.size() - 2));
    // One LVIN reading before each stage and one to find that none is left.
    EXPECT_EQ(monitorRequests(rig, mark, 2), 5u);
}

TEST(BpfSweep, SweepPointsAfterTheFirstFollowWithoutTheSettlingWait) {
    SimRig rig;
    ASSERT_TRUE(rig.connect());
    const size_t mark = rig.tap().adjustments().size();
    ASSERT_TRUE(rig.keyOn(kLineBpfT1 + 3, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return sweepRunning(rig); }, 2000));
    ASSERT_TRUE(rig.runUntil([&] { return !sweepRunning(rig); }, 600000));
    std::vector<int32_t> times;
    const std::vector<SentAdjust> sent = rig.tap().adjustments();
    for (size_t i = mark; i < sent.size(); ++i) {
        if (sent[i].number == 15) times.push_back(sent[i].ms);
    }
    // 0, then -128 from the cycle and again as the first point, 255 more points, the middle.
    ASSERT_EQ(times.size(), 259u);
    EXPECT_GE(times[2] - times[1], 200) << "the value from the cycle settles";
    EXPECT_GE(times[3] - times[2], 200) << "the first point settles";
    for (size_t i = 4; i + 1 < times.size(); ++i) {
        EXPECT_LT(times[i] - times[i - 1], 200) << "point " << i;
    }
}

TEST(BpfSweep, SingleStageVisitsEverySettingAndEndsInThePlateau) {
    struct Case {
        sim::Plateau plateau;
        int16_t expected;
    };
    const Case cases[] = {
        {{10, 5}, 12},      // best at 10..14
        {{10, 2}, 10},      // best at 10 and 11: the middle rounds down
        {{-128, 3}, -127},  // at the lower end
        {{120, 8}, 123},    // up to the upper end
        {{-7, 1}, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("plateau from " + std::to_string(c.plateau.lo) + ", " +
                     std::to_string(c.plateau.width) + " wide");
        RigOptions o;
        o.sim.plateaus[1] = c.plateau;
        SimRig rig(o);
        ASSERT_TRUE(rig.connect());
        const size_t mark = rig.radio().adjustLog().size();
        ASSERT_TRUE(rig.keyOn(kLineBpfT1 + 1, kKeyEnter));
        ASSERT_TRUE(rig.runUntil([&] { return sweepRunning(rig); }, 2000));
        EXPECT_TRUE(rig.consoleLine(kLineBpfT1 + 1).ends_with(" Sweeping"));
        EXPECT_EQ(rig.consoleLine(kLineBpfAll), "   BPF ALL: [Enter] to Sweep");
        // The other stages show their plain lines while T2 sweeps.
        EXPECT_TRUE(rig.consoleLine(kLineBpfT1).ends_with("]")) << rig.consoleLine(kLineBpfT1);
        EXPECT_TRUE(rig.consoleLine(kLineBpfT1 + 3).ends_with("]"));
        ASSERT_TRUE(rig.runUntil([&] { return !sweepRunning(rig); }, 600000));
        rig.runFor(1000);
        EXPECT_EQ(rig.value(kLineBpfT1 + 1), c.expected);
        EXPECT_EQ(rig.radio().bpfSetting(1), c.expected);
        EXPECT_EQ(static_cast<int8_t>(rig.programByte(69)), c.expected);
        // Every setting from -128 to 127 once, in steps of 1; the other stages untouched.
        std::vector<int> visited = settingsOf(rig, mark, 13);
        ASSERT_GE(visited.size(), 258u);
        EXPECT_EQ(visited.front(), 0);
        for (int v = -128; v <= 127; ++v) EXPECT_EQ(visited[static_cast<size_t>(v + 129)], v);
        EXPECT_EQ(visited.back(), c.expected);
        EXPECT_EQ(monitorRequests(rig, mark, kMonitorSd), 256u);
        EXPECT_TRUE(settingsOf(rig, mark, 12).empty());
        EXPECT_TRUE(settingsOf(rig, mark, 14).empty());
        EXPECT_TRUE(settingsOf(rig, mark, 15).empty());
        EXPECT_EQ(rig.radio().bpfSetting(0), 12);
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_TRUE(rig.lineClean());
    }
}

TEST(BpfSweep, ButtonEndsTheSweepAndTheSettingReachesTheRadio) {
    SimRig rig;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.keyOn(kLineBpfT1, kKeyEnter));
    ASSERT_TRUE(
        rig.runUntil([&] { return sweepRunning(rig) && rig.value(kLineBpfT1) > -60; }, 60000));
    const int beeps = rig.beeps();
    ASSERT_TRUE(rig.click(1));  // any button ends a procedure
    EXPECT_FALSE(rig.procedureRunning());
    rig.runFor(3000);
    EXPECT_EQ(rig.beeps(), beeps);
    EXPECT_FALSE(rig.procedureRunning());
    EXPECT_EQ(rig.radio().bpfSetting(0), rig.value(kLineBpfT1));
    EXPECT_EQ(static_cast<int8_t>(rig.programByte(68)), rig.value(kLineBpfT1));
    EXPECT_EQ(rig.program().console().WaitAfterE8(kLineBpfT1), 200);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
}

// ---- TXF procedure -------------------------------------------------------------------------

TEST(TxfProcedure, WindowAroundTheTemperatureBand) {
    struct Case {
        int reading;  // TEMPS
        int16_t band;
        std::vector<int16_t> bands;  // written, in this order: values, then slopes
    };
    const Case cases[] = {
        {8, 0, {0, 1}},
        {88, 7, {6, 7, 8}},
        {247, 19, {18, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("band " + std::to_string(c.band));
        RigOptions o;
        o.sim.temperatureC = temperatureForReading(c.reading);
        ASSERT_EQ(sim::temperatureBand(static_cast<int16_t>(c.reading)), c.band);
        SimRig rig(o);
        ASSERT_TRUE(rig.connect());
        ASSERT_EQ(rig.radio().monitorReading(kMonitorTemps), c.reading);
        const uint8_t start = rig.radio().image()[92 + static_cast<size_t>(c.band)];
        const size_t mark = rig.radio().adjustLog().size();
        const size_t sentMark = rig.tap().adjustments().size();

        ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
        ASSERT_TRUE(rig.runUntil(
            [&] { return commands(rig, mark, isTxfCommand).size() >= 2 * c.bands.size(); }, 5000));
        rig.runFor(3000);
        EXPECT_TRUE(txfRunning(rig));
        EXPECT_EQ(rig.value(kLineTxf), start) << "the setting starts from the band's value";

        std::vector<std::pair<int, int>> expected;
        for (int16_t b : c.bands) expected.emplace_back(0x10 + b, start);
        for (int16_t b : c.bands) expected.emplace_back(0x24 + b, 0);
        EXPECT_EQ(commands(rig, mark, isTxfCommand), expected)
            << "a pass without a change writes nothing more";
        for (int16_t b : c.bands) {
            EXPECT_EQ(rig.radio().image()[92 + static_cast<size_t>(b)], start);
            EXPECT_EQ(rig.radio().image()[72 + static_cast<size_t>(b)], 0);
        }
        expectSameTxfTable(rig);
        // One entry per tick, without the settling wait.
        std::vector<int32_t> times;
        const std::vector<SentAdjust> sent = rig.tap().adjustments();
        for (size_t i = sentMark; i < sent.size(); ++i) {
            if (isTxfCommand(sent[i].number)) times.push_back(sent[i].ms);
        }
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_GT(times[i], times[i - 1]);
            EXPECT_LT(times[i] - times[i - 1], 200);
        }
        // Meanwhile the temperature is read again and again.
        EXPECT_GT(monitorRequests(rig, mark, kMonitorTemps), 10u);
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_TRUE(rig.lineClean());
    }
}

TEST(TxfProcedure, NewSettingOrBandRewritesTheWindow) {
    RigOptions o;
    o.sim.temperatureC = temperatureForReading(88);  // band 7
    SimRig rig(o);
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() == TxfStep::Track; }, 5000));
    rig.runFor(2000);
    const int16_t start = rig.value(kLineTxf);

    size_t mark = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight));
    rig.runFor(2000);
    const int v = start + 1;
    EXPECT_EQ(commands(rig, mark, isTxfCommand),
              (std::vector<std::pair<int, int>>{
                  {0x16, v}, {0x17, v}, {0x18, v}, {0x2A, 0}, {0x2B, 0}, {0x2C, 0}}));

    // Warmer, into band 8: the window moves along with the current setting.
    mark = rig.radio().adjustLog().size();
    rig.radio().options().temperatureC = temperatureForReading(100);
    rig.runFor(2000);
    EXPECT_EQ(commands(rig, mark, isTxfCommand),
              (std::vector<std::pair<int, int>>{
                  {0x17, v}, {0x18, v}, {0x19, v}, {0x2B, 0}, {0x2C, 0}, {0x2D, 0}}));
    expectSameTxfTable(rig);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
}

// Start, confirm the first frequency, confirm the second: the whole table, computed with the
// constants of the radio's generation, goes to the radio and into the image.
void twoConfirmations(const std::string& subName, bool olderConstants) {
    RigOptions o;
    o.sim.subName = subName;
    SimRig rig(o);
    ASSERT_TRUE(rig.connect());
    const int16_t temps = rig.radio().monitorReading(kMonitorTemps);
    const int16_t band = sim::temperatureBand(temps);
    ASSERT_EQ(band, 12);

    // Start, adjust the first frequency and confirm it.
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() == TxfStep::Track; }, 5000));
    EXPECT_TRUE(rig.consoleLine(kLineTxf).starts_with("       TXF: 1st TX Freq = 146.25000MHz, "))
        << rig.consoleLine(kLineTxf);
    const int16_t start = rig.value(kLineTxf);
    EXPECT_EQ(start, rig.radio().image()[92 + 12]);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight));
    rig.runFor(1000);
    const int16_t ref1 = static_cast<int16_t>(start + 3);
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil(
        [&] { return rig.consoleLine(kLineTxf).starts_with("       TXF: 2nd TX Freq = "); }, 5000));
    rig.runFor(1000);
    // The second frequency is shown 10 ppm higher and starts 60 steps up.
    EXPECT_TRUE(rig.consoleLine(kLineTxf).starts_with("       TXF: 2nd TX Freq = 146.25146MHz, "))
        << rig.consoleLine(kLineTxf);
    ASSERT_EQ(rig.value(kLineTxf), ref1 + 60);
    EXPECT_EQ(rig.beeps(), 0);

    for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight));
    rig.runFor(1000);
    const int16_t ref2 = static_cast<int16_t>(ref1 + 64);
    const size_t mark = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return !txfRunning(rig); }, 10000));
    rig.runFor(1000);
    EXPECT_EQ(rig.beeps(), 1);
    EXPECT_EQ(rig.consoleLine(kLineTxf), "       TXF: [Enter] to Start");

    // The table the constants give for the two settings at this temperature, entry by entry
    // in order, on the radio and in the image.
    ConstTable rev20{}, rev10{};
    ASSERT_TRUE(ReadConstantsFile(rig.constFilePath(), rev20, rev10));
    const TxfTable table =
        ComputeTxfTable(ref1, ref2, olderConstants ? rev10 : rev20, DefaultTempBorders(), temps);
    std::vector<std::pair<int, int>> expected;
    for (const TxfWrite& w : TxfFullPlan(table)) expected.emplace_back(0x10 + w.entry, w.value);
    ASSERT_EQ(expected.size(), 40u);
    EXPECT_EQ(commands(rig, mark, isTxfCommand), expected);
    for (int16_t j = 0; j < 40; ++j) {
        EXPECT_EQ(rig.radio().txfEntry(j), expected[static_cast<size_t>(j)].second) << j;
    }
    expectSameTxfTable(rig);
    // The table reproduces the first setting at the temperature of the adjustment.
    EXPECT_NEAR(rig.radio().txfCompensation(), ref1, 1.0);

    // Then the parameter display lists what was written.
    ASSERT_TRUE(rig.click(2));
    ASSERT_TRUE(rig.runUntil([&] { return rig.opStep() == OperationStep::DispPara; }, 2000));
    const std::string text = rig.dispPara();
    for (int j = 0; j < 20; ++j) {
        const std::string initial = "REF Initial " + std::to_string(j) + ": ";
        const size_t at = text.find(initial);
        ASSERT_NE(at, std::string::npos) << initial;
        EXPECT_EQ(std::stoi(text.substr(at + initial.size(), 4)), rig.radio().txfEntry(j));
        const std::string slant = "REF Slant " + std::to_string(j) + ": ";
        const size_t at2 = text.find(slant);
        ASSERT_NE(at2, std::string::npos) << slant;
        EXPECT_EQ(std::stoi(text.substr(at2 + slant.size(), 4)),
                  asSigned(rig.radio().txfEntry(20 + j)));
    }
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
}

TEST(TxfProcedure, TwoConfirmationsWriteTheWholeTable) {
    {
        SCOPED_TRACE("sub name 0200");
        twoConfirmations("0200", false);
    }
    {
        SCOPED_TRACE("older radio, sub name 0150");
        twoConfirmations("0150", true);
    }
}

TEST(TxfProcedure, SecondFrequencyStartsAtTheTopFrom205) {
    struct Case {
        uint8_t bandValue;
        int16_t secondStart;
    };
    for (const Case c : {Case{204, 255}, Case{202, 255}, Case{150, 213}}) {
        // Confirmed at bandValue + 3: from 205 on the second frequency starts at 255.
        SCOPED_TRACE("band value " + std::to_string(c.bandValue));
        ByteString img = sim::sampleImage();
        img[92 + 12] = c.bandValue;
        RigOptions o;
        o.image = img;
        SimRig rig(o);
        ASSERT_TRUE(rig.connect());
        ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
        ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() == TxfStep::Track; }, 5000));
        ASSERT_EQ(rig.value(kLineTxf), c.bandValue);
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight));
        rig.runFor(1000);
        ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
        ASSERT_TRUE(rig.runUntil(
            [&] { return rig.consoleLine(kLineTxf).find("2nd TX Freq") != std::string::npos; },
            5000));
        rig.runFor(1000);
        EXPECT_EQ(rig.value(kLineTxf), c.secondStart);
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_TRUE(rig.lineClean());
    }
}

TEST(TxfProcedure, TcxoModeWritesAFlatTableWithOneConfirmation) {
    RigOptions o;
    o.tcxo = true;
    SimRig rig(o);
    ASSERT_TRUE(rig.window().check1.value == 1);
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() == TxfStep::Track; }, 5000));
    const int16_t start = rig.value(kLineTxf);
    EXPECT_EQ(start, rig.radio().image()[92]) << "TCXO mode starts from band 0's value";
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyLeft, true));
    rig.runFor(1000);
    const int16_t ref1 = static_cast<int16_t>(start - 5);
    const size_t mark = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return !txfRunning(rig); }, 10000));
    rig.runFor(1000);
    EXPECT_EQ(rig.beeps(), 1);
    std::vector<std::pair<int, int>> expected;
    for (int j = 0; j < 20; ++j) expected.emplace_back(0x10 + j, ref1);
    for (int j = 20; j < 40; ++j) expected.emplace_back(0x10 + j, 0);
    EXPECT_EQ(commands(rig, mark, isTxfCommand), expected);
    for (int16_t j = 0; j < 40; ++j) EXPECT_EQ(rig.radio().txfEntry(j), j < 20 ? ref1 : 0) << j;
    expectSameTxfTable(rig);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
}

}  // namespace
}  // namespace kv7::test
