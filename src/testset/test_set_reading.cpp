#include "testset/test_set_reading.h"

#include <charconv>
#include <cmath>

#include "testset/test_set_number.h"

namespace kv7 {

namespace {

constexpr size_t kShownReply = 40;  // of a reply that does not parse, this much is quoted

bool isInvalidValue(double v, const std::vector<double>& invalid) {
    for (double x : invalid) {
        if (v == x || std::fabs(v - x) <= std::fabs(x) * 1e-9) return true;
    }
    return false;
}

// A reading as a message gives it: 6 significant digits, with a point whatever the locale.
std::string numberText(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    return std::string(buf, r.ec == std::errc() ? r.ptr : buf);
}

}  // namespace

std::string ImplausibleReason(Quantity q, double value, const QuantityProfile& qp,
                              std::optional<double> channelHz) {
    const char* unit = q == Quantity::Power ? " W" : " Hz";
    const std::string shown = "implausible value " + numberText(value) + unit;
    if (!std::isfinite(value)) return shown + " (not a number)";
    const double most = qp.max.value_or(PlausibleMax(q));
    const std::string limit = numberText(most) + unit;
    switch (q) {
        case Quantity::Power:
        case Quantity::Deviation:
            if (value < 0) return shown + " (negative)";
            if (value > most) return shown + " (above " + limit + ")";
            return {};
        case Quantity::Frequency:
            if (value <= 0) return shown + " (not above 0)";
            if (channelHz && std::fabs(value - *channelHz) > most) {
                return shown + " (more than " + limit + " from the channel)";
            }
            return {};
        case Quantity::FreqError:
            if (std::fabs(value) > most) return shown + " (more than " + limit + " off)";
            return {};
    }
    return {};
}

std::string PrintableText(const std::string& text, size_t max) {
    std::string out;
    for (char c : text.substr(0, max)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u >= 0x7F) ? '?' : c;
    }
    return out;
}

std::string QuotedReply(const std::string& s) {
    return "'" + PrintableText(s, kShownReply) + (s.size() > kShownReply ? "...'" : "'");
}

double ToBaseUnit(double value, Unit unit) {
    switch (unit) {
        case Unit::W: return value;
        case Unit::mW: return value / 1e3;
        case Unit::dBm: return std::pow(10.0, (value - 30.0) / 10.0);
        case Unit::Hz: return value;
        case Unit::kHz: return value * 1e3;
        case Unit::MHz: return value * 1e6;
    }
    return value;
}

Reading ParseReading(const std::string& reply, const QuantityProfile& q) {
    Reading r;
    size_t from = 0;
    for (int f = 1; f < q.field; ++f) {
        from = reply.find(',', from);
        if (from == std::string::npos) {
            r.reason = "the reply has fewer than " + std::to_string(q.field) + " fields";
            r.fault = TestSetFault::Unparsable;
            return r;
        }
        ++from;
    }
    const size_t comma = reply.find(',', from);
    const std::string field = reply.substr(from, comma == std::string::npos ? comma : comma - from);
    const std::optional<double> v = ParseNumber(field);
    if (!v) {
        r.reason = "the reply " + QuotedReply(reply) + " is not a number";
        r.fault = TestSetFault::Unparsable;
        return r;
    }
    if (isInvalidValue(*v, q.invalid)) {
        r.reason = "the instrument has no measurement";
        r.fault = TestSetFault::NoMeasurement;
        return r;
    }
    const double base = ToBaseUnit(*v, q.unit);
    if (!std::isfinite(base)) {
        r.reason = "the reply " + QuotedReply(reply) + " is out of range";
        r.fault = TestSetFault::Unparsable;
        return r;
    }
    r.valid = true;
    r.value = base;
    return r;
}

}  // namespace kv7
