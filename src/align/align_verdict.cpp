#include "align/align_verdict.h"

#include <algorithm>
#include <cmath>

namespace kv7 {

double AlignVerdict::mean() const {
    if (readings_.empty()) return 0;
    double sum = 0;
    for (double r : readings_) sum += r;
    return sum / static_cast<double>(readings_.size());
}

std::string AlignVerdict::fault(AlignMeasure measure, int16_t value, double target, double allowed,
                                double tolerance) const {
    const auto [lo, hi] = std::minmax_element(readings_.begin(), readings_.end());
    std::string readings;
    for (double r : readings_) {
        readings += (readings.empty() ? "" : ", ") + AlignReadingText(measure, r);
    }
    const std::string within = "+/- " + AlignToleranceText(measure, tolerance);
    if (*hi - *lo > tolerance) {
        return "the readings at " + std::to_string(value) + " (" + readings + ") scatter over " +
               AlignToleranceText(measure, *hi - *lo) + ", more than the tolerance of " + within +
               ": the test set is too noisy for that tolerance";
    }
    const bool inside = std::all_of(readings_.begin(), readings_.end(),
                                    [&](double r) { return std::fabs(r - target) <= allowed; });
    if (inside) return {};
    return "the closest value, " + std::to_string(value) + ", reads " + readings + ": outside " +
           AlignReadingText(measure, target) + " within +/- " +
           AlignToleranceText(measure, allowed);
}

}  // namespace kv7
