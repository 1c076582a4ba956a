// The record of a connection, as the controller fills it during a technician's session against
// the simulated radio: before and after, the monitor readings, the sweeps and the TXF table.
#include "model/session_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "model/support/sim_rig.h"
#include "model/sweep_data_csv.h"

namespace kv7::test {
namespace {

constexpr int16_t kStageT4 = 3;

bool procedureRunning(SimRig& rig) {
    return rig.procedureRunning();
}

TEST(SessionRecord, KeepsWhatAConnectionDidAndStartsAgainOnConnect) {
    RigOptions o;
    o.sim.plateaus[kStageT4] = sim::Plateau{-40, 7};
    SimRig rig(o);
    const SessionRecord& rec = rig.program().sessionRecord();
    EXPECT_FALSE(rec.cloneRead());
    ASSERT_TRUE(rig.connect());

    ASSERT_TRUE(rec.cloneRead());
    EXPECT_EQ(rec.modelCode(), "2251");
    EXPECT_EQ(rec.subName(), "0200");
    EXPECT_EQ(rec.comPortNo(), 1);
    ASSERT_EQ(rec.items().size(), 12u);
    const int16_t powerRead = rig.radio().image()[49];
    EXPECT_EQ(rec.items()[kLinePowerHi].asRead, powerRead);
    // The first cycle sends every item once, unchanged.
    for (const SessionRecord::Item& it : rec.items()) EXPECT_FALSE(it.changed()) << it.title;
    // So there is nothing to keep yet; a change is work that needs a saved report.
    EXPECT_FALSE(rec.workUnsaved());

    // A changed item: as read, now, and the command that carried it.
    ASSERT_TRUE(rig.keyOn(kLinePowerHi, kKeyRight, true));
    ASSERT_TRUE(rig.keyOn(kLinePowerHi, kKeyLeft));
    rig.runFor(1000);
    const int16_t powerNow = static_cast<int16_t>(powerRead + 4);
    ASSERT_EQ(rig.radio().image()[49], powerNow);
    EXPECT_EQ(rec.items()[kLinePowerHi].now, powerNow);
    EXPECT_TRUE(rec.items()[kLinePowerHi].changed());
    EXPECT_TRUE(rec.workUnsaved());
    std::vector<int16_t> powerSent;
    for (const SessionRecord::Adjustment& a : rec.adjustments()) {
        if (a.item == kLinePowerHi) powerSent.push_back(a.value);
    }
    EXPECT_EQ(powerSent, (std::vector<int16_t>{powerRead, powerNow}));

    // Monitor readings: the first of each value, the latest after a change on the radio.
    const int16_t vin = rec.reading(0, 0).first;
    EXPECT_EQ(vin, 189);
    EXPECT_EQ(rec.reading(1, 7).count, 1);
    rig.radio().options().vin = 170;
    ASSERT_TRUE(rig.click(1));
    rig.runFor(2000);
    EXPECT_EQ(rec.reading(0, 0).first, 189);
    EXPECT_EQ(rec.reading(0, 0).latest, 170);
    EXPECT_EQ(rec.reading(0, 0).count, 2);
    EXPECT_GE(rec.reading(0, 0).latestMs, rec.reading(0, 0).firstMs);

    // A sweep of one stage: every point with its reading, the plateau and the setting chosen.
    ASSERT_TRUE(rig.keyOn(kLineBpfT1 + kStageT4, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return procedureRunning(rig); }, 2000));
    ASSERT_TRUE(rig.runUntil([&] { return !procedureRunning(rig); }, 600000));
    rig.runFor(1000);
    ASSERT_EQ(rec.sweeps().size(), 1u);
    const SessionRecord::Sweep& s = rec.sweeps()[0];
    EXPECT_EQ(s.stage, kStageT4);
    EXPECT_FALSE(s.all);
    EXPECT_TRUE(s.finished);
    ASSERT_EQ(s.points.size(), 256u);
    int16_t highest = -1;
    for (size_t i = 0; i < s.points.size(); ++i) {
        EXPECT_EQ(s.points[i].setting, static_cast<int16_t>(i) - 128);
        highest = std::max(highest, s.points[i].sd);
    }
    EXPECT_EQ(s.best, highest);
    EXPECT_EQ(s.plateauLo, -40);
    EXPECT_EQ(s.plateauHi, -34);
    EXPECT_EQ(s.chosen, -37);
    EXPECT_EQ(s.chosen, rig.radio().bpfSetting(kStageT4));
    EXPECT_EQ(s.points[88].sd, s.best);  // setting -40
    EXPECT_LT(s.points[87].sd, s.best);  // setting -41
    EXPECT_EQ(rec.items()[kLineBpfT1 + kStageT4].now, -37);
    // The same points as CSV rows, each with its sweep's result.
    const std::string csv = SweepDataCsv(rec);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 257);
    EXPECT_NE(csv.find("\r\n1,T4,single,100,89,-40," + std::to_string(s.best) + ",yes," +
                       std::to_string(s.best) + ",-40,-34,-37\r\n"),
              std::string::npos);

