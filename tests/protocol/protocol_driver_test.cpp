#include "protocol/protocol_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "protocol/frame_format.h"
#include "protocol/support/fake_clone_link.h"
#include "store/common.h"

namespace kv7 {
namespace {

using test::DriverRig;
using test::hexBytes;
using test::radioCloneData;
using test::radioFrame;

const char* const kIdentRequest = "E022510000";
const char* const kE8Request = "E822510200124135";

ByteString concat(std::initializer_list<ByteString> parts) {
    ByteString out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

ByteString pattern(size_t n, uint8_t seed) {
    ByteString b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + 13 * i);
    return b;
}

ByteString eepBytes(const clsCmcEeprom& eep, int32_t adr, int32_t n) {
    ByteString b;
    for (int32_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(eep.ReadByte(adr + i)));
    return b;
}

// Answers the first frame written with the given bytes (after its echo).
void answerFirstWrite(DriverRig& r, ByteString answer) {
    r.link.onWrite = [&r, answer, done = false](const ByteString&) mutable {
        if (!done) r.link.inject(answer);
        done = true;
    };
}

TEST(ProtocolDriver, EveryErrorCodeEndsTheExchange) {
    struct Row {
        const char* name;
        std::function<void(DriverRig&)> run;
        int16_t error;
    };
    const Row rows[] = {
        {"no echo",
         [](DriverRig& r) {
             r.link.echo = false;
             r.drv.setWorkMode(1);
             r.drv.Send(hexBytes(kIdentRequest));
         },
         1},
        {"no answer",
         [](DriverRig& r) {
             r.drv.setWorkMode(1);
             r.drv.Send(hexBytes(kIdentRequest));
         },
         2},
        {"illegal identification",
         [](DriverRig& r) {
             answerFirstWrite(r, radioFrame("E1225A0200"));
             r.drv.setWorkMode(1);
             r.drv.Send(hexBytes(kIdentRequest));
         },
         3},
        {"block beyond the image",
         [](DriverRig& r) {
             answerFirstWrite(r, concat({radioCloneData(0x13F0, pattern(16, 1)),
                                         radioCloneData(0x13F8, pattern(16, 99))}));
             r.drv.setWorkMode(2);
             r.drv.Send(hexBytes("E222510200"));
         },
         4},
        {"clone write refused",
         [](DriverRig& r) {
             answerFirstWrite(r, radioFrame("E601"));
             r.drv.setWorkMode(4);
             r.drv.Send(cloneEndPayload());
         },
         6},
        {"clone packet not written",
         [](DriverRig& r) {
             r.link.onWrite = [&r](const ByteString&) { r.link.freeSpace = 256; };
             r.drv.setWorkMode(3);
             r.drv.setCloneWriteAdrList("0000-000F,");
             r.drv.Send(hexBytes("E322510200"));
         },
         7},
    };
    for (const auto& row : rows) {
        DriverRig r;
        row.run(r);
        EXPECT_TRUE(r.drv.Running()) << row.name;
        r.runUntilIdle();
        EXPECT_FALSE(r.drv.Running()) << row.name;
        EXPECT_EQ(r.drv.waitState(), 0) << row.name;
        EXPECT_EQ(r.drv.nowError(), row.error) << row.name;
        EXPECT_EQ(r.drv.lastError(), row.error) << row.name;
        if (row.error == 4) {
            // The block before the refused one stays stored; the refused one changed nothing.
            EXPECT_EQ(eepBytes(r.eep, 0x13F0, 16), pattern(16, 1));
        }
    }
}

TEST(ProtocolDriver, TimeOutsCountFromTheirWait) {
    DriverRig r;
    r.link.echo = false;
    r.drv.setWorkMode(2);
    r.drv.Send(hexBytes("E222510200"));
    for (int i = 0; i < 19; ++i) r.tick();  // 950 ms
    EXPECT_EQ(r.drv.waitState(), 1);
    r.link.inject(r.link.written.back());  // the echo, late
    r.tick(200);                           // delivered, then 200 ms pass
    EXPECT_EQ(r.drv.waitState(), 2);
    r.clock.advance(800);
    r.link.inject(radioCloneData(0x0000, pattern(16, 5)));  // restarts the answer wait
    r.tick(0);
    r.clock.advance(1199);
    r.drv.task();
    EXPECT_TRUE(r.drv.Running());
    r.clock.advance(1);
    r.drv.task();
    EXPECT_EQ(r.drv.lastError(), 2);
    EXPECT_EQ(eepBytes(r.eep, 0, 16), pattern(16, 5));

    // Written behind 600 ms of bytes still in the port, a request waits for its echo from the
    // moment they are out: 1,600 ms after the write, not 1,000.
    DriverRig q;
    q.link.echo = false;
    q.link.queuedMs = 600;
    q.drv.setWorkMode(2);
    q.drv.Send(hexBytes("E222510200"));
    q.clock.advance(1599);
    q.drv.task();
    EXPECT_EQ(q.drv.waitState(), 1);
    q.clock.advance(1);
    q.drv.task();
    EXPECT_EQ(q.drv.lastError(), 1);
}

TEST(ProtocolDriver, RetryCountTwoWritesThreeTimesThenNoAnswer) {
    DriverRig r;
    r.drv.setWorkMode(5);
    r.drv.setWaitAnswer(true);
    r.drv.setRetryCount(2);
    ASSERT_EQ(r.drv.Send(hexBytes(kE8Request)), 0);
    // A second request while one is under way is refused and changes nothing.
    EXPECT_EQ(r.drv.Send(hexBytes("E822510200033030")), 1);
    const int ticks = r.runUntilIdle();
    ASSERT_EQ(r.link.written.size(), 3u);
    for (const auto& f : r.link.written) {
        EXPECT_EQ(ByteStringToHexText(f), "FEFEEEEFE822510200124135FD");
    }
    EXPECT_EQ(r.drv.lastError(), 2);
    EXPECT_EQ(r.drv.retryCount(), 0);
    EXPECT_EQ(ticks, 3 * 1200 / 50);  // three answer waits of 1200 ms
}

TEST(ProtocolDriver, AdjustmentAnswerAndNoAnswer) {
    DriverRig r;
    answerFirstWrite(r, radioFrame("E822510200124235"));
    r.drv.setWorkMode(5);
    r.drv.setWaitAnswer(true);
    r.drv.setRetryCount(2);
    r.drv.Send(hexBytes(kE8Request));
    r.runUntilIdle();
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_EQ(ByteStringToHexText(r.drv.varLastE8Answer()), "22510200124235");
    EXPECT_EQ(r.drv.retryCount(), 0);

    // Without an answer the request ends as it is written; its echo is dropped.
    r.drv.setWorkMode(5);
    r.drv.Send(hexBytes(kE8Request));
    EXPECT_FALSE(r.drv.Running());
    r.tick();
    EXPECT_EQ(r.drv.waitState(), 0);
    EXPECT_EQ(r.link.written.size(), 2u);
}

struct Packet {
    int32_t address;
    size_t count;
};

std::vector<Packet> packetsOf(const std::vector<ByteString>& written) {
    std::vector<Packet> out;
    for (const auto& f : written) {
        if (f.size() < 6 || f[4] != kCmdCloneData) continue;
        ByteString record(f.begin() + 2, f.end() - 1);
        auto block = readCloneDataRecord(record);
        EXPECT_TRUE(block);
        if (block) out.push_back({block->address, block->data.size()});
    }
    return out;
}

// Runs a clone write over the list; the radio answers the clone end with 00.
DriverRig& runCloneWrite(DriverRig& r, const std::string& list) {
    r.link.onWrite = [&r](const ByteString& f) {
        if (f.size() > 4 && f[4] == kCmdCloneEnd) r.link.inject(radioFrame("E600"));
    };
    r.drv.setWorkMode(3);
    r.drv.setSizDataOfPacket(16);
    r.drv.setCloneWriteAdrList(list);
    r.drv.Send(hexBytes("E322510200"));
    r.runUntilIdle(2000);
    return r;
}

TEST(ProtocolDriver, CloneWriteSendsTheWholeImageIn320Packets) {
    DriverRig r;
    for (int32_t a = 0; a < 5120; ++a) r.eep.WriteByte(a, static_cast<uint8_t>(a * 7 + 3));
    runCloneWrite(r, "0000-13FF,");
    EXPECT_EQ(r.drv.nowError(), 0);
    ASSERT_EQ(r.link.written.size(), 322u);
    for (int i = 0; i < 320; ++i) {
        ASSERT_EQ(r.link.written[1 + i],
                  buildFrame(buildCloneDataPayload(16 * i, eepBytes(r.eep, 16 * i, 16))))
            << i;
    }
    EXPECT_EQ(r.link.written.back(), buildFrame(cloneEndPayload()));
    EXPECT_EQ(r.drv.workMode(), 4);
}

TEST(ProtocolDriver, CloneWriteRanges) {
    struct Row {
        const char* list;
        std::vector<std::pair<int32_t, size_t>> packets;
    };
    const Row rows[] = {
        {"0000-0014,", {{0x0000, 16}, {0x0010, 5}}},
        {"0000-0014,0100-0101,", {{0x0000, 16}, {0x0010, 5}, {0x0100, 2}}},
        {"0030-0030,", {{0x0030, 1}}},
        // A range ending before it starts holds nothing to send.
        {"0010-0005,0020-0020,", {{0x0020, 1}}},
        // An empty list goes straight to the clone end.
        {"", {}},
    };
    for (const auto& row : rows) {
        DriverRig r;
        runCloneWrite(r, row.list);
        EXPECT_EQ(r.drv.nowError(), 0) << row.list;
        const auto got = packetsOf(r.link.written);
        ASSERT_EQ(got.size(), row.packets.size()) << row.list;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].address, row.packets[i].first) << row.list << " #" << i;
            EXPECT_EQ(got[i].count, row.packets[i].second) << row.list << " #" << i;
        }
        EXPECT_EQ(r.link.written.back(), buildFrame(cloneEndPayload())) << row.list;
    }
}

