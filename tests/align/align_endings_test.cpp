// How each ending of a point is decided and told, with a radio and a test set that do exactly
// what a row says: the verdict's readings, what the radio takes, when it goes away.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "align/align_run.h"
#include "protocol/tick.h"
#include "store/message_sink.h"

namespace kv7 {
namespace {

// The radio: a value stepped is sent after a heartbeat; `lostAfterSteps` steps later it goes
// away (the put-back's step among them).
struct FakeRadio : AlignRadio {
    bool connected() const override { return up; }
    bool procedureRunning() const override { return false; }
    int16_t value(AlignItem i) const override { return values.at(i); }
    int16_t min(AlignItem) const override { return 0; }
    int16_t max(AlignItem) const override { return 255; }
    void step(AlignItem i, int16_t d) override {
        values[i] = static_cast<int16_t>(values[i] + d);
        pending = true;
        if (++steps == lostAfterSteps) up = false;
    }
    void confirm(AlignItem) override {}
    bool changesSent() const override { return !pending; }
    bool txfTracking(int16_t) const override { return false; }
    bool txfSecondSetting() const override { return false; }
    void restoreTxfTable() override {}
    bool tcxo() const override { return false; }
    int16_t transmittingChannel(std::optional<bool>, int16_t preferred) const override {
        return preferred;
    }
    std::optional<double> txFrequencyHz() const override { return 146.25e6; }

    std::map<AlignItem, int16_t> values{{AlignItem::Mod, 100}, {AlignItem::Channel, 0}};
    bool pending = false;
    bool up = true;
    int steps = 0;
    int lostAfterSteps = -1;
};

// The test set: deviation of 20 Hz per step of MOD (3.0 kHz at 150), plus what the row adds to
// each reading of deviation in turn; power is always there.
struct FakeInstrument : AlignInstrument {
    bool ready() const override { return isReady; }
    std::string fault() const override { return "The connection to the test set broke."; }
    void measure(Quantity q, std::optional<double>,
                 std::function<void(const Reading&)> done) override {
        Reading r{true, carrier ? 5.0 : 0.0001, {}};
        if (q == Quantity::Power) ++powerReadings;
        if (q == Quantity::Deviation) {
            r.value = 3000 + 20.0 * (radio.value(AlignItem::Mod) - 150);
            if (noise) r.value += noise(deviationReadings);
            if (dropAt == deviationReadings) isReady = false;
            ++deviationReadings;
        }
        if (atOnce) return done(r);
        due.push_back([done, r] { done(r); });
    }
    int settleMs(Quantity) const override { return 0; }
    double carrierW() const override { return 0.05; }
    void setRunActive(bool) override {}

