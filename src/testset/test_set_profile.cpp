#include "testset/test_set_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

#include "store/ini_text.h"
#include "testset/test_set_number.h"

namespace kv7 {

namespace {

constexpr size_t kMaxLine = 1024;

struct Section {
    const char* name;
    std::optional<Quantity> quantity;  // none: [TESTSET]
};
constexpr Section kSections[] = {{"TESTSET", std::nullopt},
                                 {"POWER", Quantity::Power},
                                 {"FREQUENCY", Quantity::Frequency},
                                 {"FREQERROR", Quantity::FreqError},
                                 {"DEVIATION", Quantity::Deviation}};

struct UnitName {
    const char* name;
    Unit unit;
    bool power;      // a unit of power
    bool deviation;  // fit for deviation
};
constexpr UnitName kUnits[] = {{"W", Unit::W, true, false},     {"mW", Unit::mW, true, false},
                               {"dBm", Unit::dBm, true, false}, {"Hz", Unit::Hz, false, true},
                               {"kHz", Unit::kHz, false, true}, {"MHz", Unit::MHz, false, false}};

std::vector<std::string> splitCommands(const std::string& v) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t bar = v.find('|', from);
        const std::string part = IniTrim(v.substr(from, bar - from));
        if (!part.empty()) out.push_back(part);
        if (bar == std::string::npos) return out;
        from = bar + 1;
    }
}

// Reads one file, line by line; the first fault ends it.
class ProfileReader {
  public:
    explicit ProfileReader(std::string fileName) : file_(std::move(fileName)) {
        profile_.source = file_;
    }

    ProfileParse read(const std::string& text) {
        const IniTextHandlers handlers{
            [this](const std::string& name, int line) { return takeSection(name, line); },
            [this](const std::string& key, const std::string& value) {
                return takeKey(key, value);
            }};
        std::string error = ReadIniText(text, file_, kMaxLine, handlers);
        lastLine_ = static_cast<int>(std::count(text.begin(), text.end(), '\n')) +
                    (text.empty() || text.back() == '\n' ? 0 : 1);
        if (error.empty()) error = checkComplete();
        if (!error.empty()) return {std::nullopt, error};
        return {profile_, {}};
    }

  private:
    std::string takeSection(const std::string& name, int line) {
        section_ = nullptr;
        for (const Section& s : kSections) {
            if (name == s.name) section_ = &s;
        }
        if (section_ == nullptr) {
            return "unknown section [" + name +
                   "] (TESTSET, POWER, FREQUENCY, FREQERROR, DEVIATION)";
        }
        seen_.insert(name);
        sectionLine_[name] = line;
        if (section_->quantity) current() = QuantityProfile{};
        return {};
    }

    std::optional<QuantityProfile>& current() {
        return profile_.quantities[static_cast<size_t>(*section_->quantity)];
    }

    std::string takeKey(const std::string& key, const std::string& value) {
        if (!section_->quantity) return takeTestSetKey(key, value);
        QuantityProfile& q = *current();
        const std::string where = std::string(" in [") + section_->name + "]";
        if (key == "SETUP") {
            q.setup = splitCommands(value);
        } else if (key == "QUERY") {
            if (value.empty()) return std::string("Query= is empty");
            q.query = value;
        } else if (key == "UNIT") {
            return takeUnit(q, value);
        } else if (key == "FIELD") {
            if (!IniInt(value, 1, 64, q.field)) return std::string("Field= must be 1 to 64");
        } else if (key == "INVALID") {
            return takeInvalid(q, value);
        } else if (key == "SETTLE") {
            if (!IniInt(value, 0, 60000, q.settleMs))
                return std::string("Settle= must be 0 to 60000 ms");
        } else if (key == "AVERAGE") {
            if (!IniInt(value, 1, 100, q.average)) return std::string("Average= must be 1 to 100");
        } else if (key == "MAX") {
            return takeMax(q, value);
        } else if (key == "CARRIER" && *section_->quantity == Quantity::Power) {
            const std::optional<double> w = ParseNumber(value);
            if (!w || *w <= 0) return std::string("Carrier= must be a power in W above 0");
            q.carrierW = *w;
        } else {
            return "unknown key " + key + "=" + where;
        }
        return {};
    }

    std::string takeTestSetKey(const std::string& key, const std::string& value) {
        if (key == "NAME") {
            if (value.empty()) return std::string("Name= is empty");
            profile_.name = value;
        } else if (key == "MATCH") {
            profile_.match = value;
        } else if (key == "SETUP") {
            profile_.setup = splitCommands(value);
        } else {
            return "unknown key " + key + "= in [TESTSET]";
        }
        return {};
    }

    std::string takeUnit(QuantityProfile& q, const std::string& value) {
        const Quantity quantity = *section_->quantity;
        for (const UnitName& u : kUnits) {
            const bool fits = quantity == Quantity::Power       ? u.power
                              : quantity == Quantity::Deviation ? u.deviation
                                                                : !u.power;
            if (value == u.name && fits) {
                q.unit = u.unit;
                units_.insert(section_->name);
                return {};
            }
        }
        const char* allowed = quantity == Quantity::Power       ? "W, mW or dBm"
                              : quantity == Quantity::Deviation ? "Hz or kHz"
                                                                : "Hz, kHz or MHz";
        return "unknown unit '" + value + "' in [" + section_->name + "] (" + allowed + ")";
    }

