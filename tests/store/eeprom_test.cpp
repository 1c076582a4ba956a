#include "store/eeprom.h"

#include <gtest/gtest.h>

namespace kv7 {
namespace {

TEST(Eeprom, NewImageIsAllZero) {
    clsCmcEeprom e;
    EXPECT_EQ(e.eeSize(), 5120);
    EXPECT_EQ(e.ReadBlock(0, 5120), ByteString(5120, 0));
}

TEST(Eeprom, SingleBytesOnlyInsideTheImage) {
    clsCmcEeprom e;
    const struct {
        int32_t adr;
        int16_t status;
    } cases[] = {{0, 0}, {5119, 0}, {5120, 1}, {-1, 1}, {INT32_MAX, 1}, {INT32_MIN, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(e.WriteByte(c.adr, 0xA5), c.status) << c.adr;
        EXPECT_EQ(e.ReadByte(c.adr), c.status == 0 ? 0xA5 : 0) << c.adr;
    }
    EXPECT_EQ(e.ReadBlock(1, 5118), ByteString(5118, 0));  // refused writes landed nowhere
}

TEST(Eeprom, BitsOfAByte) {
    clsCmcEeprom e;
    e.WriteByte(3, 0x80);
    e.WriteByte(4, 0xFF);
    const struct {
        int32_t adr;
        int16_t bit, value;
    } cases[] = {{3, 7, 1},  {3, 0, 0},  {3, 8, 0},     {4, 0, 1},   {4, 8, 0},
                 {4, 15, 0}, {4, -1, 0}, {4, 32767, 0}, {5120, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(e.ReadBit(c.adr, c.bit), c.value) << c.adr << "/" << c.bit;
}

TEST(Eeprom, BlocksAreAllOrNothing) {
    const ByteString sixteen(16, 0x11);
    const struct {
        int32_t adr;
        std::size_t size;
        int16_t status;
    } cases[] = {{5104, 16, 0}, {5105, 16, 1}, {-1, 16, 1},       {0, 0, 1},
                 {10, 0, 0},    {5120, 0, 1},  {INT32_MAX, 16, 1}};
    for (const auto& c : cases) {
        clsCmcEeprom w, f;
        EXPECT_EQ(w.WriteBlock(c.adr, ByteString(c.size, 0x11)), c.status) << c.adr;
        EXPECT_EQ(f.FillBlock(c.adr, 0x11, static_cast<int32_t>(c.size)), c.status) << c.adr;
        const ByteString expected = c.status == 0 && c.size > 0 ? sixteen : ByteString(16, 0);
        const int32_t at = c.adr >= 0 && c.adr <= 5104 ? c.adr : 5104;
        EXPECT_EQ(w.ReadBlock(at, 16), c.size == 0 ? ByteString(16, 0) : expected) << c.adr;
        EXPECT_EQ(f.ReadBlock(at, 16), c.size == 0 ? ByteString(16, 0) : expected) << c.adr;
    }
    clsCmcEeprom e;
    EXPECT_EQ(e.FillBlock(5104, 0x22, INT32_MAX), 1);  // last address beyond 32 bits
    EXPECT_EQ(e.ReadByte(5104), 0);
}

TEST(Eeprom, ReadBlockReturnsOnlyTheBytesInside) {
    clsCmcEeprom e;
    e.WriteBlock(10, {0x01, 0x02, 0x03});
    e.WriteBlock(0, {0xA0, 0xA1});
    e.WriteBlock(5118, {0xB0, 0xB1});
    const struct {
        int32_t adr, siz;
        ByteString out;
    } cases[] = {
        {10, 3, {0x01, 0x02, 0x03}}, {10, 0, {}},   {10, -5, {}}, {5118, 4, {0xB0, 0xB1}},
        {-2, 4, {0xA0, 0xA1}},       {5120, 1, {}}, {-10, 5, {}}, {INT32_MAX, INT32_MAX, {}},
        {INT32_MIN, 2, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(e.ReadBlock(c.adr, c.siz), c.out) << c.adr;
}

TEST(Eeprom, ResizingClearsAndANegativeSizeIsEmpty) {
    clsCmcEeprom e;
    e.WriteByte(5, 7);
    e.setEeSize(16);
    EXPECT_EQ(e.eeSize(), 16);
    EXPECT_EQ(e.ReadByte(5), 0);
    EXPECT_EQ(e.WriteByte(16, 1), 1);
    e.setEeSize(-3);
    EXPECT_EQ(e.eeSize(), 0);
    EXPECT_EQ(e.WriteByte(0, 1), 1);
    EXPECT_EQ(e.ReadBlock(0, 4), ByteString{});
}

}  // namespace
}  // namespace kv7
