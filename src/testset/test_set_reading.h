#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "testset/test_set_fault.h"
#include "testset/test_set_profile.h"

namespace kv7 {

// One reading of the test set, normalised: watts, or hertz (frequency, its error, deviation).
struct Reading {
    bool valid = false;
    double value = 0;
    std::string reason;  // why there is no reading
    TestSetFault fault = TestSetFault::None;
};

// The reading in one reply line of the instrument, of any length or content.
Reading ParseReading(const std::string& reply, const QuantityProfile& q);

// Why a reading of q cannot be true, or empty when it can: not finite, negative where the
// quantity cannot be, beyond the profile's Max= (else PlausibleMax), or a carrier that far from
// the channel (channelHz; a frequency error is that distance already).
std::string ImplausibleReason(Quantity q, double value, const QuantityProfile& qp,
                              std::optional<double> channelHz);

// At most max characters of an instrument's text, control characters and bytes beyond ASCII
// shown as '?'.
std::string PrintableText(const std::string& text, size_t max);

// An instrument's text as a message may quote it: at most 40 characters, control characters and
// bytes beyond ASCII shown as '?', in single quotes.
std::string QuotedReply(const std::string& text);

// The value in the unit's base: W for power units, Hz for frequency units.
double ToBaseUnit(double value, Unit unit);

}  // namespace kv7
