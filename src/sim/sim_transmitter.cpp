#include "sim/sim_transmitter.h"

#include <cmath>

namespace kv7::sim {

namespace {

// A logistic curve through 0 at setting 0 and 1 at setting 255, steepest at `middle`.
double sCurve(uint8_t setting, double middle, double width) {
    auto l = [&](double x) { return 1.0 / (1.0 + std::exp(-(x - middle) / width)); };
    return (l(setting) - l(0)) / (l(255) - l(0));
}

}  // namespace

SimTransmitter::SimTransmitter(const SimRadio& radio, TickSource& ticks)
    : radio_(radio), release_(ticks) {
    const double s = radio.options().pttReleaseAfterS;
    if (s >= 0) release_.setCounter(static_cast<int32_t>(std::lround(s * 1000)));
}

double SimTransmitter::powerHiW(uint8_t setting) {
    return 0.3 + 5.2 * sCurve(setting, 150, 35);  // 0.3 W .. 5.5 W
}

double SimTransmitter::powerLoW(uint8_t setting) {
    return 0.1 + 1.9 * sCurve(setting, 100, 35);  // 0.1 W .. 2.0 W
}

double SimTransmitter::deviationHz(uint8_t setting) {
    return 5000.0 * std::pow(setting / 255.0, 1.3);  // 0 .. 5 kHz
}

bool SimTransmitter::keyed() {
    const SimOptions& o = radio_.options();
    return o.ptt && (o.pttReleaseAfterS < 0 || release_.counter() > 0);
}

Emission SimTransmitter::emission() {
    Emission e;
    const double f = radio_.txFrequencyHz();
    if (!keyed() || f <= 0) return e;
    const ByteString& img = radio_.image();
    e.carrier = true;
    e.powerW = radio_.lowPowerSelected() ? powerLoW(img[kEePowerLo]) : powerHiW(img[kEePowerHi]);
    e.frequencyHz = f;
    e.deviationHz = deviationHz(img[kEeMod]);
    return e;
}

}  // namespace kv7::sim
