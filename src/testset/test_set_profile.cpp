#include "testset/test_set_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

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

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isText(const std::string& line) {
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

std::vector<std::string> splitCommands(const std::string& v) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t bar = v.find('|', from);
        const std::string part = trim(v.substr(from, bar - from));
        if (!part.empty()) out.push_back(part);
        if (bar == std::string::npos) return out;
        from = bar + 1;
    }
}

bool parseInt(const std::string& v, int lo, int hi, int& out) {
    int n = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || end != v.data() + v.size() || n < lo || n > hi) return false;
    out = n;
    return true;
}

// Reads one file, line by line; the first fault ends it.
class ProfileReader {
  public:
    explicit ProfileReader(std::string fileName) : file_(std::move(fileName)) {
        profile_.source = file_;
    }

    ProfileParse read(const std::string& text) {
        size_t from = 0;
        while (from < text.size() && error_.empty()) {
            size_t nl = text.find('\n', from);
            if (nl == std::string::npos) nl = text.size();
            std::string line = text.substr(from, nl - from);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ++lineNo_;
            takeLine(line);
            from = nl + 1;
        }
        if (error_.empty()) checkComplete();
        if (!error_.empty()) return {std::nullopt, error_};
        return {profile_, {}};
    }

  private:
    void fail(const std::string& what, int line = 0) {
        if (!error_.empty()) return;
        error_ = file_ + " line " + std::to_string(line > 0 ? line : std::max(lineNo_, 1)) + ": " + what;
    }

    void takeLine(const std::string& raw) {
        if (raw.size() > kMaxLine) {
            return fail("the line is longer than " + std::to_string(kMaxLine) + " characters");
        }
        if (!isText(raw)) return fail("the line holds characters that are not text");
        const std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') return;
        if (line[0] == '[') return takeSection(line);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return fail("neither [SECTION] nor KEY=VALUE: " + line);
        if (section_ == nullptr) return fail("a key before the first [SECTION]");
        takeKey(upper(trim(line.substr(0, eq))), trim(line.substr(eq + 1)));
    }

    void takeSection(const std::string& line) {
        if (line.back() != ']') return fail("a section name must end with ]");
        const std::string name = upper(trim(line.substr(1, line.size() - 2)));
        section_ = nullptr;
        for (const Section& s : kSections) {
            if (name == s.name) section_ = &s;
        }
        if (section_ == nullptr) {
            return fail("unknown section [" + name +
                        "] (TESTSET, POWER, FREQUENCY, FREQERROR, DEVIATION)");
        }
        if (!seen_.insert(name).second) return fail("the section [" + name + "] appears twice");
        sectionLine_[name] = lineNo_;
        keys_.clear();
        if (section_->quantity) current() = QuantityProfile{};
    }

    std::optional<QuantityProfile>& current() {
        return profile_.quantities[static_cast<size_t>(*section_->quantity)];
    }

    void takeKey(const std::string& key, const std::string& value) {
        if (!keys_.insert(key).second) return fail("the key " + key + "= appears twice");
        if (!section_->quantity) return takeTestSetKey(key, value);
        QuantityProfile& q = *current();
        const std::string where = std::string(" in [") + section_->name + "]";
        if (key == "SETUP") {
            q.setup = splitCommands(value);
        } else if (key == "QUERY") {
            if (value.empty()) return fail("Query= is empty");
            q.query = value;
        } else if (key == "UNIT") {
            takeUnit(q, value);
        } else if (key == "FIELD") {
            if (!parseInt(value, 1, 64, q.field)) return fail("Field= must be 1 to 64");
        } else if (key == "INVALID") {
            takeInvalid(q, value);
        } else if (key == "SETTLE") {
            if (!parseInt(value, 0, 60000, q.settleMs))
                return fail("Settle= must be 0 to 60000 ms");
        } else if (key == "AVERAGE") {
            if (!parseInt(value, 1, 100, q.average)) return fail("Average= must be 1 to 100");
        } else if (key == "CARRIER" && *section_->quantity == Quantity::Power) {
            const std::optional<double> w = ParseNumber(value);
            if (!w || *w <= 0) return fail("Carrier= must be a power in W above 0");
            q.carrierW = *w;
        } else {
            fail("unknown key " + key + "=" + where);
        }
    }

    void takeTestSetKey(const std::string& key, const std::string& value) {
        if (key == "NAME") {
            if (value.empty()) return fail("Name= is empty");
            profile_.name = value;
        } else if (key == "MATCH") {
            profile_.match = value;
        } else if (key == "SETUP") {
            profile_.setup = splitCommands(value);
        } else {
            fail("unknown key " + key + "= in [TESTSET]");
        }
    }

    void takeUnit(QuantityProfile& q, const std::string& value) {
        const Quantity quantity = *section_->quantity;
        for (const UnitName& u : kUnits) {
            const bool fits = quantity == Quantity::Power       ? u.power
                              : quantity == Quantity::Deviation ? u.deviation
                                                                : !u.power;
            if (value == u.name && fits) {
                q.unit = u.unit;
                units_.insert(section_->name);
                return;
            }
        }
        const char* allowed = quantity == Quantity::Power       ? "W, mW or dBm"
                              : quantity == Quantity::Deviation ? "Hz or kHz"
                                                                : "Hz, kHz or MHz";
        fail("unknown unit '" + value + "' in [" + section_->name + "] (" + allowed + ")");
    }

    void takeInvalid(QuantityProfile& q, const std::string& value) {
        q.invalid.clear();
        for (const std::string& part : splitCommands(value)) {
            const std::optional<double> v = ParseNumber(part);
            if (!v) return fail("Invalid= must be numbers separated by |: " + part);
            q.invalid.push_back(*v);
        }
    }

    void checkComplete() {
        auto missing = [this](const char* name) { return seen_.count(name) == 0; };
        if (missing("TESTSET")) return fail("the file has no [TESTSET] section");
        if (profile_.name.empty()) return fail("[TESTSET] has no Name=", sectionLine_["TESTSET"]);
        if (missing("POWER")) return fail("the file has no [POWER] section");
        if (missing("FREQUENCY") && missing("FREQERROR")) {
            return fail("the file has neither a [FREQUENCY] nor a [FREQERROR] section");
        }
        if (missing("DEVIATION")) return fail("the file has no [DEVIATION] section");
        for (const Section& s : kSections) {
            if (!s.quantity || missing(s.name)) continue;
            const QuantityProfile& q = *profile_.quantities[static_cast<size_t>(*s.quantity)];
            const int line = sectionLine_[s.name];
            if (q.query.empty()) return fail(std::string("[") + s.name + "] has no Query=", line);
            if (units_.count(s.name) == 0) {
                return fail(std::string("[") + s.name + "] has no Unit=", line);
            }
        }
    }

    std::string file_;
    TestSetProfile profile_;
    std::string error_;
    int lineNo_ = 0;
    const Section* section_ = nullptr;
    std::set<std::string> seen_;
    std::set<std::string> keys_;
    std::set<std::string> units_;
    std::map<std::string, int> sectionLine_;
};

}  // namespace

ProfileParse ParseTestSetProfile(const std::string& text, const std::string& fileName) {
    return ProfileReader(fileName).read(text);
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
           upper(idnReply).find(upper(profile.match)) != std::string::npos;
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
