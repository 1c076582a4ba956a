#pragma once
#include <array>
#include <cstdint>

namespace kv7::sim {

// What the radio's circuits do, as the simulation models them.

// TEMPS input: a 47 kOhm thermistor (B = 4000 K at 25 C) with 100 kOhm, read by an 8-bit
// converter on 5 V. Returns the unrounded reading; the radio reports it rounded and kept
// within 1 to 254 (0 and 255 would read as a broken sensor).
double thermistorReading(double temperatureC);
uint8_t thermistorRaw(double temperatureC);

// Temperature readings at which the radio's TXF table bands start (band b from border b).
inline constexpr std::array<int16_t, 21> kTempBorders = {
    0, 16, 24, 32, 40, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 216, 224, 232, 240, 255};

// Band 0 to 19 of a temperature reading.
int16_t temperatureBand(int16_t reading);

// Frequency drift of the transmit crystal in ppm at a temperature reading, before the
// crystal's own offset; radios of sub name below 0200 carry the older crystal.
double crystalDriftPpm(double reading, bool olderCrystal);

}  // namespace kv7::sim
