#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "testset/test_set_profile.h"
#include "testset/test_set_reading.h"

namespace kv7 {

// What an alignment run needs of the test set.
class AlignInstrument {
  public:
    virtual ~AlignInstrument() = default;
    // Connected and set up; otherwise why not.
    virtual bool ready() const = 0;
    virtual std::string fault() const = 0;
    // One normalised reading, handed to `done` later on the one thread. channelHz is the
    // transmit frequency of the channel the radio transmits on (none without one); for
    // Frequency the reading is the carrier's own frequency, whether the instrument counts it or
    // measures its error against channelHz.
    virtual void measure(Quantity q, std::optional<double> channelHz,
                         std::function<void(const Reading&)> done) = 0;
    // Wait after a change of the radio before a reading of q.
    virtual int settleMs(Quantity q) const = 0;
    // Below this power there is no carrier.
    virtual double carrierW() const = 0;
    // A run measures alone while it lasts: other readings of the instrument wait.
    virtual void setRunActive(bool active) = 0;
    // Which connection the readings come over; readings of one came over one exchange that
    // stayed in step (a connection out of step ends).
    virtual uint32_t connection() const { return 0; }
};

}  // namespace kv7
