#pragma once
#include <cstdint>

#include "protocol/tick.h"
#include "sim/sim_radio.h"

namespace kv7::sim {

// What the transmitter puts on the air now.
struct Emission {
    bool carrier = false;
    double powerW = 0;
    double frequencyHz = 0;
    double deviationHz = 0;  // FM deviation with the radio's test tone
};

// The radio's transmitter. Keyed, it radiates on the selected channel's transmit frequency
// (with the error the TXF table and the temperature give) at the power of " Power(Hi)" or
// " Power(LO)", whichever the channel's power flag picks, with the deviation "       MOD"
// gives. Both curves rise with the setting, steepest in the middle, so the values a careful
// adjustment aims at (5.0 W, 1.0 W, 3.0 kHz) lie well inside the range and away from the
// sample image's settings. Nothing goes out unkeyed, without a channel, or on an inhibited one.
class SimTransmitter {
  public:
    SimTransmitter(const SimRadio& radio, TickSource& ticks);

    // The ptt option, until pttReleaseAfterS has passed since the transmitter was built.
    bool keyed();
    Emission emission();

    static double powerHiW(uint8_t setting);
    static double powerLoW(uint8_t setting);
    static double deviationHz(uint8_t setting);

  private:
    const SimRadio& radio_;
    clsCmcTick release_;
};

}  // namespace kv7::sim
