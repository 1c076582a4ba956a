#include "sim/sim_physics.h"

#include <algorithm>
#include <cmath>

namespace kv7::sim {

namespace {

// Drift at each band border, in ppm relative to the coldest reading.
constexpr std::array<double, 21> kDriftCurrent = {
    0.0000, 0.0123, 0.0489, 0.1090, 0.1910, 0.2929, 0.4122, 0.5460, 0.6910, 0.8436, 1.0000,
    1.1564, 1.3090, 1.4540, 1.5878, 1.7071, 1.8090, 1.8910, 1.9511, 1.9877, 2.0000};
constexpr std::array<double, 21> kDriftOlder = {
    0.0000, 0.0131, 0.0480, 0.1041, 0.1799, 0.2736, 0.3830, 0.5054, 0.6379, 0.7772, 0.9200,
    1.0628, 1.2021, 1.3346, 1.4570, 1.5664, 1.6601, 1.7359, 1.7920, 1.8269, 1.8400};

}  // namespace

double thermistorReading(double temperatureC) {
    const double kelvin = temperatureC + 273.15;
    const double r = 47000.0 * std::exp(4000.0 * (1.0 / kelvin - 1.0 / 298.15));
    const double volts = 500000.0 / (r + 100000.0);
    return volts * 255.0 / 5.0;
}

uint8_t thermistorRaw(double temperatureC) {
    const double v = std::round(thermistorReading(temperatureC));
    return static_cast<uint8_t>(std::clamp(v, 1.0, 254.0));
}

int16_t temperatureBand(int16_t reading) {
    int16_t band = 0;
    for (int16_t b = 0; b < 20; ++b) {
        if (kTempBorders[static_cast<size_t>(b)] <= reading) band = b;
    }
    return band;
}

double crystalDriftPpm(double reading, bool olderCrystal) {
    const auto& curve = olderCrystal ? kDriftOlder : kDriftCurrent;
    const double r = std::clamp(reading, 0.0, 255.0);
    size_t i = 0;
    while (i + 2 < kTempBorders.size() && kTempBorders[i + 1] <= r) ++i;
    const double lo = kTempBorders[i], hi = kTempBorders[i + 1];
    return curve[i] + (curve[i + 1] - curve[i]) * (r - lo) / (hi - lo);
}

}  // namespace kv7::sim
