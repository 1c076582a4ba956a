#pragma once
#include <optional>
#include <string>

namespace kv7 {

// A decimal number as instruments write it ("+1.234E+00", " -5", "12"), read the same in every
// locale; none for anything else, infinities and NaN included.
std::optional<double> ParseNumber(const std::string& text);

}  // namespace kv7