TEST(ProtocolDriver, ReceiveParserCases) {
    const ByteString ident = radioFrame(test::identPayload("2251", "0200"));
    const ByteString identRecord(ident.begin() + 2, ident.end() - 1);
    struct Row {
        const char* name;
        bool echo;  // the link loops the request back by itself
        std::vector<ByteString> chunks;
        bool answered;
    };
    const ByteString echo = buildFrame(hexBytes(kIdentRequest));
    const ByteString echoHead(echo.begin(), echo.begin() + 4);
    const ByteString echoTail(echo.begin() + 4, echo.end());
    const Row rows[] = {
        {"echo split over chunks, noise first",
         false,
         {hexBytes("0102FD"), echoHead, echoTail, ident},
         true},
        {"echo and answer in one chunk", false, {concat({echo, ident})}, true},
        {"extra preamble and leading noise", true, {concat({hexBytes("1122FE"), ident})}, true},
        {"stray FD before the frame start", true, {concat({hexBytes("33FD44"), ident})}, true},
        {"other addresses are ignored",
         true,
         {concat({buildFrame(test::identPayload("2251", "0200")), ident})},
         true},
        {"frame split byte by byte", true, {}, true},
        {"echo missing a byte", false, {ByteString(echo.begin() + 1, echo.end()), ident}, false},
    };
    for (const auto& row : rows) {
        DriverRig r;
        r.link.echo = row.echo;
        r.drv.setWorkMode(1);
        r.drv.Send(hexBytes(kIdentRequest));
        r.tick();
        std::vector<ByteString> chunks = row.chunks;
        if (chunks.empty()) {
            for (uint8_t b : ident) chunks.push_back({b});
        }
        for (const auto& c : chunks) {
            r.link.inject(c);
            r.tick();
        }
        EXPECT_EQ(!r.drv.Running() && r.drv.nowError() == 0, row.answered) << row.name;
        if (row.answered) {
            EXPECT_EQ(r.drv.ansInfo(), identRecord) << row.name;
        }
    }
}

