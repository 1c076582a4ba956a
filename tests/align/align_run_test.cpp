// Alignment against the simulated bench, in virtual time: the whole program on the paced line
// to the simulated radio, whose transmitter the simulated test set measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "model/alignment_csv.h"
#include "model/support/sim_rig.h"
#include "sim/sim_test_set_link.h"
#include "sim/sim_transmitter.h"

namespace kv7::test {
namespace {

constexpr int32_t kAdrPowerLo = 48;
constexpr int32_t kAdrPowerHi = 49;
constexpr int32_t kAdrMod = 62;
constexpr int32_t kAdrTxfBandNow = 92 + 12;  // the TXF band of the bench's temperature

// The TXF table as the radio keeps it: band slopes, then band values.
ByteString txfTable(const ByteString& image) {
    return ByteString(image.begin() + 72, image.begin() + 112);
}

const char* const kTargets =
    "[Power(Hi)]\nTarget=5.0\nTolerance=0.1\n"
    "[Power(LO)]\nTarget=1.0\nTolerance=0.05\n"
    "[MOD]\nTarget=3.0\nTolerance=0.1\n"
    "[TXF]\nTolerance=50\n";

// Answers every key-up question with OK one heartbeat after it was asked, as a technician who
// keys the radio at once.
class Technician : public AlignView {
  public:
    void askKeyUp(const std::string& text) override {
        questions.push_back(text);
        asked = true;
    }
    void showProgress(const AlignProgress&) override {}
    void runEnded() override {}

    bool asked = false;
    std::vector<std::string> questions;
};

// The rig with a test set on its bench, connected, and the radio read.
struct Bench {
    explicit Bench(RigOptions options)
        : owner(std::make_unique<SimRig>(std::move(options))),
          rig(*owner),
          transmitter(rig.radio(), rig.clock()),
          links(rig.clock(), [this] { return transmitter.emission(); }) {
        rig.program().testSet().setLinkFactory(&links);
        run().setView(&technician);
    }
    // The program and its link to the test set go before the bench's end of that link.
    ~Bench() { owner.reset(); }

    AlignRun& run() { return rig.program().align().run(); }

    bool ready() {
        if (!rig.connect()) return false;
        rig.program().testSet().connect("127.0.0.1", "");
        return rig.runUntil(
            [&] {
                links.pump();
                return rig.program().testSet().testSet().state() == TestSet::State::Ready;
            },
            5000);
    }

    // Runs the alignment of the points to its end, the technician answering OK.
    bool align(const std::vector<AlignPoint>& points, int32_t timeoutMs = 180000) {
        if (!run().start(points)) return false;
        return rig.runUntil(
            [&] {
                links.pump();
                if (technician.asked) {
                    technician.asked = false;
                    rig.program().event("the answer", [&] { run().answer(true); });
                }
                if (onTick) onTick();
                return !run().running();
            },
            timeoutMs);
    }

    // The radio's power or deviation now, as the bench measures it without noise.
    sim::Emission air() { return transmitter.emission(); }

