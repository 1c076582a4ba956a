#pragma once
#include "align/align_instrument.h"
#include "testset/test_set.h"
#include "testset/test_set_monitor.h"

namespace kv7 {

// The bench's test set as an alignment run measures with it; the window's own readings pause
// while a run lasts.
class TestSetInstrument : public AlignInstrument {
  public:
    TestSetInstrument(TestSet& testSet, TestSetMonitor& monitor)
        : testSet_(testSet), monitor_(monitor) {}

    bool ready() const override { return testSet_.state() == TestSet::State::Ready; }
    std::string fault() const override { return testSet_.stateText(); }
    void measure(Quantity q, std::optional<double> channelHz,
                 std::function<void(const Reading&)> done) override;
    int settleMs(Quantity q) const override { return testSet_.settleMs(q); }
    double carrierW() const override { return testSet_.carrierW(); }
    void setRunActive(bool active) override { monitor_.setPaused(active); }
    uint32_t connection() const override { return testSet_.connection(); }

  private:
    TestSet& testSet_;
    TestSetMonitor& monitor_;
};

}  // namespace kv7