    // A sweep ended by a button has no result; the record says so instead of inventing one.
    ASSERT_TRUE(rig.keyOn(kLineBpfT1, kKeyEnter));
    ASSERT_TRUE(rig.runUntil(
        [&] { return rec.sweeps().size() == 2 && rec.sweeps()[1].points.size() > 5; }, 60000));
    ASSERT_TRUE(rig.click(1));
    rig.runFor(1000);
    EXPECT_FALSE(rec.sweeps()[1].finished);
    EXPECT_EQ(SweepDataCsv(rec).find(",no,,,,\r\n") != std::string::npos, true);

    // TXF: both settings, the temperature and the 40 entries as the radio got them.
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() == TxfStep::Track; }, 5000));
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight));
    rig.runFor(500);
    const int16_t ref1 = rig.value(kLineTxf);
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil(
        [&] { return rig.consoleLine(kLineTxf).find("2nd TX Freq") != std::string::npos; }, 5000));
    rig.runFor(500);
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyRight, true));
    rig.runFor(500);
    const int16_t ref2 = rig.value(kLineTxf);
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return !procedureRunning(rig); }, 10000));
    ASSERT_TRUE(rig.runUntilLineIdle(2000));  // the entries wait in the port's queue for the line
    EXPECT_TRUE(rig.lineClean());
    ASSERT_EQ(rec.txfProcedures().size(), 1u);
    const SessionRecord::Txf& t = rec.txfProcedures()[0];
    EXPECT_FALSE(t.tcxo);
    EXPECT_EQ(t.firstSetting, ref1);
    EXPECT_EQ(t.secondSetting, ref2);
    EXPECT_EQ(t.temps, rig.radio().monitorReading(1));
    EXPECT_EQ(t.band, 12);
    ASSERT_TRUE(t.complete());
    for (int j = 0; j < 40; ++j) EXPECT_EQ(t.entries[j], rig.radio().txfEntry(j)) << "entry " << j;

    // Connect: the record stays whole until the new clone read completes (a Connect that fails
    // must not lose it), then a new one begins with that read.
    ASSERT_TRUE(rig.click(0));
    EXPECT_TRUE(rec.cloneRead());
    EXPECT_EQ(rec.txfProcedures().size(), 1u);
    EXPECT_FALSE(rec.adjustments().empty());
    ASSERT_TRUE(rig.runUntil([&] { return rig.inCycle(); }, 60000));
    EXPECT_TRUE(rec.connected());
    EXPECT_TRUE(rec.cloneRead());
    EXPECT_TRUE(rec.sweeps().empty());
    EXPECT_TRUE(rec.txfProcedures().empty());
    EXPECT_TRUE(rec.adjustments().empty());
    EXPECT_EQ(rec.items()[kLinePowerHi].asRead, powerNow);
    EXPECT_TRUE(rig.messages().empty());
}

}  // namespace
}  // namespace kv7::test
