// A long day at the bench in virtual time: the monitoring cycle runs for hours while a seeded
// random technician steps values, starts and confirms procedures, reloads, looks at the
// parameters, re-connects, toggles TCXO and now and then suffers a fault. Nothing may be lost
// and no message may appear that no fault explains.
//
// KV7_SOAK_HOURS sets the simulated hours (default 24; 8 in sanitizer builds, which run about
// ten times slower), KV7_SOAK_SEED the seed.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "model/support/sim_rig.h"
#include "model/txf_table.h"

#if defined(__SANITIZE_ADDRESS__)
#define KV7_SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV7_SOAK_SANITIZED 1
#endif
#endif

namespace kv7::test {
namespace {

#ifdef KV7_SOAK_SANITIZED
constexpr double kDefaultHours = 8;
#else
constexpr double kDefaultHours = 24;
#endif

double envNumber(const char* name, double fallback) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return fallback;
    char* end = nullptr;
    const double d = std::strtod(v, &end);
    return end != v && d > 0 ? d : fallback;
}

// Memory channels in use in the sample radio, in the order of the "    CH No." item.
constexpr int16_t kChannelsInUse[] = {0, 1, 2, 4, 5, 6, 7, 9, 10, 11};

// EEPROM bytes the console and the procedures adjust.
std::vector<int32_t> adjustedAddresses() {
    std::vector<int32_t> a = {49, 48, 63, 62, 135, 68, 69, 70, 71};
    for (int16_t j = 0; j < 40; ++j) a.push_back(TxfEntryEeAdr(j));
    return a;
}

class Soak {
  public:
    explicit Soak(uint32_t seed) : rig_(options()), rng_(seed) {}

    // An hour before the tick count wraps, so every countdown meets the wrap.
    static RigOptions options() {
        RigOptions o;
        o.startTick = INT32_MAX - 3600 * 1000;
        return o;
    }

    void run(double hours) {
        const auto end = static_cast<int64_t>(hours * 3600 * 1000);
        ASSERT_TRUE(connect());
        while (rig_.elapsedMs() < end && !::testing::Test::HasFatalFailure()) {
            step();
            checkInvariants();
            ++actions_;
        }
    }

    // Ends whatever runs, lets the cycle send the last changes and compares radio and program.
    void finish() {
        if (!connected_) {
            ASSERT_TRUE(connect());
        }
        if (rig_.opStep() == OperationStep::DispPara) {
            ASSERT_TRUE(rig_.click(2));
            ASSERT_TRUE(rig_.runUntil([&] { return rig_.inCycle(); }, 5000));
        }
        ASSERT_TRUE(rig_.click(1));  // ends a procedure
        ASSERT_TRUE(rig_.runUntil([&] { return allSent() && rig_.inCycle(); }, 10000));
        rig_.runFor(2000);
        EXPECT_EQ(rig_.messages().size(), expectedMessages_);
        EXPECT_EQ(rig_.program().boundary().failures(), 0);
        for (int32_t adr : adjustedAddresses()) {
            EXPECT_EQ(rig_.radio().image()[static_cast<size_t>(adr)], rig_.programByte(adr))
                << "address " << adr;
        }
        clsConsole& c = rig_.program().console();
        for (int16_t i = 0; i < c.ListCount(); ++i) {
            if (c.EeAdr(i) < 0) continue;
            EXPECT_EQ(c.Value(i) & 0xFF, rig_.programByte(c.EeAdr(i))) << c.Title(i);
        }
        EXPECT_EQ(rig_.radio().selectedChannel(), kChannelsInUse[rig_.value(kLineChNo)]);
    }

    int64_t actions() const { return actions_; }
    int64_t faults() const { return static_cast<int64_t>(expectedMessages_); }
    int64_t sweeps() const { return sweeps_; }
    int64_t txfEnters() const { return txfEnters_; }
    int64_t connects() const { return connects_; }
    int32_t beeps() const { return rig_.beeps(); }

  private:
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    bool allSent() {
        clsConsole& c = rig_.program().console();
        for (int16_t i = 0; i < c.ListCount(); ++i) {
            if (c.flgChanged(i)) return false;
        }
        return !rig_.program().sequencer().OpRunning();
    }

    bool connect() {
        ++connects_;
        connected_ = rig_.connect(60000);
        keptOpen_ = release_ == 0;
        return connected_;
    }

