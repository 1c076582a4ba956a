#include "sim/sim_test_set.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "store/ini_text.h"

namespace kv7::sim {

namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxErrors = 10;
constexpr const char* kNoMeasurement = "9.91E+37";
constexpr double kNoiseFloorW = 1e-4;

using Op = SimTestSet::Op;

struct Header {
    const char* pattern;  // SCPI notation: the short form in capitals
    bool query;
    Op op;
};

constexpr Header kHeaders[] = {
    {"*IDN", true, Op::Identify},
    {"*CLS", false, Op::Clear},
    {"*RST", false, Op::Reset},
    {"*OPC", true, Op::OperationComplete},
    {"SYSTem:ERRor", true, Op::NextError},
    {"SYSTem:ERRor:NEXT", true, Op::NextError},
    {"CONFigure:POWer", false, Op::ConfigurePower},
    {"CONFigure:FREQuency", false, Op::ConfigureFrequency},
    {"CONFigure:FREQuency:REFerence", false, Op::ConfigureReference},
    {"CONFigure:FM:DEViation", false, Op::ConfigureDeviation},
    {"MEASure:POWer", true, Op::MeasurePower},
    {"MEASure:FREQuency", true, Op::MeasureFrequency},
    {"MEASure:FREQuency:ERRor", true, Op::MeasureFreqError},
    {"MEASure:FM:DEViation", true, Op::MeasureDeviation},
};

// "MEAS" and "MEASURE" both match "MEASure", in any case.
bool nodeMatches(const std::string& node, const std::string& mnemonic) {
    std::string shortForm;
    for (char c : mnemonic) {
        if (std::islower(static_cast<unsigned char>(c))) break;
        shortForm += c;
    }
    const std::string n = IniUpper(node);
    return n == shortForm || n == IniUpper(mnemonic);
}

bool headerMatches(const std::string& header, const std::string& pattern) {
    size_t h = 0, p = 0;
    for (;;) {
        const size_t he = header.find(':', h), pe = pattern.find(':', p);
        if (!nodeMatches(header.substr(h, he - h), pattern.substr(p, pe - p))) return false;
        if (he == std::string::npos || pe == std::string::npos) return he == pe;
        h = he + 1;
        p = pe + 1;
    }
}

// An SCPI number with ten digits, enough for a carrier in MHz to the tenth of a hertz:
// +4.690123456E+00.
std::string scpiNumber(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 9);
    const std::string s = IniUpper(std::string(buf, r.ptr));
    return v < 0 ? s : "+" + s;
}

struct UnitScale {
    const char* name;
    double scale;  // base units per unit
};

// A number with an optional unit suffix ("146250000", "146.25 MHZ", "146.25MHz").
std::optional<double> frequencyParam(const std::string& text) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    const std::string suffix = IniUpper(IniTrim(std::string(r.ptr, end)));
    for (const UnitScale& u : {UnitScale{"", 1}, UnitScale{"HZ", 1}, UnitScale{"KHZ", 1e3},
                               UnitScale{"MHZ", 1e6}, UnitScale{"GHZ", 1e9}}) {
        if (suffix == u.name) return v * u.scale;
    }
    return std::nullopt;
}

}  // namespace

SimTestSet::SimTestSet(Source source, SimTestSetFault fault, uint32_t seed)
    : source_(std::move(source)), fault_(fault), random_(seed) {}

std::string SimTestSet::receive(const std::string& bytes) {
    std::string out;
    for (const Piece& p : receiveTimed(bytes)) out += p.text;
    return out;
}

std::vector<SimTestSet::Piece> SimTestSet::receiveTimed(const std::string& bytes) {
    std::vector<Piece> out;
    for (char c : bytes) {
        if (c != '\n') {
            if (c == '\r') continue;
            if (partial_.size() >= kMaxLine) {
                overrun_ = true;
                partial_.clear();
            }
            if (!overrun_) partial_ += c;
            continue;
        }
        if (overrun_) {
            pushError(-363, "Input buffer overrun");
        } else {
            line(partial_, out);
        }
        partial_.clear();
        overrun_ = false;
    }
    if (fault_ == SimTestSetFault::Silent) out.clear();
    return out;
}

void SimTestSet::line(const std::string& text, std::vector<Piece>& out) {
    lateMs_ = 0;
    stray_.reset();
    // "++" lines are a GPIB adapter's own; the simulated instrument stands behind one.
    if (IniTrim(text).rfind("++", 0) == 0) return;
    std::string replies;
    bool answered = false;
    bool measured = false;  // a query beside *OPC? (which even a garbling instrument answers)
    size_t from = 0;
    while (from <= text.size()) {
        size_t semi = text.find(';', from);
        if (semi == std::string::npos) semi = text.size();
        std::string unit = IniTrim(text.substr(from, semi - from));
        from = semi + 1;
        if (unit.empty()) continue;
        if (unit[0] == ':') unit.erase(0, 1);
        const size_t space = unit.find_first_of(" \t");
        std::string header = unit.substr(0, space);
        const std::string param = space == std::string::npos ? "" : IniTrim(unit.substr(space));
        const bool query = !header.empty() && header.back() == '?';
        if (query) header.pop_back();
        const Header* found = nullptr;
        for (const Header& h : kHeaders) {
            if (h.query == query && headerMatches(header, h.pattern)) found = &h;
        }
        if (found == nullptr) {
            pushError(-113, "Undefined header");
            continue;
        }
        const std::optional<std::string> reply = execute(found->op, param);
        if (!reply) continue;
        measured = measured || found->op != Op::OperationComplete;
        replies += (answered ? ";" : "") + *reply;
        answered = true;
    }
    if (!answered) return;
    const std::string reply = fault_ == SimTestSetFault::Garbage && measured ? garbage() : replies;
    out.push_back({reply + "\n", lateMs_});
    if (stray_) out.push_back({(stray_->empty() ? reply : *stray_) + "\n", 0});
}