    std::unique_ptr<SimRig> owner;
    SimRig& rig;
    sim::SimTransmitter transmitter;
    sim::SimTestSetLinks links;
    Technician technician;
    std::function<void()> onTick;
};

RigOptions keyedRadio(const std::string& targets, uint8_t hi, uint8_t lo, uint8_t mod) {
    RigOptions o;
    o.sim.ptt = true;
    o.alignText = targets;
    ByteString image = sim::sampleImage(o.sim);
    image[kAdrPowerHi] = hi;
    image[kAdrPowerLo] = lo;
    image[kAdrMod] = mod;
    o.image = image;
    return o;
}

TEST(AlignRun, EveryPointFromFarOffEndsWithinToleranceThroughTheConsolesOwnCommands) {
    Bench b(keyedRadio(kTargets, 20, 250, 10));
    ASSERT_TRUE(b.ready());
    const size_t framesBefore = b.rig.tap().written().size();
    const int32_t since = b.rig.now();

    ASSERT_TRUE(
        b.align({AlignPoint::PowerHi, AlignPoint::PowerLo, AlignPoint::Mod, AlignPoint::Txf}));
    const std::vector<AlignmentRecord>& results = b.run().results();
    ASSERT_EQ(results.size(), 4u);
    for (const AlignmentRecord& r : results) {
        EXPECT_TRUE(r.passed) << r.point << ": " << r.outcome;
        EXPECT_LE(r.steps.size(), 12u) << r.point;
        ASSERT_TRUE(r.readingAfter) << r.point;
        // TXF's table keeps the carrier within the tolerance and one step of its setting.
        EXPECT_NEAR(*r.readingAfter, r.target, r.window > 0 ? r.window : r.tolerance) << r.point;
        EXPECT_EQ(r.checks.size(), 3u) << r.point;
    }
    EXPECT_EQ(b.technician.questions.size(), 4u);  // one key-up per point

    // What the radio now holds is what the console shows and the image keeps.
    EXPECT_EQ(b.rig.programByte(kAdrPowerHi), b.rig.radio().image()[kAdrPowerHi]);
    EXPECT_EQ(b.rig.value(kLinePowerHi), results[0].valueAfter);
    EXPECT_EQ(b.rig.value(kLineMod), results[2].valueAfter);
    // The TXF table the procedure derived makes the radio send the channel's frequency.
    EXPECT_NEAR(b.air().frequencyHz, results[3].target, 50);

    // Nothing but adjustment commands of the console's path went out, every frame whole.
    const std::vector<WrittenFrame>& frames = b.rig.tap().written();
    for (size_t i = framesBefore; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].record.size(), 10u) << "frame " << i;
        EXPECT_EQ(frames[i].record[2], 0xE8) << "frame " << i;
    }
    const std::set<int> consolePath = {0, 3, 5, 7, 8};
    for (const SentAdjust& a : b.rig.tap().adjustments()) {
        if (a.ms < since) continue;
        EXPECT_TRUE(consolePath.count(a.number) || (a.number >= 16 && a.number < 56))
            << "command " << a.number;
    }
    EXPECT_TRUE(b.rig.lineClean());
    EXPECT_EQ(b.rig.program().sessionRecord().alignments().size(), 4u);
}

// The first setting already reads within the tolerance, so its search never learns the size of
// a step; at this temperature the table's own rounding then adds most of a step to the carrier.
TEST(AlignRun, TxfRightFromItsFirstReadingStillAllowsTheTableItsRounding) {
    RigOptions o = keyedRadio(kTargets, 20, 250, 10);
    o.sim.temperatureC = 35;
    o.sim.crystalOffsetPpm = -1.48;
    Bench b(std::move(o));
    ASSERT_TRUE(b.ready());
    ASSERT_TRUE(b.align({AlignPoint::Txf}));
    ASSERT_EQ(b.run().results().size(), 1u);
    const AlignmentRecord& rec = b.run().results()[0];
    const auto firstStage = std::count_if(rec.steps.begin(), rec.steps.end(),
                                          [&](const auto& s) { return s.target == rec.target; });
    EXPECT_EQ(firstStage, 1);
    ASSERT_TRUE(rec.readingAfter);
    EXPECT_GT(std::fabs(*rec.readingAfter - rec.target), rec.tolerance);  // the rounding shows
    EXPECT_TRUE(rec.passed) << rec.outcome;
}

// Esc while a passed point selects the technician's channel again ends the run there and
// leaves the aligned value on the radio.
TEST(AlignRun, CancelAfterAPassKeepsTheAlignedValue) {
    Bench b(keyedRadio(kTargets, 20, 250, 10));
    ASSERT_TRUE(b.ready());
    b.onTick = [&] {
        if (!b.run().results().empty()) {
            b.run().cancel();
            b.onTick = nullptr;
        }
    };
    ASSERT_TRUE(b.align({AlignPoint::PowerLo, AlignPoint::Mod}));
    ASSERT_EQ(b.run().results().size(), 1u);
    const AlignmentRecord& rec = b.run().results()[0];
    EXPECT_TRUE(rec.passed) << rec.outcome;
    EXPECT_NE(rec.valueAfter, 250);
    EXPECT_EQ(b.rig.radio().image()[kAdrPowerLo], rec.valueAfter);
    EXPECT_EQ(b.rig.programByte(kAdrPowerLo), rec.valueAfter);
    EXPECT_EQ(b.rig.value(kLineChNo), 0);  // the technician's channel again
    EXPECT_EQ(b.technician.questions.size(), 1u);
    EXPECT_TRUE(b.rig.lineClean());
}

