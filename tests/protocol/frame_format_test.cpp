#include "protocol/frame_format.h"

#include <gtest/gtest.h>

#include "protocol/support/fake_clone_link.h"
#include "store/common.h"

namespace kv7 {
namespace {

using test::hexBytes;

TEST(FrameFormat, BuildsTheRequestsByteForByte) {
    struct Row {
        const char* name;
        ByteString frame;
        const char* expectedHex;
    };
    const Row rows[] = {
        {"identification",
         buildFrame(hexBytes("E0"
                             "2251"
                             "0000")),
         "FEFEEEEFE022510000FD"},
        {"adjustment 124135",
         buildFrame(hexBytes("E8"
                             "2251"
                             "0200"
                             "124135")),
         "FEFEEEEFE822510200124135FD"},
        {"clone end", buildFrame(cloneEndPayload()), "FEFEEEEFE55665786F20496E632EFD"},
        {"radio side",
         buildFrame(hexBytes("E6"
                             "00"),
                    kControllerAddress, kRadioAddress),
         "FEFEEFEEE600FD"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ByteStringToHexText(r.frame), r.expectedHex) << r.name;
    }
    EXPECT_EQ(buildFrame(cloneEndPayload()).size(), 15u);
}

TEST(FrameFormat, CloneDataPayloadIsAsciiHexWithChecksum) {
    const ByteString p = buildCloneDataPayload(0x0010, {0x01, 0x02, 0x03});
    ByteString expected = TextToByteString("001003010203E7");
    expected.insert(expected.begin(), 0xE4);
    EXPECT_EQ(p, expected);

    // A record whose bytes already sum to a multiple of 256 has checksum 00, not 100.
    const ByteString zero = buildCloneDataPayload(0x0000, {0xFF});
    EXPECT_EQ(std::string(zero.begin() + 1, zero.end()), "000001FF00");
    EXPECT_THROW(buildCloneDataPayload(0, ByteString(256, 0)), std::invalid_argument);
}

// The record the driver hands to the checks: a radio frame without FE FE and FD.
ByteString recordOf(const ByteString& payload) {
    ByteString r = {kControllerAddress, kRadioAddress};
    r.insert(r.end(), payload.begin(), payload.end());
    return r;
}

ByteString cloneRecord(int32_t adr, const ByteString& data) {
    return recordOf(buildCloneDataPayload(adr, data));
}

TEST(FrameFormat, AcceptanceTable) {
    using V = AnswerVerdict;
    const ByteString sixteen(16, 0x5A);
    const ByteString e4 = cloneRecord(0x0100, sixteen);  // 43 bytes
    ASSERT_EQ(e4.size(), 43u);
    // Count 0x11 over 16 data bytes, with a checksum that still makes the sum 0.
    ByteString raw = {0x01, 0x00, 0x11};
    raw.insert(raw.end(), sixteen.begin(), sixteen.end());
    unsigned sum = 0;
    for (uint8_t v : raw) sum += v;
    raw.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));
    ByteString badCount = recordOf(hexBytes("E4"));
    const ByteString rawText = TextToByteString(ByteStringToHexText(raw));
    badCount.insert(badCount.end(), rawText.begin(), rawText.end());

    ByteString evenLength = e4;
    evenLength.push_back('0');
    ByteString badSum = e4;
    badSum[10] = badSum[10] == '0' ? '1' : '0';
    ByteString lowerCase = cloneRecord(0x00AB, {0xCD});
    for (size_t i = 3; i < lowerCase.size(); ++i) {
        if (lowerCase[i] >= 'A' && lowerCase[i] <= 'F') lowerCase[i] += 'a' - 'A';
    }
    // 11 bytes: address and count 0 with a right checksum, but below the minimum length.
    ByteString eleven = recordOf(hexBytes("E4"));
    const ByteString elevenText = TextToByteString("00000000");
    eleven.insert(eleven.end(), elevenText.begin(), elevenText.end());

    const ByteString sig = hexBytes(kCloneSignatureHex);
    ByteString e5 = recordOf(hexBytes("E5"));
    e5.insert(e5.end(), sig.begin(), sig.end());
    ByteString e5Extra = e5;
    e5Extra.push_back(0x00);

