#include "model/eeprom_map.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <stdexcept>
#include <vector>

#include "store/common.h"

namespace kv7 {
namespace {

class EepromMapTest : public ::testing::Test {
  protected:
    void put(int32_t adr, std::vector<uint8_t> bytes) {
        for (uint8_t b : bytes) eep.WriteByte(adr++, b);
    }
    clsCmcEeprom eep;
    clsIndEep_RigKV7 map{eep};
};

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    for (size_t e; (e = text.find("\r\n", pos)) != std::string::npos; pos = e + 2)
        lines.push_back(text.substr(pos, e - pos));
    EXPECT_EQ(pos, text.size()) << "text must end with a line break";
    return lines;
}

TEST_F(EepromMapTest, ChannelRecordsAreDecoded) {
    put(576, {0x14, 0x62, 0x50, 0x14, 0x60, 0x00, 0, 0, 0, 0x02});
    put(596, {0xFF, 0x14, 0x60, 0x94, 0x60, 0x00, 0, 0, 0, 0xFD});
    put(616, {0x94, 0x50, 0x00, 0x04, 0x50, 0x00});
    EXPECT_EQ(map.RigKV7Eep_GetChFreqRxReal(0), 146250000);
    EXPECT_EQ(map.RigKV7Eep_GetChFreqTxReal(0), 146000000);
    EXPECT_TRUE(map.RigKV7Eep_GetChAppear(0));
    EXPECT_TRUE(map.RigKV7Eep_GetChRFPower(0));
    EXPECT_FALSE(map.Check_Inh(576));

    EXPECT_FALSE(map.RigKV7Eep_GetChAppear(1));
    EXPECT_TRUE(map.Check_Inh(596));
    EXPECT_TRUE(map.Check_Inh(599));
    EXPECT_FALSE(map.RigKV7Eep_GetChRFPower(1));

    EXPECT_TRUE(map.RigKV7Eep_GetChAppear(2));
    EXPECT_TRUE(map.Check_Inh(616));
    EXPECT_EQ(map.RigKV7Eep_GetChFreqRxReal(2), 945000000);  // flag bit read as a digit
    EXPECT_EQ(map.RigKV7Eep_GetChFreqTxReal(2), 45000000);

    EXPECT_FALSE(map.RigKV7Eep_GetChAppear(-1));
    EXPECT_FALSE(map.RigKV7Eep_GetChGroupAppear(0));
}

TEST_F(EepromMapTest, NonDecimalFrequencyByteIsATypeMismatch) {
    for (uint8_t bad : {0xFF, 0x0A, 0xA0, 0x1F}) {
        put(576, {0x14, bad, 0x50});
        EXPECT_THROW(map.ReadFreqBlock(576), std::invalid_argument) << int(bad);
    }
    put(576, {0xFF, 0x00, 0x00});
    EXPECT_THROW(map.RigKV7Eep_GetChFreqRxReal(0), std::invalid_argument);
}

TEST_F(EepromMapTest, AddressArithmeticIsSixteenBit) {
    // 576 + 20 * 1609 = 32756 is the last record whose addresses fit; beyond the image it
    // reads as zeros: an existing channel on 0 Hz.
    EXPECT_TRUE(map.RigKV7Eep_GetChAppear(1609));
    EXPECT_EQ(map.RigKV7Eep_GetChFreqTxReal(1609), 0);
    EXPECT_FALSE(map.RigKV7Eep_GetChRFPower(1609));
    for (int16_t n : {int16_t{1610}, int16_t{32767}}) {
        EXPECT_THROW(map.RigKV7Eep_GetChAppear(n), OverflowError) << n;
        EXPECT_THROW(map.RigKV7Eep_GetChFreqRxReal(n), OverflowError) << n;
        EXPECT_THROW(map.RigKV7Eep_GetChFreqTxReal(n), OverflowError) << n;
        EXPECT_THROW(map.RigKV7Eep_GetChRFPower(n), OverflowError) << n;
    }
    EXPECT_THROW(map.RigKV7Eep_GetChFreqRxReal(-1639), OverflowError);
    EXPECT_THROW(map.ReadFreqBlock(32766), OverflowError);  // 32766 + 2 does not fit
}

TEST_F(EepromMapTest, ChannelNames) {
    EXPECT_EQ(map.RigKV7Eep_GetChName(0), "1");
    EXPECT_EQ(map.RigKV7Eep_GetChName(9), "10");
    EXPECT_EQ(map.RigKV7Eep_GetChName(41), "42");
    EXPECT_THROW(map.RigKV7Eep_GetChName(42), SubscriptError);
    EXPECT_THROW(map.RigKV7Eep_GetChName(-1), SubscriptError);
}

TEST_F(EepromMapTest, ParameterListing) {
    put(49, {5});
    put(68, {0xF0, 0x7F, 0x80, 0x00});
    put(67, {0x45});
    put(92, {255});
    put(91, {0x81});
    const auto border = [](int16_t i) { return static_cast<int16_t>(i * 10); };
    std::string shown = "old";
    map.RigKV7Eep_DispPara([&](const std::string& s) { shown = s; }, border);
    const std::vector<std::string> lines = splitCrLf(shown);
    ASSERT_EQ(lines.size(), 83u);
    for (const std::string& l : lines) {
        ASSERT_GE(l.size(), 25u) << l;
        EXPECT_EQ(l.substr(23, 2), ": ") << l;
        EXPECT_NE(l[0], ':') << l;
    }
    struct Case {
        size_t line;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, "           POW HI Level:    5"},          {1, "          POW LOW Level:    0"},
        {5, "           BPF T1 Level:  -16"},          {6, "           BPF T2 Level:  127"},
        {7, "           BPF T3 Level: -128"},          {10, "       MOD Level(Div) 1:    0"},
        {18, "     Power Level(Div) 4:    0"},         {20, "              SQL Slant:    0"},
        {21, "         Base Frequency:   450.000MHz"}, {22, "             REF Area 0:    0"},
        {32, "            REF Area 10:  100"},         {42, "            REF Area 20:  200"},
        {43, "          REF Initial 0:  255"},         {62, "         REF Initial 19:    0"},
        {63, "            REF Slant 0:    0"},         {82, "           REF Slant 19: -127"},
    };
    for (const Case& c : cases) EXPECT_EQ(lines[c.line], c.text) << c.line;

