#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv7 {

// What a reading of the test set measured, for showing it in its unit.
enum class AlignMeasure { Power, Deviation, Frequency };

// One point aligned against the test set, as the service report keeps it. Readings are in W
// (power) or Hz (deviation, frequency).
struct AlignmentRecord {
    struct Step {
        int16_t value = 0;
        double reading = 0;
        double target = 0;  // TXF aims at another frequency in its second step
    };

    int64_t ms = 0;     // when the point ended
    std::string point;  // "Power(Hi)", "Power(LO)", "MOD", "TXF"
    AlignMeasure measure = AlignMeasure::Power;
    double target = 0;
    double tolerance = 0;
    int16_t valueBefore = 0;
    std::optional<double> readingBefore;
    int16_t valueAfter = 0;
    std::optional<double> readingAfter;
    std::vector<Step> steps;  // the search's readings, in order
    bool passed = false;
    std::string outcome;  // why it failed; empty when it passed
};

// "5.02 W", "2.95 kHz", "150.012345 MHz": a reading as the technician reads it.
std::string AlignReadingText(AlignMeasure measure, double value);
// "0.10 W", "50 Hz": a tolerance, in whole hertz for a frequency.
std::string AlignToleranceText(AlignMeasure measure, double tolerance);
// "Power(Hi): PASS, 5.01 W at 215 (6 steps)" or "MOD: FAIL, why".
std::string AlignResultLine(const AlignmentRecord& r);

}  // namespace kv7
