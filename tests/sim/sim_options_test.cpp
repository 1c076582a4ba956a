#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <functional>

namespace kv7::sim {
namespace {

TEST(SimOptions, EachOptionSetsItsField) {
    struct Case {
        std::vector<std::string> args;
        std::function<bool(const SimCommandLine&)> holds;
    } cases[] = {
        {{"--image", "a.bin"}, [](auto& c) { return c.imageFile == "a.bin"; }},
        {{"--model", "2252"}, [](auto& c) { return c.options.modelCode == "2252"; }},
        {{"--sub-name", "01a0"}, [](auto& c) { return c.options.subName == "01a0"; }},
        {{"--channel-type", "1"}, [](auto& c) { return c.options.channelType; }},
        {{"--no-pacing"}, [](auto& c) { return !c.options.pacing && c.options.pacedIntake; }},
        {{"--instant-intake"}, [](auto& c) { return !c.options.pacedIntake && c.options.pacing; }},
        {{"--frame-log", "f.log"}, [](auto& c) { return c.frameLogFile == "f.log"; }},
        {{"--temperature", "-12.5"}, [](auto& c) { return c.options.temperatureC == -12.5; }},
        {{"--lvin", "0"}, [](auto& c) { return c.options.lvin == 0; }},
        {{"--vin", "255"}, [](auto& c) { return c.options.vin == 255; }},
        {{"--bdet", "82"}, [](auto& c) { return c.options.bdet == 82; }},
        {{"--remot", "7"}, [](auto& c) { return c.options.remot == 7; }},
        {{"--plateau", "3:-20:4"},
         [](auto& c) {
             return c.options.plateaus[2].lo == -20 && c.options.plateaus[2].width == 4 &&
                    c.options.plateaus[0].lo == 10;
         }},
        {{"--answer-delay", "40"}, [](auto& c) { return c.options.answerDelayMs == 40; }},
        {{"--lenient-identity"}, [](auto& c) { return !c.options.strictIdentity; }},
        {{"--fault-no-echo"}, [](auto& c) { return c.options.faults.noEcho; }},
        {{"--fault-no-answer"}, [](auto& c) { return c.options.faults.noAnswer; }},
        {{"--fault-bad-checksum", "319"},
         [](auto& c) { return c.options.faults.badChecksumBlock == 319; }},
        {{"--fault-gap", "0", "--gap-ms", "3000"},
         [](auto& c) {
             return c.options.faults.gapBeforeBlock == 0 && c.options.faults.gapMs == 3000;
         }},
        {{"--fault-refuse-write"}, [](auto& c) { return c.options.faults.refuseWrite; }},
        {{"--fault-noise"}, [](auto& c) { return c.options.faults.noise; }},
        {{"--fault-cut-after", "123"},
         [](auto& c) { return c.options.faults.cutAfterBytes == 123; }},
        {{"--fault-wrong-model"}, [](auto& c) { return c.options.modelCode == "2252"; }},
        {{"--fault-sub-name"}, [](auto& c) { return c.options.subName == "0300"; }},
        {{"--verbose", "--help"}, [](auto& c) { return c.verbose && c.help; }},
        {{"--ptt", "on"}, [](auto& c) { return c.options.ptt; }},
        {{"--ptt-release-after", "2.5"}, [](auto& c) { return c.options.pttReleaseAfterS == 2.5; }},
        {{"--test-set", "0"}, [](auto& c) { return c.testSetPort == 0; }},
        {{"--test-set-silent"},
         [](auto& c) { return c.testSetFault == SimTestSetFault::Silent && c.testSetPort < 0; }},
        {{"--test-set-garbage"},
         [](auto& c) { return c.testSetFault == SimTestSetFault::Garbage; }},
        {{"--test-set-error"}, [](auto& c) { return c.testSetFault == SimTestSetFault::Error; }},
        {{"--log-measurements"}, [](auto& c) { return c.logMeasurements; }},
        {{"--test-set-stray", "deviation:3"},
         [](auto& c) {
             const SimAnswerFault& f = c.bench.answers.at(0);
             return f.kind == SimAnswerFault::Kind::Stray && f.answer == 3 && f.text.empty() &&
                    f.quantity == SimQuantity::Deviation;
         }},
        {{"--test-set-late", "power:2:2500"},
         [](auto& c) { return c.bench.answers.at(0).lateMs == 2500; }},
        {{"--test-set-outlier", "freq-error:4:+2500"},
         [](auto& c) {
             const SimAnswerFault& f = c.bench.answers.at(0);
             return f.quantity == SimQuantity::FreqError && f.number == 2500;
         }},
        {{"--test-set-absurd", "freq:1"},
         [](auto& c) { return c.bench.answers.at(0).number == 1.7e308; }},
        {{"--test-set-noise", "16"}, [](auto& c) { return c.bench.noiseFactor == 16; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        SimCommandLine cl;
        std::string err;
        ASSERT_TRUE(parseSimArguments(c.args, cl, err)) << err;
        EXPECT_TRUE(c.holds(cl));
        // Every option is documented.
        EXPECT_NE(simUsage().find(c.args[0]), std::string::npos);
    }
}

TEST(SimOptions, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--lvin"},
        {"--lvin", "256"},
        {"--lvin", "1x"},
        {"--model", "225"},
        {"--sub-name", "02G0"},
        {"--channel-type", "2"},
        {"--plateau", "5:0:1"},
        {"--plateau", "1:0:0"},
        {"--plateau", "1:0"},
        {"--test-set-late", "power:2"},
        {"--test-set-stray", "watts:1"},
        {"--test-set-outlier", "power:0:1"},
        {"--test-set-noise", "-1"},
        {"--fault-gap", "320"},
        {"--temperature", "warm"},
        {"--fault-cut-after", "-1"},
        {"--ptt", "yes"},
        {"--ptt-release-after", "-1"},
        {"--test-set", "65536"},
    };
    for (const auto& args : cases) {
        SimCommandLine cl;
        std::string err;
        EXPECT_FALSE(parseSimArguments(args, cl, err)) << args[0];
        EXPECT_FALSE(err.empty());
    }
}

}  // namespace
}  // namespace kv7::sim
