#include "model/alignment_record.h"

#include <cmath>
#include <cstdio>

namespace kv7 {

std::string AlignReadingText(AlignMeasure measure, double value) {
    char buf[48];
    switch (measure) {
        case AlignMeasure::Power: std::snprintf(buf, sizeof buf, "%.2f W", value); break;
        case AlignMeasure::Deviation:
            std::snprintf(buf, sizeof buf, "%.2f kHz", value / 1e3);
            break;
        case AlignMeasure::Frequency:
            std::snprintf(buf, sizeof buf, "%.6f MHz", value / 1e6);
            break;
    }
    return buf;
}

std::string AlignToleranceText(AlignMeasure measure, double tolerance) {
    if (measure == AlignMeasure::Frequency) return std::to_string(std::lround(tolerance)) + " Hz";
    return AlignReadingText(measure, tolerance);
}

const char* AlignVerdictName(const AlignmentRecord& r) {
    if (r.passed) return "PASS";
    return r.cancelled ? "CANCELLED" : "FAIL";
}

std::string AlignResultLine(const AlignmentRecord& r) {
    std::string line;
    if (r.passed) {
        const std::string reading =
            r.readingAfter ? AlignReadingText(r.measure, *r.readingAfter) : std::string("-");
        line = r.point + ": PASS, " + reading + " at " + std::to_string(r.valueAfter) + " (" +
               std::to_string(r.steps.size()) + (r.steps.size() == 1 ? " step" : " steps");
        if (r.window > 0) {
            line +=
                "; with the table written within +/- " + AlignToleranceText(r.measure, r.window);
        }
        line += ")";
    } else if (r.cancelled) {
        line = r.point + ": CANCELLED by the technician.";
    } else {
        line = r.point + ": FAIL, " + r.outcome + ".";
    }
    if (!r.putBack.empty()) line += " " + r.putBack;
    return line;
}

}  // namespace kv7