TEST(ProtocolDriver, FramesInOneChunkDuringACloneRead) {
    DriverRig r;
    r.link.echo = false;
    r.drv.setWorkMode(2);
    r.drv.Send(hexBytes("E222510200"));
    // The echo at the head of a chunk far longer than the receive buffer, then 7 blocks,
    // the clone end and one more block after it, which the idle driver drops.
    ByteString chunk = r.link.written.back();
    for (int i = 0; i < 7; ++i) {
        const ByteString f = radioCloneData(0x100 + 16 * i, pattern(16, static_cast<uint8_t>(i)));
        chunk.insert(chunk.end(), f.begin(), f.end());
    }
    const ByteString end = radioFrame(cloneEndPayload());
    const ByteString late = radioCloneData(0x200, pattern(16, 77));
    chunk = concat({chunk, end, late});
    ASSERT_GT(chunk.size(), 300u);
    r.drv.read(chunk);
    EXPECT_FALSE(r.drv.Running());
    EXPECT_EQ(r.drv.nowError(), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(eepBytes(r.eep, 0x100 + 16 * i, 16), pattern(16, static_cast<uint8_t>(i)));
    }
    EXPECT_EQ(eepBytes(r.eep, 0x200, 16), ByteString(16, 0));
}

TEST(ProtocolDriver, ResendDoesNotTakeTheEarlierEchoForItsOwn) {
    DriverRig r;
    r.drv.setWorkMode(5);
    r.drv.setWaitAnswer(true);
    r.drv.setRetryCount(1);
    r.drv.Send(hexBytes(kE8Request));
    r.tick();  // echo found, answer wait
    ASSERT_EQ(r.drv.waitState(), 2);
    r.link.echo = false;  // the line goes dead
    for (int i = 0; i < 24; ++i) r.tick();
    ASSERT_EQ(r.link.written.size(), 2u);  // re-sent
    r.link.inject({0x00});
    r.tick();
    EXPECT_EQ(r.drv.waitState(), 1);
    r.runUntilIdle();
    EXPECT_EQ(r.drv.lastError(), 1);
}

