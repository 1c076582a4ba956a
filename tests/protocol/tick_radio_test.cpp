#include <gtest/gtest.h>

#include <climits>

#include "protocol/radio.h"
#include "protocol/tick.h"

namespace kv7 {
namespace {

constexpr int32_t k30 = 1 << 30;

TEST(Tick, CountsDownOnTheManualClock) {
    const struct {
        const char* what;
        int32_t start, duration, elapsed, remaining;
    } cases[] = {
        {"at once", 5000, 1000, 0, 1000},
        {"just before the end", 5000, 1000, 999, 1},
        {"at the end", 5000, 1000, 1000, 0},
        {"zero duration", 5000, 0, 0, 0},
        {"negative duration", 5000, -5, 0, 0},
        {"across zero", -50, 1000, 100, 900},
        {"100 ms before the sign change", INT32_MAX - 99, 1200, 100, 1100},
        {"1 ms before the sign change", INT32_MAX, 1200, 1, 1199},
        {"run out across the sign change", INT32_MAX - 99, 1200, 1300, 0},
        // After the change of sign only a quarter of the range can be told apart.
        {"a quarter of the range after the change", INT32_MAX, INT32_MAX, k30 + 1, k30 - 2},
        {"past a quarter after the change", INT32_MAX, INT32_MAX, k30 + 2, 0},
        {"just under half the range", 0, INT32_MAX, INT32_MAX - 1, 1},
    };
    for (const auto& c : cases) {
        ManualTickSource clock(c.start);
        clsCmcTick tick(clock);
        tick.setCounter(c.duration);
        clock.advance(c.elapsed);
        EXPECT_EQ(tick.counter(), c.remaining) << c.what;
    }
}

TEST(Tick, StaysOutUntilRestarted) {
    ManualTickSource clock(100);
    clsCmcTick tick(clock);
    EXPECT_EQ(tick.counter(), 0);  // never started
    tick.setCounter(1000);
    clock.advance(1000);
    EXPECT_EQ(tick.counter(), 0);
    clock.set(500);  // even when the clock reads an earlier time again
    EXPECT_EQ(tick.counter(), 0);
    tick.setCounter(300);
    clock.advance(100);
    EXPECT_EQ(tick.counter(), 200);
    // A clock that steps backwards ends the countdown instead of stretching it.
    clock.set(0);
    EXPECT_EQ(tick.counter(), 0);
    // Nearly the whole range later: a 32-bit difference would read as -1 ms elapsed.
    clock.set(INT32_MIN);
    tick.setCounter(1000);
    clock.set(INT32_MAX);
    EXPECT_EQ(tick.counter(), 0);
}

TEST(Tick, SteadySourceRunsForward) {
    SteadyTickSource clock;
    clsCmcTick tick(clock);
    tick.setCounter(60000);
    const int32_t left = tick.counter();
    EXPECT_GT(left, 50000);
    EXPECT_LE(left, 60000);
}

TEST(Radio, CloneWriteListEntries) {
    const struct {
        int32_t adr0, adr1;
        const char* entry;
    } cases[] = {{0, 5119, "0000-13FF,"},
                 {8192, 8447, "2000-20FF,"},
                 {74565, 10, "2345-000A,"},
                 {-1, -2, "FFFF-FFFE,"},
                 {INT32_MIN, INT32_MAX, "0000-FFFF,"}};
    clsCmcRadio radio;
    std::string all;
    for (const auto& c : cases) {
        radio.cloneWriteAdrList_Add(c.adr0, c.adr1);
        all += c.entry;
        EXPECT_EQ(radio.cloneWriteAdrList(), all);
    }
    radio.cloneWriteAdrList_Clear();
    EXPECT_EQ(radio.cloneWriteAdrList(), "");
    EXPECT_EQ(radio.radioNameM(), "0000");
    EXPECT_EQ(radio.radionameS(), "0000");
    EXPECT_FALSE(radio.radioCH_Type());
}

}  // namespace
}  // namespace kv7
