#include "model/txf_table.h"

#include <algorithm>
#include <cmath>

#include "store/common.h"

namespace kv7 {

namespace {

constexpr int16_t kBands = 20;
constexpr int16_t kEntries = 40;

// Limited first, then rounded, so a value far outside the byte cannot overflow.
int16_t roundLimited(double v, int16_t lo, int16_t hi) {
    if (std::isnan(v)) throw OverflowError("TXF table value is not a number");
    return VbCInt(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

void checkEntry(int16_t entry) {
    if (entry < 0 || entry >= kEntries) throw SubscriptError("TXF table entry out of range");
}

void checkBand(int16_t band) {
    if (band < 0 || band >= kBands) throw SubscriptError("TXF band out of range");
}

uint8_t byteValue(int16_t v) {
    return static_cast<uint8_t>(v & 0xFF);
}

}  // namespace

TempBorderTable DefaultTempBorders() {
    return {0,   16,  24,  32,  40,  48,  64,  80,  96,  112, 128,
            144, 160, 176, 192, 208, 216, 224, 232, 240, 255, 0};
}

int16_t TempBand(int16_t t, const TempBorderTable& border) {
    int16_t band = 0;
    for (int16_t b = 0; b < kBands; ++b)
        if (border[static_cast<size_t>(b)] <= t) band = b;
    return band;
}

int16_t VbCInt(double x) {
    if (!(x > -32768.5 && x < 32767.5)) throw OverflowError("16-bit overflow");
    double r = std::floor(x);
    const double frac = x - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return static_cast<int16_t>(r);
}

bool UsesRev10Constants(const std::string& radionameS) {
    return radionameS < "0200";
}

TxfTable ComputeTxfTable(int16_t txfRef1, int16_t txfRef2, const ConstTable& constants,
                         const TempBorderTable& border, int16_t temps) {
    TxfTable t;
    t.k = static_cast<float>((txfRef2 - txfRef1) / 10.0);
    for (size_t i = 0; i <= 20; ++i)
        t.txfBandValue[i] = static_cast<float>(txfRef1) - t.k * constants[i];
    for (size_t i = 0; i < 20; ++i) {
        const int span = border[i + 1] - border[i];
        if (span == 0) throw OverflowError("division by zero in the TXF slope");
        t.txfBandSlope[i] =
            (t.txfBandValue[i + 1] - t.txfBandValue[i]) / static_cast<float>(span) * 32.0f;
    }
    t.band = TempBand(temps, border);
    const auto b = static_cast<size_t>(t.band);
    const int32_t s = VbCInt(t.txfBandSlope[b]);
    // 32-bit product: the step is scaled down by 32 right away, so 16 bits would be no limit.
    const int32_t step = (temps - border[b]) * s;
    t.txfInterp = static_cast<float>(std::floor(static_cast<double>(t.txfBandValue[b]) + 0.5) +
                                     static_cast<float>(step) / 32.0f);
    t.txfOffset = VbCInt(txfRef1 - std::floor(static_cast<double>(t.txfInterp)));
    return t;
}

int16_t TxfFullBandValue(const TxfTable& t, int16_t band) {
    checkBand(band);
    const double v =
        std::floor(static_cast<double>(t.txfBandValue[static_cast<size_t>(band)]) + 0.5) +
        t.txfOffset;
    return roundLimited(v, 0, 255);
}

int16_t TxfFullBandSlope(const TxfTable& t, int16_t band) {
    checkBand(band);
    return roundLimited(t.txfBandSlope[static_cast<size_t>(band)], -128, 127);
}

int16_t TxfEntryCommand(int16_t entry) {
    checkEntry(entry);
    return static_cast<int16_t>(16 + entry);
}

int32_t TxfEntryEeAdr(int16_t entry) {
    checkEntry(entry);
    return entry < kBands ? 92 + entry : 52 + entry;
}

TxfWrite TxfFullPlanEntry(const TxfTable& t, int16_t entry) {
    checkEntry(entry);
    if (entry < kBands) return {entry, byteValue(TxfFullBandValue(t, entry))};
    return {entry, byteValue(TxfFullBandSlope(t, static_cast<int16_t>(entry - kBands)))};
}

std::vector<TxfWrite> TxfFullPlan(const TxfTable& t) {
    std::vector<TxfWrite> plan;
    for (int16_t e = 0; e < kEntries; ++e) plan.push_back(TxfFullPlanEntry(t, e));
    return plan;
}

TxfWrite TxfFlatPlanEntry(int16_t txfRef1, int16_t entry) {
    checkEntry(entry);
    if (entry < kBands) return {entry, byteValue(std::clamp<int16_t>(txfRef1, 0, 255))};
    return {entry, 0};
}

std::vector<TxfWrite> TxfFlatPlan(int16_t txfRef1) {
    std::vector<TxfWrite> plan;
    for (int16_t e = 0; e < kEntries; ++e) plan.push_back(TxfFlatPlanEntry(txfRef1, e));
    return plan;
}

std::vector<TxfWrite> TxfWindowPlan(int16_t band, int16_t value) {
    const int16_t lo = std::max<int16_t>(0, static_cast<int16_t>(band - 1));
    const int16_t hi = std::min<int16_t>(kBands - 1, static_cast<int16_t>(band + 1));
    const uint8_t v = byteValue(std::clamp<int16_t>(value, 0, 255));
    std::vector<TxfWrite> plan;
    for (int16_t b = lo; b <= hi; ++b) plan.push_back({b, v});
    for (int16_t b = lo; b <= hi; ++b) plan.push_back({static_cast<int16_t>(kBands + b), 0});
    return plan;
}

int16_t TxfSecondStartValue(int16_t currentValue, int16_t txfRef1) {
    if (currentValue >= 205) return 255;
    return std::min<int16_t>(255, checkedAdd16(txfRef1, 60));
}

}  // namespace kv7