// On the paced line the radio takes the program's bytes at 960 bytes/s: every reading the run
// takes, in its searches, its verdicts and TXF's table check, is asked only once every change
// written before it has reached the radio and the profile's Settle= has passed since.
TEST(AlignRun, EveryReadingWaitsForTheRadiosLastChangeAndSettle) {
    Bench b(keyedRadio(kTargets, 20, 250, 10));
    ASSERT_TRUE(b.ready());
    struct Query {
        int32_t ms;
        std::string text;
    };
    std::vector<int32_t> received;  // each adjustment frame, when the radio had taken it in
    std::vector<Query> queries;     // the run's measurement queries, when the test set had them
    b.rig.radio().setFrameListener([&](const ByteString& record, bool malformed) {
        if (!malformed && record.size() == 10 && record[2] == 0xE8) received.push_back(b.rig.now());
    });
    size_t seen = b.links.last()->written().size();
    b.onTick = [&] {
        const std::string& text = b.links.last()->written();
        // The readings window measures between points; the run's own readings are those taken
        // while it holds the window's back.
        const bool runReads = b.rig.program().testSet().monitor().paused();
        for (size_t at = text.find("MEAS", seen); runReads && at != std::string::npos;
             at = text.find("MEAS", at + 1))
            queries.push_back({b.rig.now(), text.substr(at, text.find('\n', at) - at)});
        seen = text.size();
    };
    const size_t writtenBefore = b.rig.tap().written().size();
    ASSERT_TRUE(b.align({AlignPoint::PowerHi, AlignPoint::Txf}));
    b.rig.radio().setFrameListener({});
    ASSERT_EQ(b.run().results().size(), 2u);
    for (const AlignmentRecord& r : b.run().results()) EXPECT_TRUE(r.passed) << r.outcome;

    // The adjustment frames the program wrote, in the order the radio takes them in; a change is
    // one whose command carries a value other than its last one (TXF's tracking repeats its
    // setting, which changes nothing).
    struct Sent {
        int32_t ms;
        bool change;
    };
    std::vector<Sent> sent;
    std::map<int, ByteString> last;
    for (size_t i = writtenBefore; i < b.rig.tap().written().size(); ++i) {
        const ByteString& r = b.rig.tap().written()[i].record;
        if (r.size() != 10 || r[2] != 0xE8) continue;
        const ByteString value(r.begin() + 8, r.end());
        sent.push_back({b.rig.tap().written()[i].ms, last[r[7]] != value});
        last[r[7]] = value;
    }
    ASSERT_EQ(received.size(), sent.size());

    const int32_t settle = b.rig.program().testSet().testSet().settleMs(Quantity::Power);
    ASSERT_GE(queries.size(), 10u);
    int tableChecks = 0;
    for (const Query& q : queries) {
        // The last change written before the query had reached the radio Settle= before it.
        std::optional<size_t> lastChange;
        for (size_t k = 0; k < sent.size() && sent[k].ms <= q.ms; ++k)
            if (sent[k].change) lastChange = k;
        if (!lastChange) continue;
        EXPECT_LE(received[*lastChange] + settle, q.ms) << q.text << " at " << q.ms << " ms";
        if (*lastChange + 1 >= 40 && sent[*lastChange].ms - sent[*lastChange - 39].ms < 1000)
            ++tableChecks;
    }
    // TXF's table check read the carrier after the whole table (40 entries) was taken in.
    EXPECT_GE(tableChecks, 3);
}

