#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "model/alignment_record.h"

namespace kv7 {

// Where a run stands, for the test-set window.
struct AlignProgress {
    std::string point;
    std::string state;  // "searching", "keying", ...
    int step = 0;       // readings of the search so far
    int16_t value = 0;
    std::optional<double> reading;
    AlignMeasure measure = AlignMeasure::Power;
    double target = 0;
    double tolerance = 0;
};

// What a run shows and asks the technician.
class AlignView {
  public:
    virtual ~AlignView() = default;
    // OK / Cancel; the answer comes back through AlignRun::answer.
    virtual void askKeyUp(const std::string& text) = 0;
    virtual void showProgress(const AlignProgress& progress) = 0;
    // The run is over (its message has been shown): menus and window go back to readings.
    virtual void runEnded() = 0;
};

}  // namespace kv7
