// Random byte streams through the driver's receive parser during a clone read: every valid
// clone data frame must be stored, however the stream is cut and whatever noise surrounds it.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "protocol/frame_format.h"
#include "protocol/protocol_driver.h"
#include "protocol/support/fake_clone_link.h"
#include "store/common.h"

namespace kv7 {
namespace {

constexpr int kSlots = 40;  // frames write to slot * 128, at most 122 bytes each

struct Expected {
    size_t endOffset;  // stream offset of the frame's FD
    int32_t address;
    ByteString data;
};

class StreamMaker {
  public:
    explicit StreamMaker(uint32_t seed) : rng_(seed) {}

    // Appends noise or one valid frame to the stream.
    void grow(ByteString& stream, std::deque<Expected>& expected, size_t base) {
        if (pick(0, 2) == 0) {
            appendNoise(stream);
            return;
        }
        const int32_t slot = frameCount_++ % kSlots;
        const size_t n = pick(0, 9) == 0 ? pick(17, 122) : pick(1, 16);
        ByteString data(n);
        for (auto& b : data) b = static_cast<uint8_t>(pick(0, 255));
        const ByteString frame = test::radioCloneData(slot * 128, data);
        stream.insert(stream.end(), frame.begin(), frame.end());
        expected.push_back({base + stream.size() - 1, slot * 128, data});
    }

    size_t pick(size_t lo, size_t hi) {
        return std::uniform_int_distribution<size_t>(lo, hi)(rng_);
    }

  private:
    // Noise never holds 0xEF, so no noise record can pass for an answer to this program and
    // end the read as illegal data; FE and FD appear often, and some runs exceed the buffer.
    void appendNoise(ByteString& stream) {
        const size_t len = pick(0, 9) == 0 ? pick(257, 700) : pick(0, 40);
        const size_t startDensity = pick(0, 30);
        const size_t endDensity = pick(0, 30);
        if (len > 256 && pick(0, 1) == 0) stream.push_back(kFramePreamble);  // an open frame
        for (size_t i = 0; i < len; ++i) {
            const size_t roll = pick(0, 99);
            uint8_t b;
            if (roll < startDensity) {
                b = kFramePreamble;
            } else if (roll < startDensity + endDensity) {
                b = kFrameEnd;
            } else {
                do b = static_cast<uint8_t>(pick(0, 255));
                while (b == kControllerAddress);
            }
            stream.push_back(b);
        }
    }

    std::mt19937 rng_;
    int frameCount_ = 0;
};

TEST(ReceiveParserRandom, EveryValidFrameIsStored) {
    test::DriverRig r;
    r.drv.setWorkMode(2);
    ASSERT_EQ(r.drv.Send(test::hexBytes("E222510200")), 0);
    r.tick(0);  // echo
    ASSERT_EQ(r.drv.waitState(), 2);

    StreamMaker maker(20240611u);
    ByteString stream;  // bytes not yet fed, starting at stream offset `base`
    size_t base = 0;
    std::deque<Expected> expected;
    size_t framesChecked = 0;
    const int kChunks = 300000;

    for (int c = 0; c < kChunks; ++c) {
        const size_t len = maker.pick(0, 19) == 0 ? maker.pick(257, 600) : maker.pick(1, 64);
        while (stream.size() < len) maker.grow(stream, expected, base);
        const ByteString chunk(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(len));
        stream.erase(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(len));
        base += len;
        r.drv.read(chunk);

        ASSERT_TRUE(r.drv.Running()) << "chunk " << c << " error " << r.drv.nowError();
        while (!expected.empty() && expected.front().endOffset < base) {
            const Expected& e = expected.front();
            const ByteString stored =
                r.eep.ReadBlock(e.address, static_cast<int32_t>(e.data.size()));
            ASSERT_EQ(stored, e.data) << "frame " << framesChecked << " in chunk " << c;
            expected.pop_front();
            ++framesChecked;
        }
    }
    EXPECT_GT(framesChecked, 100000u);
}

// Unfiltered random bytes in every work mode, with time passing: the driver never reads
// outside a buffer (the sanitizer build watches) and never stores a block it did not check.
TEST(ReceiveParserRandom, AnyStreamInAnyModeIsSafe) {
    std::mt19937 rng(7u);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int16_t mode = 1; mode <= 5; ++mode) {
        test::DriverRig r;
        r.link.echo = pick(0, 1) == 1;
        for (int round = 0; round < 2000; ++round) {
            if (!r.drv.Running()) {
                r.drv.setWorkMode(mode);
                r.drv.setCloneWriteAdrList("13F0-1400,");
                ByteString payload(static_cast<size_t>(pick(0, 8)));
                for (auto& b : payload) b = static_cast<uint8_t>(pick(0xE0, 0xFF));
                r.drv.Send(payload);
            }
            ByteString chunk(static_cast<size_t>(pick(0, 300)));
            for (auto& b : chunk) b = static_cast<uint8_t>(pick(0xE0, 0xFF));
            r.link.inject(chunk);
            r.tick(pick(0, 400));
        }
        // The random bytes are never valid hex text, so no block reached the image.
        EXPECT_EQ(r.eep.ReadBlock(0, 5120), ByteString(5120, 0)) << mode;
    }
    for (int i = 0; i < 100000; ++i) {
        ByteString record(static_cast<size_t>(pick(0, 50)));
        for (auto& b : record) b = static_cast<uint8_t>(pick(0, 255));
        if (record.size() > 2 && pick(0, 1) == 1) {
            record[0] = kControllerAddress;
            record[1] = kRadioAddress;
            record[2] = static_cast<uint8_t>(pick(0xE0, 0xE8));
        }
        for (int16_t mode = 0; mode <= 5; ++mode)
            judgeAnswer(record, mode, record.size() > 5 ? record[5] : 0);
        readCloneDataRecord(record);
        identChannelType(record);
        identSubName(record);
    }
}

}  // namespace
}  // namespace kv7
