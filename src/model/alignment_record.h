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
    // The fresh readings at the final value that decided the verdict (TXF: once the whole table
    // was written); readingAfter is their mean.
    std::vector<double> checks;
    double window = 0;  // TXF: how far the carrier may lie from the channel with the table written
    bool passed = false;
    bool cancelled = false;  // the technician (or the program's end) stopped it: not a failure
    std::string outcome;     // why it did not pass, without a full stop; empty when it passed
    // What became of the value before the run, when the run changed it and did not keep the
    // change: "The value is back at 134.", or, when the radio could not take it back, what it
    // may keep. Empty when nothing was to go back.
    std::string putBack;
    // Whether what the run changed is back on the radio; none when nothing was to go back.
    std::optional<bool> backOnRadio;
};

// "5.02 W", "2.95 kHz", "150.012345 MHz": a reading as the technician reads it.
std::string AlignReadingText(AlignMeasure measure, double value);
// "0.10 W", "50 Hz": a tolerance, in whole hertz for a frequency.
std::string AlignToleranceText(AlignMeasure measure, double tolerance);
// "PASS", "FAIL" or "CANCELLED".
const char* AlignVerdictName(const AlignmentRecord& r);
// "Power(Hi): PASS, 5.01 W at 215 (6 steps)", "MOD: FAIL, why. The value is back at 134." or
// "MOD: CANCELLED by the technician. The value is back at 134.":
// the one line the run's summary, the session and the report give for a point.
std::string AlignResultLine(const AlignmentRecord& r);

}  // namespace kv7
