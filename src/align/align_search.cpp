#include "align/align_search.h"

#include <algorithm>
#include <cmath>

namespace kv7 {

namespace {

// The first step away from the start: large enough to rise above a test set's noise, small
// enough to stay near an item that is almost right.
int firstStep(int16_t min, int16_t max) {
    return std::max(2, (max - min) / 16);
}

}  // namespace

AlignSearch::AlignSearch(int16_t min, int16_t max, int16_t start, double target, double tolerance,
                         int maxSteps)
    : min_(min),
      max_(max),
      start_(std::clamp(start, min, max)),
      target_(target),
      tolerance_(tolerance),
      maxSteps_(std::max(2, maxSteps)),
      next_(start_) {}

std::optional<int16_t> AlignSearch::next() const {
    return outcome_ == Outcome::Searching ? next_ : std::nullopt;
}

void AlignSearch::take(int16_t value, double reading) {
    if (outcome_ != Outcome::Searching) return;
    probes_.push_back({value, reading});
    decide();
}

AlignSearch::Probe AlignSearch::best() const {
    Probe b = probes_.empty() ? Probe{start_, 0} : probes_.front();
    for (const Probe& p : probes_) {
        if (std::fabs(p.reading - target_) < std::fabs(b.reading - target_)) b = p;
    }
    return b;
}

std::optional<double> AlignSearch::readingAt(int16_t value) const {
    for (auto it = probes_.rbegin(); it != probes_.rend(); ++it) {
        if (it->value == value) return it->reading;
    }
    return std::nullopt;
}

int16_t AlignSearch::clamp(long v) const {
    return static_cast<int16_t>(std::clamp<long>(v, min_, max_));
}

// The second probe goes a first step toward the target; from a limit that is already short of
// it, to the other limit, which tells whether the target is within reach at all.
std::optional<int16_t> AlignSearch::secondProbe() const {
    const Probe& p = probes_.front();
    const int dir = p.reading < target_ ? 1 : -1;
    const int16_t v = clamp(p.value + dir * firstStep(min_, max_));
    if (v != p.value) return v;
    return dir > 0 ? min_ : max_;
}

void AlignSearch::decide() {
    const Probe& last = probes_.back();
    if (std::fabs(last.reading - target_) <= tolerance_ / 2) {
        outcome_ = Outcome::Converged;
        return;
    }
    if (probes_.size() == 1) {
        next_ = secondProbe();
        return;
    }
    // The first two probes show how the item acts on the reading.
    if (probes_.size() == 2) {
        const Probe& a = probes_[0];
        const Probe& b = probes_[1];
        const double rise = (b.reading - a.reading) * (b.value > a.value ? 1 : -1);
        const double perStep = std::fabs(b.reading - a.reading) / std::abs(b.value - a.value);
        if (rise < -tolerance_) {
            outcome_ = Outcome::WrongWay;
            return;
        }
        if (perStep * (max_ - min_) < tolerance_) {
            outcome_ = Outcome::Flat;
            return;
        }
    }
    if (static_cast<int>(probes_.size()) >= maxSteps_) {
        outcome_ = Outcome::StepsUsed;
        return;
    }
    const std::optional<int16_t> v = towardTarget();
    if (!v) return;
    next_ = *v;
}

// The next value: inside the bracket of the readings below and above the target when there is
// one, otherwise a secant step (or a doubled step) toward the target.
std::optional<int16_t> AlignSearch::towardTarget() {
    std::optional<Probe> below;  // highest value reading below the target
    std::optional<Probe> above;  // lowest value reading above it
    for (const Probe& p : probes_) {
        if (p.reading < target_ && (!below || p.value > below->value)) below = p;
        if (p.reading > target_ && (!above || p.value < above->value)) above = p;
    }
    const Probe& last = probes_.back();
    const Probe& before = probes_[probes_.size() - 2];
    const double slope = before.value != last.value
                             ? (last.reading - before.reading) / (last.value - before.value)
                             : 0.0;
    if (below && above && below->value < above->value) {
        if (above->value - below->value <= 1) {
            outcome_ = Outcome::Converged;
            return std::nullopt;
        }
        // The secant through the bracket's ends, unless it leaves the bracket or repeats.
        const double s = (above->reading - below->reading) / (above->value - below->value);
        long v = std::lround(below->value + (target_ - below->reading) / s);
        if (v <= below->value || v >= above->value || probed(static_cast<int16_t>(v))) {
            v = (below->value + above->value) / 2;
        }
        return static_cast<int16_t>(v);
    }
    // No bracket: every reading is on one side (or the readings contradict each other).
    const bool rising = last.reading < target_;
    const int16_t limit = rising ? max_ : min_;
    if (last.value == limit ||
        (probed(limit) && (rising ? *readingAt(limit) < target_ : *readingAt(limit) > target_))) {
        const int16_t other = rising ? min_ : max_;
        if (probed(other)) {
            outcome_ = Outcome::OutOfReach;
            return std::nullopt;
        }
        if (probed(limit)) return other;
        return limit;
    }
    long v = 0;
    if (slope > 0) {
        v = std::lround(last.value + (target_ - last.reading) / slope);
    } else {
        v = last.value + (rising ? 2 : -2) *
                             std::max(firstStep(min_, max_), std::abs(last.value - before.value));
    }
    int16_t c = clamp(v);
    if (c == last.value) c = clamp(last.value + (rising ? 1 : -1));
    if (probed(c) && c != limit) c = clamp(c + (rising ? 1 : -1));
    return c;
}

}  // namespace kv7
