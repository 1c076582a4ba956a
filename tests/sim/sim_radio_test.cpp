#include "sim/sim_radio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

#include "sim/sim_physics.h"
#include "sim/support/sim_bench.h"

namespace kv7::simtest {
namespace {

const ByteString kIdent = request("E0 2251 0000");
const ByteString kCloneRead = request("E2 2251 0200");

uint8_t sum(const ByteString& bytes, size_t from = 0) {
    unsigned s = 0;
    for (size_t i = from; i < bytes.size(); ++i) s += bytes[i];
    return static_cast<uint8_t>(s);
}

// The bytes of an 0xE4 record's ASCII hex text (positions 4 onward).
ByteString cloneRecordBytes(const ByteString& r) {
    std::string text(r.begin() + 3, r.end());
    return hex(text);
}

ByteString decodeClone(const std::vector<ByteString>& recs) {
    ByteString image(sim::kImageSize, 0);
    for (const auto& r : recs) {
        if (r[2] != 0xE4) continue;
        const ByteString rec = cloneRecordBytes(r);
        const int adr = rec[0] << 8 | rec[1];
        std::copy(rec.begin() + 3, rec.end() - 1, image.begin() + adr);
    }
    return image;
}

TEST(SimRadio, EchoesEveryByteAndAnswersOnlyFramesForIt) {
    struct Case {
        const char* name;
        ByteString in;
        size_t answers;
    } cases[] = {
        {"identification", kIdent, 1},
        {"noise only", hex("00 11 22 FD 33"), 0},
        {"addressed to the program", hex("FE FE EF EE E0 22 51 00 00 FD"), 0},
        {"from another source", hex("FE FE EE E0 E0 22 51 00 00 FD"), 0},
        {"long preamble", hex("FE FE FE FE EE EF E0 22 51 00 00 FD"), 1},
        {"broken frame then a whole one", hex("FE FE EE EF E0 22 FE FE EE EF E0 22 51 00 00 FD"),
         1},
        {"empty frame", hex("FE FE FD"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bench whole;
        const ByteString out = whole.exchange(c.in);
        ASSERT_GE(out.size(), c.in.size());
        EXPECT_EQ(ByteString(out.begin(), out.begin() + static_cast<long>(c.in.size())), c.in);
        EXPECT_EQ(
            answers(ByteString(out.begin() + static_cast<long>(c.in.size()), out.end())).size(),
            c.answers);
        // Byte by byte, the radio hears the same.
        Bench split;
        for (uint8_t b : c.in) split.radio.receive({b});
        EXPECT_EQ(split.run(0), out);
    }
}

TEST(SimRadio, IdentificationRecordLayout) {
    struct Case {
        std::string model, sub;
        bool channelType;
    } cases[] = {{"2251", "0200", false}, {"2251", "0200", true}, {"2252", "0100", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + "/" + c.sub);
        auto o = Bench::unpaced();
        o.modelCode = c.model;
        o.subName = c.sub;
        o.channelType = c.channelType;
        Bench b(o);
        const auto a = answers(b.exchange(kIdent));
        ASSERT_EQ(a.size(), 1u);
        const ByteString& r = a[0];
        ASSERT_GT(r.size(), 40u);
        EXPECT_EQ(r[2], 0xE1);
        EXPECT_EQ(ByteString(r.begin() + 3, r.begin() + 7), hex(c.model + c.sub));
        EXPECT_EQ((r[41] & 0x20) != 0, c.channelType);  // record position 42
        for (uint8_t x : r) EXPECT_LT(x, 0xFD);
    }
}

TEST(SimRadio, CloneReadStreamsTheWholeImage) {
    // An image full of frame bytes must still travel intact as ASCII hex.
    std::mt19937 rng(7);
    ByteString random(sim::kImageSize);
    for (auto& b : random) b = static_cast<uint8_t>(rng());
    for (const ByteString& image : {sim::sampleImage(), random}) {
        Bench b(Bench::unpaced(), image);
        const auto a = answers(b.exchange(kCloneRead));
        ASSERT_EQ(a.size(), 321u);
        for (size_t k = 0; k < 320; ++k) {
            const ByteString& r = a[k];
            ASSERT_EQ(r.size(), 43u) << k;
            const ByteString rec = cloneRecordBytes(r);
            EXPECT_EQ(rec[0] << 8 | rec[1], static_cast<int>(16 * k));
            EXPECT_EQ(rec[2], 16);
            EXPECT_EQ(sum(rec), 0) << k;
        }
        EXPECT_EQ(a[320], hex("EF EE E5 5665786F20496E632E"));
        EXPECT_EQ(decodeClone(a), image);
        EXPECT_EQ(b.radio.cloneReadCount(), 1);
    }
}

TEST(SimRadio, CloneWriteStoresOnlyAWholeSoundWrite) {
    const ByteString original = sim::sampleImage();
    ByteString changed = original;
    for (size_t i = 0; i < changed.size(); ++i) changed[i] = static_cast<uint8_t>(i * 7 + 3);
    auto whole = [&](int skew, int32_t badBlock) {
        std::vector<ByteString> p;
        for (int32_t a = 0; a < sim::kImageSize; a += 16)
            p.push_back(clonePacket(a, ByteString(changed.begin() + a, changed.begin() + a + 16),
                                    a / 16 == badBlock ? skew : 0));
        return p;
    };
    ByteString expectedShort = original;
    std::copy(changed.begin(), changed.begin() + 21, expectedShort.begin());
    struct Case {
        const char* name;
        std::vector<ByteString> packets;
        ByteString end;
        bool refuse;
        uint8_t result;
        ByteString expected;
    } cases[] = {
        {"whole image", whole(0, -1), cloneEnd(), false, 0x00, changed},
        {"16 and 5 bytes",
         {clonePacket(0, ByteString(changed.begin(), changed.begin() + 16)),
          clonePacket(16, ByteString(changed.begin() + 16, changed.begin() + 21))},
         cloneEnd(),
         false,
         0x00,
         expectedShort},
        {"one bad checksum", whole(1, 100), cloneEnd(), false, 0x02, original},
        {"beyond the image",
         {clonePacket(5112, ByteString(16, 0x55))},
         cloneEnd(),
         false,
         0x02,
         original},
        {"odd length", {hex("E4 303031")}, cloneEnd(), false, 0x02, original},
        {"wrong signature", whole(0, -1), hex("E5 5665786F20496E632F"), false, 0x03, original},
        {"refused", whole(0, -1), cloneEnd(), true, 0x01, original},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = Bench::unpaced();
        o.faults.refuseWrite = c.refuse;
        Bench b(o, original);
        ByteString silent = b.exchange(request("E3 2251 0200"));
        for (const auto& p : c.packets) silent = b.exchange(request(p));
        EXPECT_TRUE(answers(b.line).empty()) << "packets are taken silently";
        const auto a = answers(b.exchange(request(c.end)));
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0], (ByteString{0xEF, 0xEE, 0xE6, c.result}));
        EXPECT_EQ(b.radio.image(), c.expected);
        EXPECT_EQ(b.radio.lastWriteResult(), c.result);
    }
    // Packets without a clone write request are not a write.
    Bench b(Bench::unpaced(), original);
    b.exchange(request(clonePacket(0, ByteString(16, 0x11))));
    EXPECT_TRUE(answers(b.exchange(request(cloneEnd()))).empty());
    EXPECT_EQ(b.radio.image(), original);
}

TEST(SimRadio, AdjustmentCommandsSetTheirEepromBytesSilently) {
    struct Case {
        uint8_t number, value;
        int address;
    } cases[] = {{4, 0x21, 135},  {5, 0xFF, 49},  {7, 0x00, 48},  {8, 0x99, 62},  {11, 0x42, 63},
                 {12, 0xF0, 68},  {13, 0x7F, 69}, {14, 0x80, 70}, {15, 0x01, 71}, {16, 0xAB, 92},
                 {35, 0xCD, 111}, {36, 0xFE, 72}, {55, 0x03, 91}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.number));
        Bench b;
        const ByteString in = adjustRequest(c.number, c.value);
        EXPECT_EQ(b.exchange(in), in);  // the echo and nothing else
        EXPECT_EQ(b.radio.image()[static_cast<size_t>(c.address)], c.value);
        ByteString others = sim::sampleImage();
        others[static_cast<size_t>(c.address)] = c.value;
        EXPECT_EQ(b.radio.image(), others);
    }
    Bench b;
    b.exchange(adjustRequest(0, 5));
    b.exchange(adjustRequest(2, 1));
    EXPECT_EQ(b.radio.selectedChannel(), 4);
    EXPECT_TRUE(b.radio.adjustMode());
    EXPECT_EQ(b.radio.bpfSetting(3), -8);
    b.exchange(adjustRequest(15, 0xF6));
    EXPECT_EQ(b.radio.bpfSetting(3), -10);
    EXPECT_EQ(b.radio.txfEntry(39), b.radio.image()[91]);
}

