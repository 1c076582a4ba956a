// The hex conversions on any byte sequence: a defined result, or the documented overflow.
#include <cstddef>
#include <cstdint>
#include <string>

#include "store/common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kv7::ByteString bytes(data, data + size);
    try {
        (void)kv7::AsciiHexToInt(bytes);
    } catch (const kv7::OverflowError&) {
    }
    const std::string text(bytes.begin(), bytes.end());
    const kv7::ByteString parsed = kv7::HexTextToByteString(text);
    if (parsed.size() > size / 2) __builtin_trap();
    const std::string hex = kv7::ByteStringToHexText(bytes);
    if (kv7::HexTextToByteString(hex) != bytes) __builtin_trap();
    (void)kv7::ExpandNewlines(text);
    if (size >= 2) {
        const auto n = static_cast<int16_t>(data[0] | (data[1] << 8));
        if (kv7::ByteToAsciiHexText(n).size() != 4 || kv7::HexByte(n).size() != 2) __builtin_trap();
    }
    return 0;
}