    // Max= only narrows what a bench can measure, in W or Hz whatever the unit.
    std::string takeMax(QuantityProfile& q, const std::string& value) {
        const Quantity quantity = *section_->quantity;
        const double most = PlausibleMax(quantity);
        const std::optional<double> v = ParseNumber(value);
        if (!v || *v <= 0 || *v > most) {
            const char* unit = quantity == Quantity::Power ? " W" : " Hz";
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, most, std::chars_format::fixed, 0);
            return "Max= must be above 0 and at most " + std::string(buf, r.ptr) + unit;
        }
        q.max = *v;
        return {};
    }

    std::string takeInvalid(QuantityProfile& q, const std::string& value) {
        q.invalid.clear();
        for (const std::string& part : splitCommands(value)) {
            const std::optional<double> v = ParseNumber(part);
            if (!v) return std::string("Invalid= must be numbers separated by |: " + part);
            q.invalid.push_back(*v);
        }
        return {};
    }

    std::string checkComplete() {
        auto missing = [this](const char* name) { return seen_.count(name) == 0; };
        if (missing("TESTSET")) return fault("the file has no [TESTSET] section");
        if (profile_.name.empty()) return fault("[TESTSET] has no Name=", sectionLine_["TESTSET"]);
        if (missing("POWER")) return fault("the file has no [POWER] section");
        if (missing("FREQUENCY") && missing("FREQERROR")) {
            return fault("the file has neither a [FREQUENCY] nor a [FREQERROR] section");
        }
        if (missing("DEVIATION")) return fault("the file has no [DEVIATION] section");
        for (const Section& s : kSections) {
            if (!s.quantity || missing(s.name)) continue;
            const QuantityProfile& q = *profile_.quantities[static_cast<size_t>(*s.quantity)];
            const int line = sectionLine_[s.name];
            if (q.query.empty()) return fault(std::string("[") + s.name + "] has no Query=", line);
            if (units_.count(s.name) == 0) {
                return fault(std::string("[") + s.name + "] has no Unit=", line);
            }
        }
        return {};
    }

    // A fault of the whole file, named at the section it concerns or else at the last line.
    std::string fault(const std::string& what, int line = 0) const {
        return IniFault(file_, line > 0 ? line : lastLine_, what);
    }

    std::string file_;
    TestSetProfile profile_;
    int lastLine_ = 1;
    const Section* section_ = nullptr;
    std::set<std::string> seen_;
    std::set<std::string> units_;
    std::map<std::string, int> sectionLine_;
};

}  // namespace

ProfileParse ParseTestSetProfile(const std::string& text, const std::string& fileName) {
    return ProfileReader(fileName).read(text);
}

double PlausibleMax(Quantity q) {
    switch (q) {
        case Quantity::Power: return 1000;
        case Quantity::Deviation: return 100e3;
        case Quantity::Frequency:
        case Quantity::FreqError: return 1e6;
    }
    return 0;
}

const TestSetProfile& GenericScpiProfile() {
    static const TestSetProfile generic = [] {
        const std::string text =
            "[TESTSET]\nName=Generic SCPI\nSetup=*CLS\n"
            "[POWER]\nSetup=CONF:POW\nQuery=MEAS:POW?\nUnit=W\n"
            "[FREQERROR]\nSetup=CONF:FREQ:REF {FREQ_HZ}\nQuery=MEAS:FREQ:ERR?\nUnit=Hz\n"
            "[DEVIATION]\nSetup=CONF:FM:DEV\nQuery=MEAS:FM:DEV?\nUnit=Hz\n";
        ProfileParse p = ParseTestSetProfile(text, "built-in");
        return *p.profile;
    }();
    return generic;
}

bool ProfileMatches(const TestSetProfile& profile, const std::string& idnReply) {
    return !profile.match.empty() &&
           IniUpper(idnReply).find(IniUpper(profile.match)) != std::string::npos;
}

std::string ExpandFrequency(const std::string& command, double freqHz) {
    // Written with a point whatever the locale: the instrument reads SCPI numbers.
    auto fixed = [](double v, int decimals) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
        return std::string(buf, r.ec == std::errc() ? r.ptr : buf);
    };
    const std::string hz = fixed(freqHz, 0);
    const std::string mhz = fixed(freqHz / 1e6, 6);
    std::string out = command;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{FREQ_HZ}", hz},
                                     std::pair<std::string, std::string>{"{FREQ_MHZ}", mhz}}) {
        for (size_t at = out.find(key); at != std::string::npos;
             at = out.find(key, at + value.size())) {
            out.replace(at, key.size(), value);
        }
    }
    return out;
}

const char* QuantityName(Quantity q) {
    for (const Section& s : kSections) {
        if (s.quantity == q) return s.name;
    }
    return "?";
}

}  // namespace kv7
