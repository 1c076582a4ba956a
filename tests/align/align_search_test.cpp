#include "align/align_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "align/align_targets.h"

namespace kv7 {
namespace {

using Outcome = AlignSearch::Outcome;

// Runs the search against a response, with the final reading at the best value as the run
// takes it; returns the probes spent.
struct SearchRun {
    Outcome outcome;
    int steps;
    int16_t best;
    double bestReading;
};

SearchRun search(const std::function<double(int)>& response, int16_t min, int16_t max,
                 int16_t start, double target, double tolerance, int maxSteps = 12) {
    AlignSearch s(min, max, start, target, tolerance, maxSteps);
    while (const std::optional<int16_t> v = s.next()) {
        EXPECT_GE(*v, min);
        EXPECT_LE(*v, max);
        s.take(*v, response(*v));
    }
    return {s.outcome(), static_cast<int>(s.probes().size()), s.best().value, s.best().reading};
}

TEST(AlignSearch, ReachesTheTargetOfMonotonicResponsesWithinEightReadings) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 1);
    // An S-curve of power as a final amplifier gives it, a straight deviation, a frequency that
    // moves 25 Hz a step, each with the noise of a test set.
    const auto power = [&](int v) {
        return (0.3 + 5.2 / (1 + std::exp(-(v - 120) / 35.0))) * (1 + 0.005 * noise(rng));
    };
    const auto deviation = [&](int v) { return 20.0 * v + 30 * noise(rng); };
    const auto frequency = [&](int v) { return 25.0 * (v - 140) + 2 * noise(rng); };
    struct Row {
        const char* what;
        std::function<double(int)> response;
        int16_t start;
        double target;
        double tolerance;
    };
    const Row rows[] = {
        {"power from far below", power, 10, 5.0, 0.1},
        {"power from far above", power, 250, 1.0, 0.05},
        {"power almost right", power, 150, 4.1, 0.1},
        {"deviation from zero", deviation, 0, 3000, 100},
        {"deviation from the top", deviation, 255, 1500, 100},
        {"frequency", frequency, 60, 0, 50},
        {"frequency 10 ppm up", frequency, 200, 1450, 50},
    };
    for (const Row& r : rows) {
        const SearchRun run = search(r.response, 0, 255, r.start, r.target, r.tolerance);
        EXPECT_EQ(run.outcome, Outcome::Converged) << r.what;
        EXPECT_LE(run.steps, 8) << r.what;
        EXPECT_NEAR(run.bestReading, r.target, r.tolerance) << r.what;
    }
}

TEST(AlignSearch, EndsWithItsReasonWhenTheTargetCannotBeFound) {
    struct Row {
        const char* what;
        std::function<double(int)> response;
        int16_t start;
        double target;
        Outcome outcome;
        bool limitsRead;
    };
    const Row rows[] = {
        {"beyond the top", [](int v) { return 1.0 + v / 100.0; }, 100, 9.0, Outcome::OutOfReach,
         true},
        {"below the bottom", [](int v) { return 1.0 + v / 100.0; }, 100, 0.5, Outcome::OutOfReach,
         true},
        {"from the limit", [](int v) { return 1.0 + v / 100.0; }, 255, 9.0, Outcome::OutOfReach,
         true},
        {"flat", [](int) { return 2.0; }, 100, 3.0, Outcome::Flat, false},
        {"wrong way", [](int v) { return 5.0 - v / 50.0; }, 100, 4.0, Outcome::WrongWay, false},
    };
    for (const Row& r : rows) {
        AlignSearch s(0, 255, r.start, r.target, 0.1, 12);
        while (const std::optional<int16_t> v = s.next()) s.take(*v, r.response(*v));
        EXPECT_EQ(s.outcome(), r.outcome) << r.what;
        EXPECT_LE(s.probes().size(), 4u) << r.what;
        if (r.limitsRead) {
            EXPECT_TRUE(s.readingAt(0) && s.readingAt(255)) << r.what;
        }
    }
}

TEST(AlignTargets, TheFileGivesEachPointItsTargetAndRefusesFaultsByLine) {
    const std::string good =
        "; checked against the service data of this band\n"
        "[Power(Hi)]\nTarget=5.0\nTolerance=0.1\n"
        "[power(lo)]\nTarget=1\nTolerance=0.05\nMaxSteps=8\nMaxKeyTime=30\n"
        "[MOD]\nTarget=3.0\nTolerance=0.1\nNote=Feed 1 kHz at 40 mV\n"
        "[TXF]\nTolerance=1000\n";
    const AlignTargetsParse p = ParseAlignTargets(good, "Align.ini");
    ASSERT_TRUE(p.targets) << p.error;
    EXPECT_DOUBLE_EQ(p.targets->of(AlignPoint::PowerHi)->target, 5.0);
    EXPECT_EQ(p.targets->of(AlignPoint::PowerLo)->maxSteps, 8);
    EXPECT_EQ(p.targets->of(AlignPoint::PowerLo)->maxKeyTimeS, 30);
    EXPECT_DOUBLE_EQ(p.targets->of(AlignPoint::Mod)->target, 3000.0);  // kHz in the file
    EXPECT_EQ(p.targets->of(AlignPoint::Mod)->note, "Feed 1 kHz at 40 mV");
    EXPECT_EQ(p.targets->of(AlignPoint::Txf)->maxSteps, 12);
    EXPECT_DOUBLE_EQ(p.targets->of(AlignPoint::Txf)->tolerance, 1000.0);
    EXPECT_FALSE(ParseAlignTargets("[MOD]\nTarget=3\nTolerance=0.1\n", "A")
                     .targets->of(AlignPoint::PowerHi));

    const struct {
        std::string text;
        std::string error;
    } bad[] = {
        {"[Power(Hi)]\nTarget=5\n", "Align.ini line 1: [Power(Hi)] has no Tolerance="},
        {"[MOD]\nTolerance=0.1\nTarget=fast\n", "Align.ini line 3: Target= must be"},
        {"[TXF]\nTarget=150\n", "Align.ini line 2: [TXF] takes no Target="},
        {"[PWR]\n", "Align.ini line 1: unknown section [PWR]"},
        {"[MOD]\nTarget=3\nTolerance=0.1\nMaxSteps=500\n", "Align.ini line 4: MaxSteps="},
        {"[Power(Hi)]\nTarget=5\nTolerance=5\n",
         "Align.ini line 3: Tolerance= must be below Target= (5 W) in [Power(Hi)]"},
        {"[MOD]\nTolerance=4\nTarget=3.0\n",
         "Align.ini line 3: Tolerance= must be below Target= (3 kHz) in [MOD]"},
        {"[TXF]\nTolerance=1001\n",
         "Align.ini line 2: Tolerance= must be above 0 and at most 1000 Hz in [TXF]"},
        {"[MOD]\n" + std::string(100000, 'x') + "\n", "Align.ini line 2: the line is longer"},
        {"[MOD]\nTarget=\x01\x02\n", "Align.ini line 2: the line holds characters"},
    };
    for (const auto& b : bad) {
        const AlignTargetsParse r = ParseAlignTargets(b.text, "Align.ini");
        EXPECT_FALSE(r.targets) << b.text.substr(0, 40);
        EXPECT_EQ(r.error.rfind(b.error, 0), 0u) << r.error;
    }
}

}  // namespace
}  // namespace kv7