    explicit FakeInstrument(FakeRadio& r) : radio(r) {}
    FakeRadio& radio;
    std::function<double(int)> noise;
    int deviationReadings = 0;
    int dropAt = -1;  // after this reading the connection ends
    bool isReady = true;
    bool carrier = true;
    bool atOnce = false;  // answers inside measure(), as a test set that is not ready does
    int powerReadings = 0;
    std::vector<std::function<void()>> due;
};

// MOD aims at 3.0 kHz within 100 Hz.
AlignTargets modAt3kHz() {
    AlignTargets targets;
    AlignTarget mod;
    mod.target = 3000;
    mod.tolerance = 100;
    targets.points[static_cast<size_t>(AlignPoint::Mod)] = mod;
    return targets;
}

struct Messages : MessageSink {
    void showMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

TEST(AlignEndings, AVerdictStandsOnlyOnAgreeingReadingsAndTheRecordSaysWhatTheRadioHolds) {
    struct Row {
        const char* what;
        std::function<void(FakeRadio&, FakeInstrument&)> setUp;
        bool passed;
        const char* outcome;  // how the record's outcome begins
        const char* putBack;  // the record's sentence on the value before the run
    };
    const auto lastReadings = [](double offset) {
        // The search converges on its readings; the verdict's three come after them.
        return [offset](int n) { return n >= 3 ? offset : 0.0; };
    };
    const Row rows[] = {
        {"agreeing readings pass", nullptr, true, "", ""},
        {"scatter beyond the tolerance",
         [](FakeRadio&, FakeInstrument& i) {
             i.noise = [](int n) { return n < 3 ? 0.0 : (n % 2 == 0 ? 70.0 : -70.0); };
         },
         false, "the readings at ", "The value is back at 100."},
        {"one outlier in the verdict",
         [](FakeRadio&, FakeInstrument& i) {
             i.noise = [](int n) { return n == 4 ? 150.0 : 0.0; };
         },
         false, "the readings at ", "The value is back at 100."},
        {"agreeing readings off target",
         [&](FakeRadio&, FakeInstrument& i) { i.noise = lastReadings(150); }, false,
         "the closest value, ", "The value is back at 100."},
        {"connection over after the verdict's readings",
         [](FakeRadio&, FakeInstrument& i) { i.dropAt = 5; }, false,
         "the test set failed: ", "The value is back at 100."},
        {"radio gone while the value goes back",
         [&](FakeRadio& r, FakeInstrument& i) {
             i.noise = lastReadings(150);
             r.lostAfterSteps = 3;  // two search steps, then the put-back's
         },
         false, "the closest value, ",
         "The radio may keep the last value sent, 150 (or 100, which was on its way): connect "
         "again and check it."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeRadio radio;
        FakeInstrument instrument(radio);
        if (row.setUp) row.setUp(radio, instrument);
        ManualTickSource ticks;
        Messages messages;
        AlignRun run(radio, instrument, ticks, messages);
        run.setTargets(modAt3kHz());
        std::vector<AlignmentRecord> recorded;
        run.setRecorder([&](const AlignmentRecord& r) { recorded.push_back(r); });
        ASSERT_TRUE(run.start({AlignPoint::Mod}));
        for (int beat = 0; run.running() && beat < 1000; ++beat) {
            ticks.advance(50);
            radio.pending = false;
            std::vector<std::function<void()>> due = std::move(instrument.due);
            instrument.due.clear();
            for (auto& d : due) d();
            run.task();
        }
        ASSERT_FALSE(run.running());
        ASSERT_EQ(recorded.size(), 1u);
        const AlignmentRecord& rec = recorded[0];
        EXPECT_EQ(rec.passed, row.passed) << rec.outcome;
        EXPECT_EQ(rec.outcome.rfind(row.outcome, 0), 0u) << rec.outcome;
        EXPECT_EQ(rec.putBack, row.putBack);
        if (row.passed) {
            EXPECT_EQ(rec.checks.size(), AlignVerdict::kReadings);
        }
        // What the radio holds is the value before the run unless it passed or went away.
        if (!row.passed && radio.up) {
            EXPECT_EQ(radio.values[AlignItem::Mod], 100);
        }
        // The run's summary says of the point what its record says.
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0], "Alignment against the test set:\n" + AlignResultLine(rec));
        ASSERT_EQ(run.results().size(), 1u);
        EXPECT_EQ(AlignResultLine(run.results()[0]), AlignResultLine(rec));
    }
}

// No carrier comes, and the test set answers the moment it is asked: the run looks a few times a
// second for the whole wait, then ends the point, never asking in a loop of its own.
TEST(AlignEndings, WaitingForTheCarrierLooksAFewTimesASecond) {
    FakeRadio radio;
    FakeInstrument instrument(radio);
    instrument.carrier = false;
    instrument.atOnce = true;
    ManualTickSource ticks;
    Messages messages;
    AlignRun run(radio, instrument, ticks, messages);
    run.setTargets(modAt3kHz());
    ASSERT_TRUE(run.start({AlignPoint::Mod}));
    for (int beat = 0; run.running() && beat < 1000; ++beat) {
        ticks.advance(50);
        run.task();
    }
    ASSERT_FALSE(run.running());
    ASSERT_EQ(run.results().size(), 1u);
    EXPECT_EQ(run.results()[0].outcome, "the test set saw no carrier within 15 s");
    EXPECT_GE(instrument.powerReadings, 50);
    EXPECT_LE(instrument.powerReadings, 160);
}

}  // namespace
}  // namespace kv7