    void step() {
        if (!connected_) {
            ASSERT_TRUE(connect());
            return;
        }
        const int pick = uniform(0, 99);
        if (pick < 45) {
            stepValue();
        } else if (pick < 55) {
            rig_.runFor(uniform(1, 120) * 1000);  // the technician looks at the radio
        } else if (pick < 63) {
            enterTxf();
        } else if (pick < 66) {
            startSweep();
        } else if (pick < 74) {
            reload();
        } else if (pick < 80) {
            showParameters();
        } else if (pick < 84) {
            selectChannel();
        } else if (pick < 87) {
            ASSERT_TRUE(connect());
        } else if (pick < 88) {
            toggleTcxo();
        } else if (pick < 89) {
            setRelease(uniform(0, 1) ? 0 : uniform(1, 5));
        } else if (pick < 91) {
            injectFault();
        } else {
            rig_.runFor(uniform(1, 40) * 50);
        }
    }

    void stepValue() {
        static constexpr int16_t kLines[] = {
            kLinePowerHi, kLinePowerLo,   kLineDtcsBal,   kLineMod,       kLineSql,
            kLineBpfT1,   kLineBpfT1 + 1, kLineBpfT1 + 2, kLineBpfT1 + 3, kLineTxf};
        const int16_t line = kLines[uniform(0, 9)];
        const int presses = uniform(1, 6);
        for (int i = 0; i < presses; ++i) {
            ASSERT_TRUE(rig_.keyOn(line, uniform(0, 1) ? kKeyRight : kKeyLeft, uniform(0, 3) == 0));
            rig_.runFor(uniform(0, 6) * 50);
        }
        // The running cycle takes the change to the radio (a sweep may take its time).
        ASSERT_TRUE(
            rig_.runUntil([&] { return !rig_.program().console().flgChanged(line); }, 120000))
            << "the cycle did not come round to send " << line;
    }

    void selectChannel() {
        ASSERT_TRUE(rig_.keyOn(kLineChNo, uniform(0, 1) ? kKeyRight : kKeyLeft));
        ASSERT_TRUE(rig_.runUntil(
            [&] { return rig_.radio().selectedChannel() == kChannelsInUse[rig_.value(kLineChNo)]; },
            120000));
    }

    void enterTxf() {
        ++txfEnters_;
        ASSERT_TRUE(rig_.keyOn(kLineTxf, kKeyEnter));
        rig_.runFor(uniform(1, 100) * 50);
    }

    void startSweep() {
        ++sweeps_;
        ASSERT_TRUE(rig_.keyOn(static_cast<int16_t>(kLineBpfAll + uniform(0, 4)), kKeyEnter));
        rig_.runFor(uniform(1, 600) * 100);
    }

    void reload() {
        const size_t mark = rig_.radio().adjustLog().size();
        if (uniform(0, 1)) {
            ASSERT_TRUE(rig_.click(1));
        } else {
            ASSERT_TRUE(rig_.key(kKeyF5));
        }
        // All fourteen readings come in.
        ASSERT_TRUE(rig_.runUntil(
            [&] {
                size_t n = 0;
                const auto& log = rig_.radio().adjustLog();
                for (size_t i = mark; i < log.size(); ++i)
                    n += log[i].number == 3 && log[i].value == 13;
                return n > 0 && !rig_.program().sequencer().OpRunning();
            },
            20000));
    }

    void showParameters() {
        ASSERT_TRUE(rig_.click(2));
        ASSERT_TRUE(rig_.runUntil([&] { return rig_.opStep() == OperationStep::DispPara; }, 5000));
        EXPECT_NE(rig_.dispPara().find("REF Slant 19"), std::string::npos);
        rig_.runFor(uniform(1, 100) * 100);
        ASSERT_TRUE(rig_.click(2));
        ASSERT_TRUE(rig_.runUntil([&] { return rig_.inCycle(); }, 5000));
    }

    // Option > automatic port release after that many seconds without an operation.
    void setRelease(int16_t seconds) {
        rig_.program().event(
            "the menu", [&] { rig_.program().window().mnuOptionSelAutoRelease_Click(seconds); });
        release_ = seconds;
        if (seconds != 0) keptOpen_ = false;
    }

    void toggleTcxo() {
        ASSERT_TRUE(rig_.setTcxo(rig_.window().check1.value == 0));
        EXPECT_EQ(rig_.opStep(), OperationStep::Idle);
        connected_ = false;
    }

