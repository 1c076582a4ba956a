#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace kv7 {

// The search for the value of an item whose reading comes closest to a target, for a reading
// that rises with the value: two probes, then secant steps, bisecting a bracket where the
// secant leaves it, always within the item's limits and within a number of readings.
class AlignSearch {
  public:
    enum class Outcome {
        Searching,
        Converged,   // a reading inside half the tolerance, or two neighbouring values bracket it
        StepsUsed,   // the readings allowed are spent
        OutOfReach,  // even a limit does not reach the target (both limits read)
        Flat,        // the first two probes read the same
        WrongWay,    // the reading falls as the value rises
    };
    struct Probe {
        int16_t value = 0;
        double reading = 0;
    };

    AlignSearch(int16_t min, int16_t max, int16_t start, double target, double tolerance,
                int maxSteps);

    // The value to read next; none once the search has ended.
    std::optional<int16_t> next() const;
    // The reading at the value next() gave.
    void take(int16_t value, double reading);

    Outcome outcome() const { return outcome_; }
    const std::vector<Probe>& probes() const { return probes_; }
    // The probe whose reading came closest to the target.
    Probe best() const;
    // Readings at the limits, when the search read them.
    std::optional<double> readingAt(int16_t value) const;

  private:
    void decide();
    std::optional<int16_t> secondProbe() const;
    std::optional<int16_t> towardTarget();
    int16_t clamp(long v) const;
    bool probed(int16_t v) const { return readingAt(v).has_value(); }

    int16_t min_;
    int16_t max_;
    int16_t start_;
    double target_;
    double tolerance_;
    int maxSteps_;
    std::vector<Probe> probes_;
    Outcome outcome_ = Outcome::Searching;
    std::optional<int16_t> next_;
};

}  // namespace kv7
