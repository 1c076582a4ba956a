// kv7-radio-sim with its transmitter keyed and its test set on a real TCP socket: the readings
// follow the adjustment values sent over the radio's pseudo-terminal, and each of the test
// set's faults ends the connection with its own message.
#include <gtest/gtest.h>

#ifndef KV7_RADIO_SIM
// The pseudo-terminal radio is built where the system has pseudo-terminals.
TEST(TestSetBenchPty, NeedsThePseudoTerminalRadio) {
    GTEST_SKIP() << "kv7-radio-sim, which serves the radio and its test set, needs a "
                    "pseudo-terminal, which this system does not have";
}
#else
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "protocol/tick.h"
#include "sim/sim_physics.h"
#include "sim/sim_test_set.h"
#include "sim/sim_transmitter.h"
#include "sim/support/posix_sim_process.h"
#include "sim/support/posix_test_set_link.h"
#include "sim/support/sim_bench.h"
#include "testset/test_set.h"

namespace kv7::simtest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kChannel0Hz = 146.25e6;

// The simulator with a test set on a free port, and the program's side of it.
struct BenchProcess {
    explicit BenchProcess(std::vector<std::string> args) : sim(KV7_RADIO_SIM, withTestSet(args)) {
        terminal = sim.firstLine();
        const std::string line = sim.firstLine();
        address = line.substr(line.find(' ') + 1);
    }
    ~BenchProcess() {
        if (fd >= 0) close(fd);
    }
    static std::vector<std::string> withTestSet(std::vector<std::string> args) {
        args.insert(args.begin(), {"--test-set", "0"});
        return args;
    }

    // Adjustment commands to the radio, as the program sends them; the line carries them in
    // some 17 ms each.
    void adjust(std::initializer_list<std::pair<uint8_t, uint8_t> > commands) {
        if (fd < 0) fd = openRaw(terminal);
        ASSERT_GE(fd, 0) << terminal;
        for (const auto& [number, value] : commands) {
            const ByteString f = adjustRequest(number, value);
            ASSERT_EQ(write(fd, f.data(), f.size()), static_cast<ssize_t>(f.size()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(60 + 20 * commands.size()));
        uint8_t echo[4096];
        while (read(fd, echo, sizeof echo) > 0) {
        }
    }

    bool runUntil(const std::function<bool()>& done, int ms = 5000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && Clock::now() < end) {
            links.pump(5);
            testSet.task();
        }
        return done();
    }

    Reading measure(Quantity q) {
        Reading got;
        bool in = false;
        EXPECT_TRUE(testSet.measure(q, kChannel0Hz, [&](const Reading& r) { got = r, in = true; }));
        EXPECT_TRUE(runUntil([&] { return in; }));
        EXPECT_TRUE(got.valid) << got.reason;
        return got;
    }

    Reading frequencyError() {
        FrequencyReading got;
        bool in = false;
        EXPECT_TRUE(testSet.measureFrequency(
            kChannel0Hz, [&](const FrequencyReading& r) { got = r, in = true; }));
        EXPECT_TRUE(runUntil([&] { return in; }));
        EXPECT_TRUE(got.error.valid) << got.error.reason;
        EXPECT_NEAR(got.carrier.value - got.error.value, kChannel0Hz, 1e-3);
        return got.error;
    }

    SimProcess sim;
    std::string terminal, address;
    int fd = -1;
    SteadyTickSource ticks;
    PosixTestSetLinks links;
    TestSet testSet{links, ticks};
};

TEST(TestSetBenchPty, ReadingsOverTcpFollowTheRadiosAdjustmentValues) {
    BenchProcess bench({"--ptt", "on"});
    ASSERT_EQ(bench.address.rfind("127.0.0.1:", 0), 0u) << bench.address;
    bench.adjust({{0, 1}});  // memory channel 0: 146.250 MHz, high power
    ASSERT_TRUE(bench.testSet.connect(bench.address)) << bench.testSet.message();
    ASSERT_TRUE(bench.runUntil([&] { return bench.testSet.state() == TestSet::State::Ready; }))
        << bench.testSet.stateText();
    EXPECT_EQ(bench.testSet.identity(), sim::SimTestSet::kIdentity);
    EXPECT_EQ(bench.testSet.profile()->name, "Generic SCPI");

    // Each row: the command that sets the value, three settings, what the transmitter gives.
    const int band = sim::temperatureBand(sim::thermistorRaw(25.0));
    const double drift = sim::crystalDriftPpm(sim::thermistorReading(25.0), false) - 1.5;
    struct Row {
        const char* name;
        std::function<void(uint8_t)> set;
        std::function<Reading()> read;
        std::function<double(uint8_t)> expected;
        double tolerance;  // relative, or in Hz for the frequency error
        bool relative;
    };
    const Row rows[] = {
        {" Power(Hi)",
         [&](uint8_t v) {
             bench.adjust({{5, v}});
         },
         [&] { return bench.measure(Quantity::Power); }, sim::SimTransmitter::powerHiW, 0.03, true},
        {"       MOD",
         [&](uint8_t v) {
             bench.adjust({{8, v}});
         },
         [&] { return bench.measure(Quantity::Deviation); }, sim::SimTransmitter::deviationHz, 0.05,
         true},
        {"       TXF",
         [&](uint8_t v) {
             bench.adjust(
                 {{static_cast<uint8_t>(16 + band), v}, {static_cast<uint8_t>(36 + band), 0}});
         },
         [&] { return bench.frequencyError(); },
         [&](uint8_t v) { return kChannel0Hz * (drift + (v - 128) / 4.0) * 1e-6; }, 12, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double last = -1e9;
        for (uint8_t v : {100, 140, 180}) {
            row.set(v);
            const Reading r = row.read();
            const double want = row.expected(v);
            EXPECT_NEAR(r.value, want, row.relative ? want * row.tolerance : row.tolerance) << +v;
            EXPECT_GT(r.value, last) << +v;
            last = r.value;
        }
    }
    EXPECT_EQ(bench.testSet.state(), TestSet::State::Ready) << bench.testSet.message();
}

TEST(TestSetBenchPty, EachTestSetFaultEndsInItsMessage) {
    struct Row {
        const char* option;
        const char* message;
    } rows[] = {
        {"--test-set-silent", "The test set did not answer '*IDN?' within 2 s."},
        {"--test-set-garbage", "The test set's answer to SYST:ERR? is not an error report: '"},
        {"--test-set-error",
         "The test set reports '-113,\"Undefined header\"' after '*CLS' (profile Generic SCPI)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.option);
        BenchProcess bench({row.option});
        ASSERT_TRUE(bench.testSet.connect(bench.address));
        EXPECT_TRUE(
            bench.runUntil([&] { return bench.testSet.state() == TestSet::State::Failed; }, 4000));
        EXPECT_EQ(bench.testSet.message().rfind(row.message, 0), 0u) << bench.testSet.message();
        EXPECT_EQ(bench.testSet.stateText(), bench.testSet.message());
    }
    // Nobody listening: the link's own reason.
    BenchProcess gone({});
    const std::string address = gone.address;
    gone.sim.terminate();
    gone.testSet.connect(address);  // refused at once or a moment later
    EXPECT_TRUE(gone.runUntil([&] { return gone.testSet.state() == TestSet::State::Failed; }));
    EXPECT_EQ(gone.testSet.message(), "The test set cannot be reached: Connection refused.");
}

}  // namespace
}  // namespace kv7::simtest

#endif