    void injectFault() {
        sim::SimFaults& f = rig_.radio().options().faults;
        std::string expected;
        const int kind = uniform(0, 2);
        switch (kind) {
            case 0:
                // Every answer from now on: one that belonged to a reading the button just
                // abandoned is not looked at.
                rig_.tap().rewriteAdjustAnswers(
                    [](ByteString frame) {
                        frame[10] = 'Z';
                        return frame;
                    },
                    1000);
                expected = shortChecklistText("Communication failed.");
                break;
            case 1:
                f.noAnswer = true;
                expected = fullChecklistText("No answer from QT-KV7.");
                break;
            default:
                f.noEcho = true;
                expected = fullChecklistText("Cannot access COM port");
                break;
        }
        if (rig_.opStep() == OperationStep::DispPara) {
            ASSERT_TRUE(rig_.click(2));
        }
        ASSERT_TRUE(rig_.key(kKeyF5));
        ASSERT_TRUE(
            rig_.runUntil([&] { return rig_.messages().size() > expectedMessages_; }, 30000))
            << "fault " << kind << " gave no message; state " << static_cast<int>(rig_.opStep())
            << ", procedure " << rig_.procStep() << ", operation "
            << rig_.program().sequencer().OpRunning() << ", port " << rig_.simPort().portOpen()
            << ", rewrites left " << rig_.tap().pendingRewrites();
        ++expectedMessages_;
        EXPECT_EQ(rig_.messages().back(), expected);
        EXPECT_EQ(rig_.opStep(), OperationStep::Idle);
        EXPECT_FALSE(rig_.simPort().portOpen());
        f = sim::SimFaults{};
        rig_.tap().rewriteAdjustAnswers({}, 0);
        ASSERT_TRUE(rig_.runUntil([&] { return rig_.radio().pendingCount() == 0; }, 30000));
        connected_ = false;
    }

    void checkInvariants() {
        ASSERT_EQ(rig_.messages().size(), expectedMessages_)
            << "unexpected message: " << rig_.messages().back();
        ASSERT_EQ(rig_.program().boundary().failures(), 0);
        ASSERT_TRUE(rig_.lineClean()) << "after action " << actions_;
        if (!connected_) return;
        const OperationStep s = rig_.opStep();
        ASSERT_TRUE(s >= OperationStep::CycleStart)
            << "left the cycle: state " << static_cast<int>(s);
        ASSERT_FALSE(rig_.txfStep() != TxfStep::Off && rig_.sweepStep() != SweepStep::Off);
        // Without an automatic release since the connect the port stays open.
        if (keptOpen_) {
            ASSERT_EQ(rig_.portLabel(), "COM 1: OPEN");
        }
        // Whatever the program has stored as sent, the radio has once the line has carried it:
        // an adjustment goes to the radio before it goes into the image.
        ASSERT_TRUE(rig_.runUntilLineIdle(2000));
        for (int32_t adr : adjustedAddresses()) {
            ASSERT_EQ(rig_.radio().image()[static_cast<size_t>(adr)], rig_.programByte(adr))
                << "address " << adr << " after action " << actions_;
        }
    }

    SimRig rig_;
    std::mt19937 rng_;
    bool connected_ = false;
    int16_t release_ = 0;
    bool keptOpen_ = true;
    size_t expectedMessages_ = 0;
    int64_t actions_ = 0;
    int64_t sweeps_ = 0;
    int64_t txfEnters_ = 0;
    int64_t connects_ = 0;
};

TEST(Soak, HoursOfMonitoringWithARandomTechnician) {
    const double hours = envNumber("KV7_SOAK_HOURS", kDefaultHours);
    const auto seed = static_cast<uint32_t>(envNumber("KV7_SOAK_SEED", 20261207));
    Soak soak(seed);
    soak.run(hours);
    soak.finish();
    RecordProperty("actions", std::to_string(soak.actions()));
    std::printf(
        "soak: %.0f h, seed %u: %lld actions, %lld connects, %lld faults, %lld sweeps, "
        "%lld TXF Enters, %d beeps\n",
        hours, seed, static_cast<long long>(soak.actions()),
        static_cast<long long>(soak.connects()), static_cast<long long>(soak.faults()),
        static_cast<long long>(soak.sweeps()), static_cast<long long>(soak.txfEnters()),
        soak.beeps());
    EXPECT_GT(static_cast<double>(soak.actions()), 100 * hours);
}

}  // namespace
}  // namespace kv7::test