std::string SimTestSet::answer(SimQuantity q, double base, double scale, bool carrier) {
    const int32_t k = carrier ? ++answered_[static_cast<size_t>(q)] : 0;
    std::optional<double> absurd;
    for (const SimAnswerFault& f : bench_.answers) {
        if (f.quantity != q || f.answer != k) continue;
        switch (f.kind) {
            case SimAnswerFault::Kind::Stray: stray_ = f.text; break;
            case SimAnswerFault::Kind::Late: lateMs_ = std::max(lateMs_, f.lateMs); break;
            case SimAnswerFault::Kind::Outlier: base += f.number; break;
            case SimAnswerFault::Kind::Absurd: absurd = f.number; break;
        }
    }
    std::string text;
    if (absurd) {
        text = scpiNumber(*absurd);
    } else if (scale == 0) {
        text = scpiNumber(10 * std::log10(base * 1e3));  // dBm
    } else {
        text = scpiNumber(base / scale);
    }
    if (listener_) listener_(q, text);
    return text;
}

std::optional<std::string> SimTestSet::execute(Op op, const std::string& param) {
    const bool takesParam = op == Op::ConfigureReference || op == Op::MeasurePower ||
                            op == Op::MeasureFrequency || op == Op::MeasureFreqError ||
                            op == Op::MeasureDeviation;
    if (!takesParam && !param.empty()) {
        pushError(-108, "Parameter not allowed");
        return std::nullopt;
    }
    switch (op) {
        case Op::Identify: return kIdentity;
        case Op::OperationComplete: return "1";
        case Op::Clear: errors_.clear(); return std::nullopt;
        case Op::Reset:
            errors_.clear();
            referenceHz_.reset();
            return std::nullopt;
        case Op::NextError: {
            if (fault_ == SimTestSetFault::Error) return "-113,\"Undefined header\"";
            if (errors_.empty()) return "0,\"No error\"";
            std::string e = errors_.front();
            errors_.pop_front();
            return e;
        }
        case Op::ConfigureReference:
            if (param.empty()) {
                pushError(-109, "Missing parameter");
            } else if (const std::optional<double> f = frequencyParam(param); !f || *f <= 0) {
                pushError(-104, "Data type error");
            } else {
                referenceHz_ = *f;
            }
            return std::nullopt;
        case Op::ConfigurePower:
        case Op::ConfigureFrequency:
        case Op::ConfigureDeviation: return std::nullopt;
        default: return measure(op, param);
    }
}

std::optional<std::string> SimTestSet::measure(Op op, const std::string& param) {
    const std::string u = IniUpper(param);
    const Emission e = source_ ? source_() : Emission{};
    const double noise = bench_.noiseFactor;
    if (op == Op::MeasurePower) {
        const double w = e.carrier ? e.powerW * (1 + 0.005 * noise * gauss())
                                   : kNoiseFloorW * (1 + 0.2 * std::fabs(gauss()));
        if (u.empty() || u == "W") return answer(SimQuantity::Power, w, 1, e.carrier);
        if (u == "MW") return answer(SimQuantity::Power, w, 1e-3, e.carrier);
        if (u == "DBM") return answer(SimQuantity::Power, w, 0, e.carrier);
    } else {
        double hz = 0;
        SimQuantity q = SimQuantity::Deviation;
        if (op == Op::MeasureFrequency) {
            hz = e.frequencyHz + 2 * noise * gauss();
            q = SimQuantity::Frequency;
        }
        if (op == Op::MeasureFreqError) {
            if (!referenceHz_) {
                pushError(-221, "Settings conflict");
                return kNoMeasurement;
            }
            hz = e.frequencyHz - *referenceHz_ + 2 * noise * gauss();
            q = SimQuantity::FreqError;
        }
        if (op == Op::MeasureDeviation) hz = e.deviationHz * (1 + 0.01 * noise * gauss());
        const bool mhzAllowed = op == Op::MeasureFrequency;
        for (const UnitScale& s : {UnitScale{"", 1}, UnitScale{"HZ", 1}, UnitScale{"KHZ", 1e3},
                                   UnitScale{mhzAllowed ? "MHZ" : "-", 1e6}}) {
            if (u == s.name) return e.carrier ? answer(q, hz, s.scale) : kNoMeasurement;
        }
    }
    pushError(-224, "Illegal parameter value");
    return std::nullopt;
}

// A line of random bytes that is never a number: it starts beyond ASCII and holds no line end.
std::string SimTestSet::garbage() {
    std::uniform_int_distribution<int> length(1, 40), byte(0, 255), high(0x80, 0xFF);
    std::string g(1, static_cast<char>(high(random_)));
    for (int n = length(random_); n > 0; --n) {
        const int b = byte(random_);
        if (b != '\n' && b != '\r') g += static_cast<char>(b);
    }
    return g;
}

void SimTestSet::pushError(int code, const char* text) {
    if (errors_.size() < kMaxErrors) errors_.push_back(std::to_string(code) + ",\"" + text + "\"");
}

}  // namespace kv7::sim
