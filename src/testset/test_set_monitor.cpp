#include "testset/test_set_monitor.h"

namespace kv7 {

TestSetMonitor::TestSetMonitor(TestSet& testSet, TestSetView& view, TxFrequency txFrequency)
    : testSet_(testSet), view_(view), txFrequency_(std::move(txFrequency)) {}

TestSetMonitor::~TestSetMonitor() {
    *alive_ = false;
}

void TestSetMonitor::setPaused(bool paused) {
    if (paused_ == paused) return;
    paused_ = paused;
    show();
}

void TestSetMonitor::task() {
    const std::string state = testSet_.stateText();
    if (state != shownState_) {
        shownState_ = state;
        if (testSet_.state() != TestSet::State::Ready) {
            readings_ = {};  // nothing measured belongs to another connection
            busy_ = false;
            next_ = Step::Power;
        }
        show();
    }
    if (testSet_.state() == TestSet::State::Ready && !paused_ && !busy_) start();
}

void TestSetMonitor::start() {
    const std::optional<double> f = txFrequency_ ? txFrequency_() : std::nullopt;
    readings_.txFreqHz = f;
    std::weak_ptr<bool> alive = alive_;
    const Step step = next_;
    auto back = [this, alive, step](const Reading& a, const Reading& b = {}) {
        if (const auto p = alive.lock(); p && *p) took(step, a, b);
    };
    switch (step) {
        case Step::Power:
            busy_ = testSet_.measure(Quantity::Power, f, [back](const Reading& r) { back(r); });
            break;
        case Step::Frequency:
            busy_ = testSet_.measureFrequency(
                f, [back](const FrequencyReading& r) { back(r.carrier, r.error); });
            break;
        case Step::Deviation:
            busy_ = testSet_.measure(Quantity::Deviation, f, [back](const Reading& r) { back(r); });
            break;
    }
}

void TestSetMonitor::took(Step step, const Reading& a, const Reading& b) {
    busy_ = false;
    switch (step) {
        case Step::Power:
            readings_.power = a;
            readings_.carrier = a.valid && a.value >= testSet_.carrierW();
            next_ = Step::Frequency;
            break;
        case Step::Frequency:
            readings_.frequency = a;
            readings_.freqError = b;
            next_ = Step::Deviation;
            break;
        case Step::Deviation:
            readings_.deviation = a;
            next_ = Step::Power;
            break;
    }
    show();
}

void TestSetMonitor::show() {
    readings_.state = testSet_.state();
    readings_.status = status();
    view_.showReadings(readings_);
}

std::string TestSetMonitor::status() const {
    if (readings_.state != TestSet::State::Ready) return testSet_.stateText();
    if (paused_) return "Paused while the alignment measures";
    const TestSetReadings& r = readings_;
    if (!r.power.valid && !r.power.reason.empty()) return "No reading: " + r.power.reason;
    if (r.power.valid && !r.carrier) return "No carrier";
    if (!r.frequency.valid && !r.frequency.reason.empty())
        return "No reading of the frequency: " + r.frequency.reason;
    if (!r.freqError.valid && !r.freqError.reason.empty())
        return "No frequency error: " + r.freqError.reason;
    if (!r.deviation.valid && !r.deviation.reason.empty())
        return "No reading of the deviation: " + r.deviation.reason;
    return testSet_.stateText();
}

}  // namespace kv7