    struct Row {
        const char* name;
        ByteString record;
        int16_t mode;
        V verdict;
    };
    const Row rows[] = {
        {"too short", {0xEF, 0xEE}, 1, V::Ignored},
        {"own frame", hexBytes("EEEFE122510200"), 1, V::Ignored},
        {"other source", hexBytes("EFEDE122510200"), 1, V::Ignored},
        {"ident ok", hexBytes("EFEEE122510200"), 1, V::Accepted},
        {"ident 6 bytes", hexBytes("EFEEE1225102"), 1, V::Illegal},
        {"ident hex letter", hexBytes("EFEEE1225A0200"), 1, V::Illegal},
        {"ident exponent letter", hexBytes("EFEEE122510E00"), 1, V::Illegal},
        {"ident in clone read", hexBytes("EFEEE122510200"), 2, V::Ignored},
        {"clone data ok", e4, 2, V::Accepted},
        {"clone data lower case", lowerCase, 2, V::Accepted},
        {"clone data count", badCount, 2, V::Illegal},
        {"clone data even length", evenLength, 2, V::Illegal},
        {"clone data length 11", eleven, 2, V::Illegal},
        {"clone data checksum", badSum, 2, V::Illegal},
        {"clone data in ident", e4, 1, V::Ignored},
        {"clone end ok", e5, 2, V::Accepted},
        {"clone end extra byte", e5Extra, 2, V::Illegal},
        {"clone end empty", recordOf(hexBytes("E5")), 2, V::Illegal},
        {"write result 00", hexBytes("EFEEE600"), 4, V::Accepted},
        {"write result 01", hexBytes("EFEEE601"), 4, V::Accepted},
        {"write result missing", hexBytes("EFEEE6"), 4, V::Illegal},
        {"write result in mode 3", hexBytes("EFEEE600"), 3, V::Ignored},
        {"E8 answer ok", hexBytes("EFEEE8225102001241"), 5, V::Accepted},
        {"E8 answer other command", hexBytes("EFEEE8225102001341"), 5, V::Illegal},
        {"E8 answer no command", hexBytes("EFEEE822510200"), 5, V::Illegal},
        {"E8 answer hex letter", hexBytes("EFEEE8225102B01241"), 5, V::Illegal},
        {"E8 in clone read", hexBytes("EFEEE8225102001241"), 2, V::Ignored},
        {"request command", hexBytes("EFEEE022510000"), 1, V::Ignored},
        {"idle", hexBytes("EFEEE122510200"), 0, V::Ignored},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(judgeAnswer(r.record, r.mode, 0x12), r.verdict) << r.name;
    }
}

TEST(FrameFormat, ReadsCloneDataRecordWithinItsBytes) {
    const ByteString rec = cloneRecord(0x13F0, {0xAA, 0x00, 0x7F});
    auto block = readCloneDataRecord(rec);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->address, 0x13F0);
    EXPECT_EQ(block->data, (ByteString{0xAA, 0x00, 0x7F}));

    // A count larger than the record holds, or a non-hex field, yields nothing.
    ByteString truncated(rec.begin(), rec.begin() + 12);
    EXPECT_FALSE(readCloneDataRecord(truncated));
    ByteString badAddress = rec;
    badAddress[4] = 'G';
    EXPECT_FALSE(readCloneDataRecord(badAddress));
    EXPECT_FALSE(readCloneDataRecord(hexBytes("EFEEE4")));
    // Address FFFF reads as 65535, not as a negative number.
    auto high = readCloneDataRecord(cloneRecord(0xFFFF, {1}));
    ASSERT_TRUE(high);
    EXPECT_EQ(high->address, 0xFFFF);
}

TEST(FrameFormat, IdentificationFields) {
    struct Row {
        size_t dataLength;
        bool flagByte;
        bool expected;
    };
    // Record length = 3 + dataLength; position 42 exists from 42 bytes on.
    const Row rows[] = {{37, true, false},
                        {38, true, false},
                        {39, true, true},
                        {39, false, false},
                        {60, true, true}};
    for (const auto& r : rows) {
        const ByteString rec =
            recordOf(test::identPayload("2251", "0150", r.dataLength, r.flagByte));
        EXPECT_EQ(identChannelType(rec), r.expected) << r.dataLength;
        EXPECT_EQ(identModelCode(rec), "2251");
        EXPECT_EQ(identSubName(rec), "0150");
    }
    // A 41-byte record has no position 42: false, and nothing read beyond it.
    ByteString rec41 = recordOf(test::identPayload("2251", "0150", 38));
    ASSERT_EQ(rec41.size(), 41u);
    EXPECT_FALSE(identChannelType(rec41));
    EXPECT_EQ(identModelCode({}), "");
    EXPECT_EQ(identSubName(hexBytes("EFEEE12251")), "");
}

}  // namespace
}  // namespace kv7
