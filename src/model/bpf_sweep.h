#pragma once
#include <array>
#include <cstdint>

#include "model/procedure_parts.h"

namespace kv7 {

// The steps of the BPF sweep, numbered as the controller counts its procedure steps.
enum class SweepStep : int16_t {
    Off = 0,
    Start = 6,
    Clear = 7,      // the selected stages start from 0
    NextStage = 8,  // reads the input level and picks the next selected stage
    Sweep = 9,      // steps the stage over its range, reading the level at each value
    End = 10,
};

// The BPF sweep: each selected stage is stepped over its range and set to the middle of the
// plateau of the highest level read.
class BpfSweep {
  public:
    explicit BpfSweep(ProcedureParts parts) : parts_(parts) {}

    void setFirstStage(int16_t bpfT1Index) { firstStage_ = bpfT1Index; }
    void setObserver(SessionObserver* o) { observer_ = o; }

    SweepStep step() const { return step_; }
    bool running() const { return step_ != SweepStep::Off; }
    // The stage (0 to 3) is one the sweep has still to do.
    bool selected(int stage) const { return stage >= 0 && stage < 5 && selected_[stage]; }

    // Chooses the stages: one (0 to 3), or all four when all is set.
    void select(int16_t stage, bool all);
    // Stops the sweep; the stages chosen are kept.
    void reset();
    void start() { step_ = SweepStep::Start; }
    // One step of the monitoring cycle; true when the step is done.
    bool run();

  private:
    bool clear();
    bool nextStage(SweepStep& next);
    bool sweep(SweepStep& next);
    int16_t stageItem() const { return static_cast<int16_t>(firstStage_ + stage_); }

    ProcedureParts parts_;
    SessionObserver* observer_ = nullptr;
    int16_t firstStage_ = 0;

    SweepStep step_ = SweepStep::Off;
    std::array<bool, 5> selected_{};
    bool all_ = false;
    int16_t lvin_ = 0;  // the input level read before the stage

    // Progress of the running step.
    int16_t phase_ = 0;  // 0: send the value, 1: request the level, 2 and on: awaiting it
    int16_t stage_ = 0;
    int16_t best_ = 0;
    int16_t plateauLo_ = 0;
    int16_t plateauHi_ = 0;
};

}  // namespace kv7