    put(67, {0x00});
    EXPECT_EQ(splitCrLf(map.RigKV7Eep_DispParaText(border))[21],
              "         Base Frequency:    00.000MHz");

    // A failing table read leaves the text box as it was.
    const auto failing = [](int16_t i) -> int16_t {
        if (i == 20) throw SubscriptError("border");
        return i;
    };
    shown = "old";
    EXPECT_THROW(map.RigKV7Eep_DispPara([&](const std::string& s) { shown = s; }, failing),
                 SubscriptError);
    EXPECT_EQ(shown, "old");
}

TEST_F(EepromMapTest, DebugDumpRowsAreDistinctAndAligned) {
    put(0, {0xAB});
    put(0x10F0, {0x5C});
    put(5119, {0x7E});
    std::string text = "before";
    map.RigKV7Eep_DispDebug(text);
    ASSERT_EQ(text.substr(0, 8), "before\r\n");
    const std::vector<std::string> lines = splitCrLf(text.substr(8));
    ASSERT_EQ(lines.size(), 3u + 320u);
    EXPECT_EQ(lines[0], "       EEPROM Data");
    const std::string& header = lines[1];
    EXPECT_EQ(header.size(), 69u);
    EXPECT_EQ(header.substr(0, 11), "       00  ");
    EXPECT_EQ(header.substr(65), "  0F");
    EXPECT_EQ(lines[2], "      -----" + std::string(56, '-') + "---");

    std::set<std::string> labels;
    for (size_t r = 0; r < 320; ++r) {
        const std::string& row = lines[3 + r];
        ASSERT_EQ(row.size(), header.size()) << r;
        labels.insert(row.substr(0, row.find('h')));
        // Every byte sits under its column number.
        for (size_t k = 0; k < 16; ++k) {
            const size_t col = 7 + 4 * k;
            EXPECT_EQ(row[col - 1], ' ');
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(row[col])));
        }
    }
    EXPECT_EQ(labels.size(), 320u);
    EXPECT_EQ(lines[3].substr(0, 9), "00h |  AB");
    EXPECT_EQ(lines[3 + 0xFF].substr(0, 7), "FFh |  ");
    std::string row10F = "10Fh | 5C";
    for (int k = 1; k < 16; ++k) row10F += "  00";
    EXPECT_EQ(lines[3 + 0x10F], row10F);
    EXPECT_EQ(lines[3 + 319].substr(0, 7), "13Fh | ");
    EXPECT_EQ(lines[3 + 319].substr(65), "  7E");
}

}  // namespace
}  // namespace kv7