TEST(ProtocolDriver, IdleBytesAndErrorWritesAndReset) {
    DriverRig r;
    // Bytes received while idle are dropped, so they cannot pass for a later echo.
    r.drv.read(buildFrame(hexBytes(kIdentRequest)));
    r.link.echo = false;
    r.drv.setWorkMode(1);
    r.drv.Send(hexBytes(kIdentRequest));
    r.tick();
    EXPECT_EQ(r.drv.waitState(), 1);

    r.drv.setNowError(0);  // still ends the exchange
    EXPECT_FALSE(r.drv.Running());
    EXPECT_TRUE(r.drv.SendEnable());
    r.drv.setNowError(3);
    r.drv.setNowError(0);
    EXPECT_EQ(r.drv.lastError(), 3);
    r.drv.setNowError(6);
    r.drv.Reset();
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_EQ(r.drv.lastError(), 6);

    // Nothing is written with the port closed or a nearly full output buffer.
    r.link.freeSpace = 256;
    EXPECT_EQ(r.drv.Send(hexBytes(kIdentRequest)), 1);
    r.link.freeSpace = 1024;
    r.link.portOpen = false;
    EXPECT_EQ(r.drv.Send(hexBytes(kIdentRequest)), 1);
    EXPECT_EQ(r.link.written.size(), 1u);
    EXPECT_FALSE(r.drv.Running());
}

}  // namespace
}  // namespace kv7
