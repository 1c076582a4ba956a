#include "align/test_set_instrument.h"

namespace kv7 {

void TestSetInstrument::measure(Quantity q, std::optional<double> channelHz,
                                std::function<void(const Reading&)> done) {
    bool started = false;
    if (q == Quantity::Frequency || q == Quantity::FreqError) {
        started = testSet_.measureFrequency(channelHz,
                                            [done](const FrequencyReading& r) { done(r.carrier); });
    } else {
        started = testSet_.measure(q, channelHz, done);
    }
    // Not ready: the run hears it as a reading that did not come.
    if (!started) done(Reading{false, 0, testSet_.stateText(), TestSetFault::NotReady});
}

}  // namespace kv7