TEST(AlignRun, EveryEarlyEndPutsTheValueBackOnTheLine) {
    struct Row {
        const char* what;
        std::string targets;
        AlignPoint point;
        int32_t adr;
        std::function<void(Bench&)> fault;
        const char* outcome;
    };
    const Row rows[] = {
        {"carrier lost", kTargets, AlignPoint::PowerHi, kAdrPowerHi,
         [](Bench& b) { b.rig.radio().options().ptt = false; }, "the carrier was lost"},
        {"out of reach", "[Power(Hi)]\nTarget=9.0\nTolerance=0.1\n", AlignPoint::PowerHi,
         kAdrPowerHi, nullptr, "Power(Hi) cannot reach 9.00 W within its limits: "},
        {"test set silent", kTargets, AlignPoint::Mod, kAdrMod,
         [](Bench& b) { b.links.setFault(sim::SimTestSetFault::Silent); },
         "the test set gave no reading"},
        {"cancelled", kTargets, AlignPoint::PowerLo, kAdrPowerLo,
         [](Bench& b) { b.run().cancel(); }, "cancelled by the technician"},
        {"TXF cancelled", kTargets, AlignPoint::Txf, kAdrTxfBandNow,
         [](Bench& b) { b.run().cancel(); }, "cancelled by the technician"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Bench b(keyedRadio(r.targets, 20, 250, 10));
        ASSERT_TRUE(b.ready());
        const uint8_t before = b.rig.programByte(r.adr);
        const ByteString tableBefore = txfTable(b.rig.radio().image());
        // The fault strikes once the search has moved the value.
        b.onTick = [&] {
            if (r.fault && b.run().results().empty() && b.rig.programByte(r.adr) != before) {
                r.fault(b);
                b.onTick = nullptr;
            }
        };
        ASSERT_TRUE(b.align({r.point}));
        ASSERT_EQ(b.run().results().size(), 1u);
        const AlignmentRecord& rec = b.run().results()[0];
        EXPECT_FALSE(rec.passed);
        EXPECT_EQ(rec.outcome.rfind(r.outcome, 0), 0u) << rec.outcome;
        // Back on the radio, in the image and on the console.
        EXPECT_EQ(b.rig.radio().image()[static_cast<size_t>(r.adr)], before);
        EXPECT_EQ(b.rig.programByte(r.adr), before);
        EXPECT_EQ(txfTable(b.rig.radio().image()), tableBefore);  // values and slopes
        EXPECT_TRUE(b.rig.lineClean());
        // A cancelled point is not a failure; every other early end is.
        EXPECT_EQ(rec.cancelled, std::string(r.outcome) == "cancelled by the technician");
        ASSERT_FALSE(b.rig.messages().empty());
        EXPECT_NE(b.rig.messages().back().find(AlignResultLine(rec)), std::string::npos);
    }
}

// The cable goes while TXF writes its table: the program finds the line dead, nothing can go
// back, and the record, the CSV and the summary name the setting the radio may keep (one the run
// put on the radio), never "back".
TEST(AlignRun, ALineLostDuringTxfSaysWhatTheRadioMayKeep) {
    Bench b(keyedRadio(kTargets, 20, 250, 10));
    ASSERT_TRUE(b.ready());
    const uint8_t before = b.rig.programByte(kAdrTxfBandNow);
    b.onTick = [&] {
        if (b.rig.programByte(kAdrTxfBandNow) != before) {
            b.rig.radio().options().faults.cutAfterBytes = b.rig.radio().bytesSent();
            b.onTick = nullptr;
        }
    };
    ASSERT_TRUE(b.align({AlignPoint::Txf}, 120000));
    ASSERT_EQ(b.run().results().size(), 1u);
    const AlignmentRecord& rec = b.run().results()[0];
    EXPECT_FALSE(rec.passed);
    ASSERT_TRUE(rec.backOnRadio.has_value());
    EXPECT_FALSE(*rec.backOnRadio);
    const std::string lead =
        "The radio may keep a TXF table written only in part and the last setting sent, ";
    ASSERT_EQ(rec.putBack.rfind(lead, 0), 0u) << rec.putBack;
    const int kept = std::stoi(rec.putBack.substr(lead.size()));
    EXPECT_TRUE(std::any_of(rec.steps.begin(), rec.steps.end(),
                            [&](const AlignmentRecord::Step& s) { return s.value == kept; }))
        << rec.putBack;
    EXPECT_EQ(rec.valueAfter, kept);
    const std::string csv = AlignmentDataCsv(b.rig.program().sessionRecord());
    EXPECT_NE(csv.find(",TXF,not back," + std::to_string(kept) + ","), std::string::npos) << csv;
    ASSERT_FALSE(b.rig.messages().empty());
    EXPECT_NE(b.rig.messages().back().find(AlignResultLine(rec)), std::string::npos);
}

}  // namespace
}  // namespace kv7::test