TEST(SimRadio, MonitorRequestsAreAnsweredWithTheirReading) {
    Bench b;
    const int16_t temps = sim::thermistorRaw(25.0);
    const int16_t ref = static_cast<int16_t>(std::lround(b.radio.txfCompensation()));
    // Sample BPF settings 12, 11, 13, -8: three stages on the default plateau, T4 18 below it.
    const int16_t expected[14] = {
        189, temps, 100, 20 + 3 * 50 + 32, 230, 120, 140, 139, 141, 120, ref, 122, 134, 64};
    for (int n = 0; n < 14; ++n) {
        SCOPED_TRACE(n);
        const auto a = answers(b.exchange(monitorRequest(n)));
        ASSERT_EQ(a.size(), 1u);
        ByteString want = hex("EF EE E8 2251 0200 03");
        for (uint8_t c : asciiHex({static_cast<uint8_t>(expected[n])})) want.push_back(c);
        EXPECT_EQ(a[0], want);
    }
    EXPECT_EQ(temps, 173);
    EXPECT_NEAR(ref, 128, 8);
    // Not monitor values, not hex, not this radio: no answer.
    for (const ByteString& in : {monitorRequest(14), request("E8 2251 0200 03 3047"),
                                 monitorRequest(1, "22510300"), request("E8 2251 0200 03 30")}) {
        EXPECT_EQ(b.exchange(in), in);
    }
}

