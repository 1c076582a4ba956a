#include "model/bpf_sweep.h"

#include <cmath>

#include "store/common.h"

namespace kv7 {

void BpfSweep::select(int16_t stage, bool all) {
    for (int i = 0; i < 4; ++i) selected_[i] = all;
    all_ = all;
    if (!all) selected_[static_cast<size_t>(stage)] = true;
}

void BpfSweep::reset() {
    step_ = SweepStep::Off;
    phase_ = 0;
    stage_ = 0;
    best_ = 0;
    plateauLo_ = 0;
    plateauHi_ = 0;
}

bool BpfSweep::run() {
    if (parts_.seq.OpRunning()) return false;
    auto next = static_cast<SweepStep>(static_cast<int16_t>(step_) + 1);
    bool done = false;
    switch (step_) {
        case SweepStep::Off: break;
        case SweepStep::Start: done = true; break;
        case SweepStep::Clear: done = clear(); break;
        case SweepStep::NextStage: done = nextStage(next); break;
        case SweepStep::Sweep:
            done = sweep(next);
            // A failed reading leaves the step as it is: the connection starts again.
            if (parts_.monitor.commError()) return done;
            break;
        case SweepStep::End:
            next = SweepStep::Off;
            parts_.beeper.beep();
            done = true;
            break;
    }
    if (done) {
        step_ = next;
        phase_ = 0;
    }
    return done;
}

bool BpfSweep::clear() {
    for (int16_t s = 0; s < 4; ++s) {
        if (!selected_[static_cast<size_t>(s)]) continue;
        const auto item = static_cast<int16_t>(firstStage_ + s);
        parts_.console.setValue(item, 0);
        parts_.console.Disp(item);
    }
    return true;
}

bool BpfSweep::nextStage(SweepStep& next) {
    const bool done = parts_.monitor.readAd(2, phase_ == 0);
    phase_ = 1;
    if (!done || parts_.monitor.commError()) return done;
    lvin_ = parts_.monitor.lastAd(2);
    stage_ = 4;
    for (int16_t s = 0; s < 4; ++s) {
        if (selected_[static_cast<size_t>(s)]) {
            stage_ = s;
            break;
        }
    }
    if (stage_ == 4) {
        next = SweepStep::End;
        return true;
    }
    const int16_t item = stageItem();
    const int16_t min = parts_.console.Min(item);
    parts_.console.setValue(item, all_ ? checkedSub16(0, lvin_) : min);
    best_ = -1;
    plateauLo_ = plateauHi_ = min;
    if (observer_ != nullptr) observer_->sweepStageStarted(stage_, all_, lvin_);
    return true;
}

bool BpfSweep::sweep(SweepStep& next) {
    clsConsole& console = parts_.console;
    const int16_t item = stageItem();
    for (;;) {
        if (phase_ == 0) {
            console.SendE8(item);
            ReportItemSent(observer_, console, item, SendCause::SweepPoint);
            phase_ = 1;
            return false;
        }
        if (!parts_.monitor.readAd(3, phase_ == 1)) {
            ++phase_;
            return false;
        }
        if (parts_.monitor.commError()) return true;
        const int16_t r = parts_.monitor.lastAd(3);
        console.setWaitAfterE8(item, 0);
        const int16_t v = console.Value(item);
        if (observer_ != nullptr) observer_->sweepPoint(stage_, v, r);
        if (best_ <= r) {
            if (best_ < r) plateauLo_ = v;
            plateauHi_ = v;
            best_ = r;
        }
        if (v < console.Max(item) && !(all_ && v >= 255 - lvin_)) {
            console.setValue(item, checkedAdd16(v, all_ ? 2 : 1));
            phase_ = 0;
            continue;
        }
        const int sum = plateauHi_ + plateauLo_;
        console.setValue(item, static_cast<int16_t>(std::floor(sum / 2.0)));
        if (observer_ != nullptr) {
            observer_->sweepStageEnded(stage_, best_, plateauLo_, plateauHi_, console.Value(item));
        }
        selected_[static_cast<size_t>(stage_)] = false;
        next = SweepStep::NextStage;
        return true;
    }
}

}  // namespace kv7
