#include "testset/test_set_number.h"

#include <charconv>
#include <cmath>

namespace kv7 {

std::optional<double> ParseNumber(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::nullopt;
    const size_t e = text.find_last_not_of(" \t\r\n") + 1;
    if (text[b] == '+') ++b;
    if (b >= e || text[b] == '+') return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data() + b, text.data() + e, v);
    if (ec != std::errc() || end != text.data() + e || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace kv7