TEST(SimRadio, RequestsWithOtherCodesAreIgnoredUnlessLenient) {
    for (bool strict : {true, false}) {
        auto o = Bench::unpaced();
        o.strictIdentity = strict;
        Bench b(o);
        const size_t clone = answers(b.exchange(request("E2 2251 0300"))).size();
        const size_t monitor = answers(b.exchange(monitorRequest(2, "22520200"))).size();
        EXPECT_EQ(clone, strict ? 0u : 321u);
        EXPECT_EQ(monitor, strict ? 0u : 1u);
        // Identification is answered whatever model the program asks for.
        EXPECT_EQ(answers(b.exchange(request("E0 9999 0000"))).size(), 1u);
    }
}

TEST(SimRadio, Faults) {
    using Check = std::function<void(Bench&)>;
    struct Case {
        const char* name;
        std::function<void(sim::SimOptions&)> set;
        Check check;
    } cases[] = {
        {"no echo", [](auto& o) { o.faults.noEcho = true; },
         [](Bench& b) {
             const ByteString out = b.exchange(kIdent);
             EXPECT_EQ(records(out).size(), 1u);
             EXPECT_EQ(answers(out).size(), 1u);
         }},
        {"no answer", [](auto& o) { o.faults.noAnswer = true; },
         [](Bench& b) {
             for (const ByteString& in : {kIdent, kCloneRead, monitorRequest(0)})
                 EXPECT_EQ(b.exchange(in, 2000), in);
         }},
        {"bad checksum in block 5", [](auto& o) { o.faults.badChecksumBlock = 5; },
         [](Bench& b) {
             const auto a = answers(b.exchange(kCloneRead));
             ASSERT_EQ(a.size(), 321u);
             for (size_t k = 0; k < 320; ++k)
                 EXPECT_EQ(sum(cloneRecordBytes(a[k])) != 0, k == 5) << k;
         }},
        {"wrong model code", [](auto& o) { o.modelCode = "2252"; },
         [](Bench& b) { EXPECT_EQ(answers(b.exchange(kIdent))[0][4], 0x52); }},
        {"another sub name", [](auto& o) { o.subName = "0300"; },
         [](Bench& b) { EXPECT_EQ(answers(b.exchange(kIdent))[0][5], 0x03); }},
        {"gap before block 7", [](auto& o) { o.faults.gapBeforeBlock = 7; },
         [](Bench& b) {
             b.exchange(kCloneRead, 3000);
             // Block k's frame starts 10 (echo) + 46 k bytes into the line.
             EXPECT_EQ(b.arrivalMs[10 + 46 * 6], 5000);
             EXPECT_EQ(b.arrivalMs[10 + 46 * 7], 6500);
             EXPECT_EQ(decodeClone(answers(b.line)), sim::sampleImage());
         }},
        {"noise between frames", [](auto& o) { o.faults.noise = true; },
         [](Bench& b) {
             const ByteString out = b.exchange(kIdent);
             EXPECT_EQ(out.size(), kIdent.size() + 3 + 46);
             for (size_t i = kIdent.size(); i < kIdent.size() + 3; ++i) {
                 EXPECT_NE(out[i], 0xFE);
                 EXPECT_NE(out[i], 0xFD);
             }
             EXPECT_EQ(decodeClone(answers(b.exchange(kCloneRead))), sim::sampleImage());
         }},
        {"line cut after 100 bytes", [](auto& o) { o.faults.cutAfterBytes = 100; },
         [](Bench& b) {
             EXPECT_EQ(b.exchange(kCloneRead, 100).size(), 100u);
             EXPECT_TRUE(b.radio.lineCut());
             EXPECT_TRUE(b.exchange(kIdent, 100).empty());
             EXPECT_EQ(b.radio.requests().size(), 1u);  // deaf as well
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = Bench::unpaced();
        c.set(o);
        Bench b(o);
        c.check(b);
    }
}

TEST(SimRadio, PacesItsOutputAtTheLineRate) {
    sim::SimOptions o;  // paced, 5 ms turnaround
    o.pacedIntake = false;
    Bench b(o);
    b.radio.receive(kCloneRead);
    EXPECT_EQ(b.radio.msUntilNext(), 2);  // the first echo byte needs 1.04 ms
    b.run(16000);
    const size_t total = 10 + 320 * 46 + 15;
    ASSERT_EQ(b.line.size(), total);
    // Byte i is complete no earlier than (i + 1) byte times after the request, plus turnaround
    // for the answer; and the line never runs faster than 960 bytes/s.
    for (size_t i = 0; i < total; ++i) {
        const double earliest = 5000 + (i + 1) * 1000.0 / 960 + (i >= 10 ? 5 : 0);
        ASSERT_GE(b.arrivalMs[i] + 1e-9, std::floor(earliest)) << i;
        ASSERT_LE(b.arrivalMs[i], std::ceil(earliest)) << i;
    }
    EXPECT_EQ(b.radio.msUntilNext(), -1);
    // Without pacing everything is there at once.
    Bench fast;
    EXPECT_EQ(fast.exchange(kCloneRead).size(), total);
}

TEST(SimRadio, TakesTheProgramsBytesAtTheLineRateAndAFlushDestroysWhatIsNotCarried) {
    sim::SimOptions o;  // both directions paced, 5 ms turnaround
    Bench b(o);
    const ByteString set = adjustRequest(13, 0x05);  // 13 bytes, no answer
    b.radio.receive(set);
    EXPECT_EQ(b.radio.inboundPending(), 13u);
    b.run(7);  // 7 ms: six bytes carried, the seventh on the wire
    EXPECT_EQ(b.radio.inboundPending(), 7u);
    EXPECT_EQ(b.line, ByteString(set.begin(), set.begin() + 5)) << "each echo a byte later";

    // The port's transmit queue emptied: the byte on the wire still arrives, the rest is gone,
    // and the radio sees a frame cut off when the next one starts.
    b.radio.flushInbound();
    EXPECT_EQ(b.radio.inboundPending(), 1u);
    const ByteString sd = monitorRequest(3);
    b.radio.receive(sd);
    b.run(40);
    EXPECT_EQ(b.radio.malformedFrames(), 1);
    ASSERT_EQ(b.radio.adjustLog().size(), 1u);
    EXPECT_EQ(b.radio.adjustLog()[0].number, 3) << "the setting never reached the radio";
    EXPECT_EQ(b.radio.bpfSetting(1), static_cast<int8_t>(sim::sampleImage()[69]));
    const ByteString echoed(b.line.begin(), b.line.begin() + 7 + 13);
    EXPECT_EQ(ByteString(echoed.end() - 13, echoed.end()), sd);
}

// The reading the program shows for a TEMPS value.
double programTemperature(int v) {
    const double x = v * 5.0 / 255.0;
    const double r = (500000.0 - 100000.0 * x) / x;
    return 1.0 / (std::log(r / 47000.0) / 4000.0 + 1.0 / 298.15) - 273.15;
}

TEST(SimRadio, TempsReadingShowsTheSimulatedTemperature) {
    EXPECT_NEAR(programTemperature(128), 9.27, 0.005);
    EXPECT_NEAR(programTemperature(200), 37.41, 0.005);
    for (double t = -20.0; t <= 50.0; t += 0.5) {
        auto o = Bench::unpaced();
        o.temperatureC = t;
        Bench b(o);
        const auto a = answers(b.exchange(monitorRequest(1)));
        ASSERT_EQ(a.size(), 1u);
        const int v = std::stoi(std::string(a[0].begin() + 8, a[0].end()), nullptr, 16);
        EXPECT_NEAR(programTemperature(v), t, 0.5) << t;
    }
    // Far outside, the reading stays clear of the broken-sensor values 0 and 255.
    EXPECT_EQ(sim::thermistorRaw(250.0), 254);
    EXPECT_EQ(sim::thermistorRaw(-90.0), 1);
}

// Settings of one stage, swept through the radio's commands, that give the highest SD reading.
std::vector<int> bestSettings(Bench& b, int stage) {
    int best = -1;
    std::vector<int> at;
    for (int v = -128; v <= 127; ++v) {
        b.exchange(adjustRequest(static_cast<uint8_t>(12 + stage), static_cast<uint8_t>(v)));
        const auto a = answers(b.exchange(monitorRequest(3)));
        const int sd = std::stoi(std::string(a.at(0).begin() + 8, a.at(0).end()), nullptr, 16);
        if (sd > best) at.clear();
        if (sd >= best) {
            best = sd;
            at.push_back(v);
        }
    }
    return at;
}

TEST(SimRadio, SdPeaksOverEachStagesPlateau) {
    struct Case {
        int stage;
        sim::Plateau plateau;
        int others;  // setting of the stages not swept
    } cases[] = {{0, {10, 5}, 0},
                 {1, {10, 5}, -100},
                 {2, {-40, 1}, 127},
                 {3, {100, 28}, 12},
                 {3, {-128, 3}, -128}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stage);
        auto o = Bench::unpaced();
        o.plateaus[static_cast<size_t>(c.stage)] = c.plateau;
        Bench b(o);
        for (int s = 0; s < 4; ++s)
            if (s != c.stage)
                b.exchange(
                    adjustRequest(static_cast<uint8_t>(12 + s), static_cast<uint8_t>(c.others)));
        std::vector<int> want;
        for (int v = c.plateau.lo; v < c.plateau.lo + c.plateau.width && v <= 127; ++v)
            want.push_back(v);
        EXPECT_EQ(bestSettings(b, c.stage), want);
    }
}

TEST(SimRadio, TransmitFrequencyFollowsTemperatureAndTable) {
    // The sample table compensates its own crystal at every temperature.
    for (double t = -20.0; t <= 60.0; t += 5.0) {
        auto o = Bench::unpaced();
        o.temperatureC = t;
        Bench b(o);
        EXPECT_NEAR(b.radio.txfErrorPpm(), 0.0, 0.3) << t;
    }
    // Writing the band's value as the TXF procedure does moves the frequency 1 ppm per 4 steps.
    Bench b;
    b.exchange(adjustRequest(0, 1));  // channel 0: 146.250 MHz
    const int band = sim::temperatureBand(sim::thermistorRaw(25.0));
    for (int step : {0, 4, -8}) {
        b.exchange(
            adjustRequest(static_cast<uint8_t>(16 + band), static_cast<uint8_t>(128 + step)));
        b.exchange(adjustRequest(static_cast<uint8_t>(36 + band), 0));
        const double expected =
            sim::crystalDriftPpm(sim::thermistorReading(25.0), false) - 1.5 + step / 4.0;
        EXPECT_NEAR(b.radio.txfErrorPpm(), expected, 1e-9);
        EXPECT_NEAR(b.radio.txFrequencyHz(), 146.25e6 * (1 + expected * 1e-6), 1e-3);
    }
    // An inhibited transmit side does not transmit.
    b.exchange(adjustRequest(0, 8));
    EXPECT_EQ(b.radio.txFrequencyHz(), 0.0);
}

TEST(SimRadio, SampleImageChannels) {
    const ByteString img = sim::sampleImage();
    auto at = [&](int ch, int off) { return img[static_cast<size_t>(576 + 20 * ch + off)]; };
    EXPECT_EQ(ByteString({at(0, 0), at(0, 1), at(0, 2)}), hex("146250"));
    EXPECT_EQ(ByteString({at(4, 0), at(4, 1), at(4, 2)}), hex("446000"));
    EXPECT_EQ(at(3, 0), 0xFF);
    EXPECT_EQ(at(6, 0), 0x94);      // receive inhibited
    EXPECT_NE(at(7, 3) & 0x80, 0);  // transmit inhibited
    EXPECT_NE(at(1, 9) & 0x02, 0);  // low power
    EXPECT_EQ(at(5, 9) & 0x02, 0);  // high power with other bits set
    EXPECT_EQ(img[67], 0x14);
    int inUse = 0;
    for (int ch = 0; ch < 40; ++ch) {
        if (at(ch, 0) == 0xFF) continue;
        ++inUse;
        for (int off = 0; off < 6; ++off) {
            const uint8_t d = off % 3 == 0 ? (at(ch, off) & 0x7F) : at(ch, off);
            EXPECT_TRUE((d >> 4) <= 9 && (d & 15) <= 9) << ch << ":" << off;
        }
    }
    EXPECT_EQ(inUse, 10);
}

TEST(SimRadio, ImageFiles) {
    const std::string path = ::testing::TempDir() + "sim_image_test.bin";
    auto write = [&](size_t n) { std::ofstream(path, std::ios::binary) << std::string(n, '\x5A'); };
    ByteString img;
    std::string err;
    write(5120);
    ASSERT_TRUE(sim::loadImageFile(path, img, err)) << err;
    EXPECT_EQ(img, ByteString(5120, 0x5A));
    write(3072);
    EXPECT_FALSE(sim::loadImageFile(path, img, err));
    EXPECT_NE(err.find("3072"), std::string::npos);
    std::remove(path.c_str());
    EXPECT_FALSE(sim::loadImageFile(path, img, err));
    ManualTickSource clock;
    EXPECT_THROW(sim::SimRadio(clock, {}, ByteString(100)), std::invalid_argument);
}

TEST(SimRadio, DroppedLineForgetsHalfFramesAndUnsentBytes) {
    sim::SimOptions o;
    Bench b(o);
    b.radio.receive(kCloneRead);
    b.run(1000);
    b.radio.receive(hex("FE FE EE EF E0 22"));
    b.radio.dropLine();
    EXPECT_EQ(b.radio.pendingCount(), 0u);
    b.radio.receive(hex("51 00 00 FD"));  // the rest of the broken frame
    b.run(200);
    EXPECT_TRUE(answers(ByteString(b.line.end() - 4, b.line.end())).empty());
    EXPECT_EQ(b.radio.requests().size(), 1u);
    EXPECT_EQ(answers(b.exchange(kIdent, 200)).size(), 1u);
}

}  // namespace
}  // namespace kv7::simtest
