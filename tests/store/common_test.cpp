#include "store/common.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace kv7 {
namespace {

ByteString bytes(const std::string& s) {
    return ByteString(s.begin(), s.end());
}

TEST(ExpandNewlines, ReplacesOnlyBackslashLowerN) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"line1\\nline2", "line1\r\nline2"},
        {"line1\\Nline2", "line1\\Nline2"},
        {"a\r\nb", "a\r\nb"},
        {"\\n\\n", "\r\n\r\n"},
        {"\\\\n", "\\\r\n"},  // the second backslash starts the pair
        {"end\\", "end\\"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandNewlines(c.in), c.out) << c.in;
}

TEST(ShowMessage, ExpandsAndReturnsOk) {
    struct Sink : MessageSink {
        std::vector<std::string> shown;
        void showMessage(const std::string& text) override { shown.push_back(text); }
    } sink;
    EXPECT_EQ(ShowMessage(sink, "No echo\\nCheck the cable"), 1);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], "No echo\r\nCheck the cable");
}

TEST(AsciiHexToInt, ReadsLeadingDigitsAsSigned16) {
    const struct {
        std::string in;
        int16_t out;
    } cases[] = {
        {"3C", 60},
        {"ff", 255},
        {"FFFF", -1},
        {"7FFF", 32767},
        {"8000", -32768},
        {"", 0},
        {"1Z", 1},
        {"Z1", 0},
        {"00007FFF", 32767},
        {"FFFF8000", -32768},
        {"FFFFFFFF", -1},
        {"0000000F", 15},
        {"12 34", 0x12},
        {std::string("1\0"
                     "2",
                     3),
         1},
    };
    for (const auto& c : cases) EXPECT_EQ(AsciiHexToInt(bytes(c.in)), c.out) << c.in;
}

TEST(AsciiHexToInt, ValuesBeyond16BitsOverflow) {
    for (const char* in :
         {"10000", "0000FFFF", "7FFFFFFF", "80000000", "FFFF7FFF", "000000000", "123456789ABC"}) {
        EXPECT_THROW(AsciiHexToInt(bytes(in)), OverflowError) << in;
    }
}

TEST(HexTextToByteString, PairsSpacesAndOddEnds) {
    const struct {
        std::string in;
        ByteString out;
    } cases[] = {
        {"0102", {0x01, 0x02}},
        {" 01 02", {0x01, 0x02}},
        {"010", {0x01}},
        {"", {}},
        {"01 AB ff", {0x01, 0xAB, 0xFF}},
        {"0G", {0x00}},
        {"G1", {0x00}},
        {"1G", {0x01}},
        {"   ", {}},
        {" 1", {}},
        {"0 1", {0x00}},
    };
    for (const auto& c : cases) EXPECT_EQ(HexTextToByteString(c.in), c.out) << c.in;
}

TEST(HexTexts, ByteFormsAreTwoUpperCaseDigits) {
    EXPECT_EQ(ByteStringToHexText({0x00, 0x0A, 0xFF}), "000AFF");
    EXPECT_EQ(ByteStringToHexText({}), "");
    const struct {
        int16_t n;
        std::string ascii, hex;
    } cases[] = {
        {0, "3030", "00"},   {1, "3031", "01"},   {10, "3041", "0A"},
        {60, "3343", "3C"},  {171, "4142", "AB"}, {255, "4646", "FF"},
        {256, "3030", "00"}, {-1, "4646", "FF"},  {-32768, "3030", "00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ByteToAsciiHexText(c.n), c.ascii) << c.n;
        EXPECT_EQ(HexByte(c.n), c.hex) << c.n;
    }
}

TEST(HexTexts, RandomRoundTripAndArbitraryInput) {
    std::mt19937 gen(12345);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 40), pick(0, 3);
    const std::string alphabet = "0123456789abcdefABCDEF g";
    for (int i = 0; i < 5000; ++i) {
        ByteString b(static_cast<std::size_t>(len(gen)));
        for (auto& x : b) x = static_cast<uint8_t>(byte(gen));
        // Round trip: every byte string survives.
        ASSERT_EQ(HexTextToByteString(ByteStringToHexText(b)), b);

        // Arbitrary bytes, often hex-like: a defined result or an overflow, nothing else.
        ByteString in(static_cast<std::size_t>(len(gen)));
        for (auto& x : in) {
            x = pick(gen) == 0
                    ? static_cast<uint8_t>(byte(gen))
                    : static_cast<uint8_t>(
                          alphabet[static_cast<std::size_t>(byte(gen)) % alphabet.size()]);
        }
        std::size_t digits = 0;
        while (digits < in.size() && std::isxdigit(in[digits])) ++digits;
        const std::string lead(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(digits));
        const long long wide = digits == 0 ? 0 : std::strtoll(lead.c_str(), nullptr, 16);
        if (digits <= 4) {
            ASSERT_EQ(AsciiHexToInt(in), static_cast<int16_t>(wide));
        } else if (digits <= 8 && static_cast<int32_t>(wide) >= -32768 &&
                   static_cast<int32_t>(wide) <= 32767) {
            ASSERT_EQ(AsciiHexToInt(in), static_cast<int32_t>(wide));
        } else {
            ASSERT_THROW(AsciiHexToInt(in), OverflowError);
        }
        const std::string text(in.begin(), in.end());
        ASSERT_LE(HexTextToByteString(text).size(), text.size() / 2);
    }
}

TEST(Checked16, ThrowsInsteadOfWrapping) {
    EXPECT_EQ(checkedAdd16(32766, 1), 32767);
    EXPECT_EQ(checkedSub16(-32767, 1), -32768);
    EXPECT_EQ(checkedMul16(181, 181), 32761);
    EXPECT_EQ(checked16(-32768), -32768);
    EXPECT_EQ(checkedAdd16(INT32_MAX, INT32_MIN), -1);
    EXPECT_THROW(checkedAdd16(32767, 1), OverflowError);
    EXPECT_THROW(checkedSub16(-32768, 1), OverflowError);
    EXPECT_THROW(checkedMul16(256, 128), OverflowError);
    EXPECT_THROW(checked16(32768), OverflowError);
    // Sums that wrap in 32 bits to a small value still overflow.
    EXPECT_THROW(checkedAdd16(INT32_MAX, INT32_MAX), OverflowError);
    EXPECT_THROW(checkedSub16(INT32_MIN, 1), OverflowError);
    EXPECT_THROW(checkedMul16(65536, 65536), OverflowError);
}

}  // namespace
}  // namespace kv7
