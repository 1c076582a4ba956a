#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kv7 {

// What the test set measures of the radio's transmitter.
enum class Quantity { Power, Frequency, FreqError, Deviation };
constexpr int kQuantityCount = 4;

// The unit an instrument answers in; readings reach the program in W and Hz.
enum class Unit { W, mW, dBm, Hz, kHz, MHz };

// How one quantity is measured: the profile's section of that name.
struct QuantityProfile {
    std::vector<std::string> setup;  // sent before the first reading
    std::string query;
    Unit unit = Unit::W;
    int field = 1;                         // 1-based field of a comma-separated reply
    std::vector<double> invalid{9.91e37};  // reply values meaning "no reading"
    int settleMs = 300;                    // wait after a change before reading
    int average = 1;                       // readings averaged
    double carrierW = 0.05;                // power: below it there is no carrier
    // The largest reading that can be true (W; Hz of deviation; Hz a carrier may lie from the
    // channel); none: what any bench measures.
    std::optional<double> max;
};

// The largest plausible reading of a quantity on any bench: 1 kW, 100 kHz of deviation, a
// carrier 1 MHz from its channel.
double PlausibleMax(Quantity q);

// One instrument's dialect.
struct TestSetProfile {
    std::string name;
    std::string match;   // found in the *IDN? reply, ignoring case, selects this profile
    std::string source;  // the file it came from, or "built-in"
    std::vector<std::string> setup;  // sent after connecting
    std::array<std::optional<QuantityProfile>, kQuantityCount> quantities;

    const std::optional<QuantityProfile>& of(Quantity q) const {
        return quantities[static_cast<size_t>(q)];
    }
};

struct ProfileParse {
    std::optional<TestSetProfile> profile;
    std::string error;  // "FILE line N: what is wrong" when refused
};

// Reads a profile file's text. A profile needs [TESTSET] with Name=, [POWER], [FREQUENCY] or
// [FREQERROR], and [DEVIATION]; anything it does not understand refuses the whole file.
ProfileParse ParseTestSetProfile(const std::string& text, const std::string& fileName);

// The profile of an instrument that speaks plain SCPI, as the simulated test set does.
const TestSetProfile& GenericScpiProfile();

// True when the *IDN? reply selects the profile.
bool ProfileMatches(const TestSetProfile& profile, const std::string& idnReply);

// The command with {FREQ_HZ} and {FREQ_MHZ} replaced by the transmit frequency.
std::string ExpandFrequency(const std::string& command, double freqHz);

const char* QuantityName(Quantity q);  // the section name: "POWER", ...

}  // namespace kv7
