#include <algorithm>
#include <cmath>

#include "sim/sim_physics.h"
#include "sim/sim_radio.h"
#include "store/image_file.h"

namespace kv7::sim {

namespace {

struct SampleChannel {
    int ch;
    uint32_t rxKhz, txKhz;
    bool rxInhibit, txInhibit;
    uint8_t flags;  // record byte 9; bit 1 set is low power
};

// A mix a technician would meet: simplex and repeater pairs on both bands, inhibited sides,
// low and high power, and gaps of empty channels.
constexpr SampleChannel kChannels[] = {
    {0, 146250, 146250, false, false, 0x00},  {1, 146520, 146520, false, false, 0x02},
    {2, 145230, 144630, false, false, 0x00},  {4, 446000, 446000, false, false, 0x02},
    {5, 439250, 434250, false, false, 0xFD},  {6, 146250, 146250, true, false, 0x00},
    {7, 162550, 162550, false, true, 0x02},   {9, 147000, 147600, false, false, 0x02},
    {10, 433000, 433000, false, false, 0xFD}, {11, 145500, 145500, false, false, 0x03},
};

void putBcdKhz(ByteString& img, size_t at, uint32_t khz, bool inhibit) {
    for (int i = 0; i < 3; ++i) {
        const uint32_t pair = (khz / (i == 0 ? 10000 : i == 1 ? 100 : 1)) % 100;
        img[at + static_cast<size_t>(i)] = static_cast<uint8_t>((pair / 10) << 4 | pair % 10);
    }
    if (inhibit) img[at] |= 0x80;
}

uint8_t signedByte(int v) {
    return static_cast<uint8_t>(static_cast<int8_t>(v));
}

// The table a careful adjustment leaves: at every border the value that cancels the drift.
void putCompensation(ByteString& img, const SimOptions& o) {
    std::array<uint8_t, 2> sub{};
    const bool older = parseCode(o.subName, sub) && (sub[0] << 8 | sub[1]) < 0x0200;
    std::array<double, 21> value{};
    for (size_t i = 0; i < value.size(); ++i) {
        const double drift = crystalDriftPpm(kTempBorders[i], older) + o.crystalOffsetPpm;
        value[i] = o.txfCenter - o.txfUnitsPerPpm * drift;
    }
    for (size_t b = 0; b < 20; ++b) {
        const double slope =
            (value[b + 1] - value[b]) / (kTempBorders[b + 1] - kTempBorders[b]) * 32.0;
        img[92 + b] = static_cast<uint8_t>(std::clamp(std::round(value[b]), 0.0, 255.0));
        img[72 + b] = signedByte(static_cast<int>(std::clamp(std::round(slope), -128.0, 127.0)));
    }
}

}  // namespace

ByteString sampleImage(const SimOptions& options) {
    ByteString img(kImageSize, 0xFF);
    std::fill(img.begin(), img.begin() + 576, 0x00);
    // Identity area at the start of the memory.
    const char* tag = "QT-KV7  ";
    for (size_t i = 0; i < 8; ++i) img[16 + i] = static_cast<uint8_t>(tag[i]);
    std::array<uint8_t, 2> code{};
    if (parseCode(options.modelCode, code)) std::copy(code.begin(), code.end(), img.begin());
    if (parseCode(options.subName, code)) std::copy(code.begin(), code.end(), img.begin() + 2);

    img[48] = 80;   // Power(LO)
    img[49] = 200;  // Power(Hi)
    const int modDiv[] = {0, 2, -1, 3, -2}, powDiv[] = {1, -1, 0, 2, -3};
    for (size_t i = 0; i < 5; ++i) {
        img[52 + i] = signedByte(modDiv[i]);
        img[57 + i] = signedByte(powDiv[i]);
    }
    img[62] = 134;                       // MOD
    img[63] = 122;                       // DTCS BAL
    img[64] = signedByte(5);             // MOD slant
    img[65] = signedByte(-3);            // SQL slant
    img[67] = 0x14;                      // base frequency 140 MHz
    const int bpf[] = {12, 11, 13, -8};  // T4 well off its peak, for the sweep to find
    for (size_t i = 0; i < 4; ++i) img[68 + i] = signedByte(bpf[i]);
    putCompensation(img, options);
    img[135] = 64;  // SQL

    for (const auto& c : kChannels) {
        const size_t at = kEeChannels + kChannelRecordSize * static_cast<size_t>(c.ch);
        std::fill(img.begin() + static_cast<long>(at), img.begin() + static_cast<long>(at + 20),
                  0x00);
        putBcdKhz(img, at, c.rxKhz, c.rxInhibit);
        putBcdKhz(img, at + 3, c.txKhz, c.txInhibit);
        img[at + 6] = 0x08;  // tone
        img[at + 9] = c.flags;
    }
    return img;
}

bool loadImageFile(const std::string& path, ByteString& image, std::string& error) {
    // A bare image or a saved one with its description after the bytes.
    ImageFile file;
    if (!readImageFile(path, true, file, error)) return false;
    image = std::move(file.image);
    return true;
}

}  // namespace kv7::sim
