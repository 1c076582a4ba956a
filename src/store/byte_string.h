#pragma once
#include <cstdint>
#include <vector>

namespace kv7 {
// Raw bytes as frames, answer records and EEPROM blocks carry them; position 1 is index 0.
using ByteString = std::vector<uint8_t>;
}  // namespace kv7
