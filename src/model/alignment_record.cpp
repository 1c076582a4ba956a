#include "model/alignment_record.h"

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

}  // namespace kv7
