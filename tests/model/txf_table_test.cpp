#include "model/txf_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "store/common.h"

namespace kv7 {
namespace {

const TempBorderTable kBorder = DefaultTempBorders();

TEST(TempBandTest, Borders) {
    const std::vector<std::pair<int16_t, int16_t>> cases = {
        {0, 0},    {15, 0},   {16, 1},   {23, 1},   {24, 2},   {63, 5},   {64, 6}, {127, 9},
        {128, 10}, {208, 15}, {239, 18}, {240, 19}, {254, 19}, {255, 19}, {-1, 0},
    };
    for (auto [t, band] : cases) EXPECT_EQ(TempBand(t, kBorder), band) << t;
    EXPECT_EQ(kBorder[20], 255);
    EXPECT_EQ(kBorder[21], 0);
}

TEST(VbCIntTest, HalvesToEven) {
    const std::vector<std::pair<double, int16_t>> cases = {
        {0.5, 0},   {1.5, 2},    {2.5, 2},    {-0.5, 0},        {-1.5, -2},
        {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {32767.4, 32767}, {-32768.4, -32768},
    };
    for (auto [x, r] : cases) EXPECT_EQ(VbCInt(x), r) << x;
    EXPECT_THROW(VbCInt(32767.5), OverflowError);
    EXPECT_THROW(VbCInt(-32768.5), OverflowError);
}

TEST(TxfEntryTest, CommandsAndAddresses) {
    EXPECT_EQ(TxfEntryCommand(0), 0x10);
    EXPECT_EQ(TxfEntryCommand(39), 0x37);
    EXPECT_EQ(TxfEntryEeAdr(0), 92);
    EXPECT_EQ(TxfEntryEeAdr(19), 111);
    EXPECT_EQ(TxfEntryEeAdr(20), 72);
    EXPECT_EQ(TxfEntryEeAdr(39), 91);
    EXPECT_THROW(TxfEntryCommand(40), SubscriptError);
    EXPECT_THROW(TxfEntryEeAdr(-1), SubscriptError);
}

TEST(TxfWindowPlanTest, BandsAtTheEndsAndInside) {
    struct Case {
        int16_t band;
        std::vector<int16_t> commands;
        std::vector<int32_t> addresses;
    };
    const std::vector<Case> cases = {
        {7, {0x16, 0x17, 0x18, 0x2A, 0x2B, 0x2C}, {98, 99, 100, 78, 79, 80}},
        {0, {0x10, 0x11, 0x24, 0x25}, {92, 93, 72, 73}},
        {19, {0x22, 0x23, 0x36, 0x37}, {110, 111, 90, 91}},
    };
    for (const Case& c : cases) {
        const std::vector<TxfWrite> plan = TxfWindowPlan(c.band, 130);
        ASSERT_EQ(plan.size(), c.commands.size()) << c.band;
        for (size_t i = 0; i < plan.size(); ++i) {
            EXPECT_EQ(TxfEntryCommand(plan[i].entry), c.commands[i]) << c.band << " " << i;
            EXPECT_EQ(TxfEntryEeAdr(plan[i].entry), c.addresses[i]) << c.band << " " << i;
            EXPECT_EQ(plan[i].value, i < plan.size() / 2 ? 130 : 0) << c.band << " " << i;
        }
    }
    EXPECT_EQ(TxfWindowPlan(5, 300)[0].value, 255);
    EXPECT_EQ(TxfWindowPlan(5, -3)[0].value, 0);
}

TEST(TxfFlatPlanTest, ValuesAndZeroSlopes) {
    const std::vector<TxfWrite> plan = TxfFlatPlan(123);
    ASSERT_EQ(plan.size(), 40u);
    for (int16_t e = 0; e < 40; ++e) {
        EXPECT_EQ(plan[e].entry, e);
        EXPECT_EQ(plan[e].value, e < 20 ? 123 : 0);
    }
}

ConstTable ramp(float step) {
    ConstTable c{};
    for (size_t i = 0; i <= 20; ++i) c[i] = step * static_cast<float>(i);
    return c;
}

TEST(TxfFullPlanTest, EqualSettingsGiveAFlatTable) {
    for (int16_t ref : {int16_t{0}, int16_t{100}, int16_t{255}}) {
        for (int16_t temps : {int16_t{0}, int16_t{100}, int16_t{250}}) {
            const TxfTable t = ComputeTxfTable(ref, ref, ramp(0.37f), kBorder, temps);
            EXPECT_EQ(t.k, 0.0f);
            EXPECT_EQ(t.txfOffset, 0);
            const std::vector<TxfWrite> plan = TxfFullPlan(t);
            ASSERT_EQ(plan.size(), 40u);
            for (int16_t e = 0; e < 40; ++e) EXPECT_EQ(plan[e].value, e < 20 ? ref : 0) << e;
        }
    }
}

TEST(TxfFullPlanTest, SlopeAndOffsetFollowTheSettings) {
    // k = (200 - 100) / 10 = 10; constant i = i / 4, so value i = 100 - 2.5 i.
    // TEMPS 100 lies in band 8 (96..112, 16 wide): slope -2.5 / 16 * 32 = -5,
    // interp = Int(80 + 0.5) + (100 - 96) * -5 / 32 = 79.375, offset = 100 - 79 = 21.
    const TxfTable t = ComputeTxfTable(100, 200, ramp(0.25f), kBorder, 100);
    EXPECT_EQ(t.k, 10.0f);
    EXPECT_EQ(t.band, 8);
    EXPECT_FLOAT_EQ(t.txfInterp, 79.375f);
    EXPECT_EQ(t.txfOffset, 21);
    for (int16_t b = 0; b < 20; ++b) {
        // Int(100 - 2.5 b + 0.5) + 21
        const int16_t value = static_cast<int16_t>(100 - (5 * b) / 2 + 21);
        // 16-wide bands -5, 8-wide bands -10, the last (15 wide) -5.33 -> -5
        const bool narrow = (b >= 1 && b <= 4) || (b >= 15 && b <= 18);
        const int16_t slope = narrow ? -10 : -5;
        EXPECT_EQ(TxfFullBandValue(t, b), value) << b;
        EXPECT_EQ(TxfFullBandSlope(t, b), slope) << b;
        EXPECT_EQ(TxfFullPlanEntry(t, b).value, value) << b;
        EXPECT_EQ(TxfFullPlanEntry(t, static_cast<int16_t>(20 + b)).value,
                  static_cast<uint8_t>(slope))
            << b;
    }
    // The table reproduces the first setting at the adjustment temperature.
    EXPECT_EQ(std::floor(TxfFullBandValue(t, 8) + (100 - 96) * TxfFullBandSlope(t, 8) / 32.0), 100);
}

TEST(TxfFullPlanTest, ValuesAndSlopesAreLimited) {
    // k = -25; value i = 250 + 6.25 i; slope of a 16-wide band 12.5 -> 12 (half to even).
    const TxfTable t = ComputeTxfTable(250, 0, ramp(0.25f), kBorder, 0);
    EXPECT_EQ(t.txfOffset, 0);
    EXPECT_EQ(TxfFullBandValue(t, 0), 250);
    EXPECT_EQ(TxfFullBandValue(t, 1), 255);
    EXPECT_EQ(TxfFullBandValue(t, 19), 255);
    EXPECT_EQ(TxfFullBandSlope(t, 0), 12);
    EXPECT_EQ(TxfFullBandSlope(t, 1), 25);

    // value i = 0 - 50 i at k = 25 with constants 2 i: slopes -100 and -200 -> -128.
    const TxfTable d = ComputeTxfTable(0, 250, ramp(2.0f), kBorder, 0);
    EXPECT_EQ(TxfFullBandValue(d, 0), 0);
    EXPECT_EQ(TxfFullBandValue(d, 5), 0);
    EXPECT_EQ(TxfFullBandSlope(d, 0), -100);
    EXPECT_EQ(TxfFullBandSlope(d, 1), -128);
    EXPECT_EQ(TxfFullPlanEntry(d, 21).value, 0x80);

    // Absurd constants end the computation with an overflow, not a wrapped table.
    ConstTable absurd{};
    absurd[1] = 1e30f;
    EXPECT_THROW(ComputeTxfTable(0, 250, absurd, kBorder, 0), OverflowError);
}

TEST(TxfSettingsTest, SecondStartAndConstantSet) {
    EXPECT_EQ(TxfSecondStartValue(100, 100), 160);
    EXPECT_EQ(TxfSecondStartValue(210, 100), 255);
    EXPECT_EQ(TxfSecondStartValue(204, 204), 255);  // never past the item's range
    EXPECT_TRUE(UsesRev10Constants("0199"));
    EXPECT_TRUE(UsesRev10Constants(""));
    EXPECT_FALSE(UsesRev10Constants("0200"));
    EXPECT_FALSE(UsesRev10Constants("0201"));
}

}  // namespace
}  // namespace kv7
