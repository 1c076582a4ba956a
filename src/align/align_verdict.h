#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "model/alignment_record.h"

namespace kv7 {

// The verdict at a point's final value: fresh readings, every one of which must lie within
// what is allowed around the target, and which must agree with each other within the tolerance;
// readings that scatter more than that say the test set is too noisy to judge the point.
class AlignVerdict {
  public:
    static constexpr size_t kReadings = 3;

    void clear() { readings_.clear(); }
    void take(double reading) { readings_.push_back(reading); }
    bool complete() const { return readings_.size() >= kReadings; }
    const std::vector<double>& readings() const { return readings_; }
    double mean() const;

    // Empty when the point passes: every reading within `allowed` of the target and all of them
    // within `tolerance` of each other; otherwise why it fails, naming the value and readings.
    std::string fault(AlignMeasure measure, int16_t value, double target, double allowed,
                      double tolerance) const;

  private:
    std::vector<double> readings_;
};

}  // namespace kv7
