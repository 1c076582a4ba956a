#include "store/common.h"

#include <cstdio>
#include <limits>

namespace kv7 {

namespace {

// Value of one hexadecimal digit character, or -1 for any other character.
int hexDigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a hexadecimal numeral the way an "&h" literal is read: digits up to the first
// non-digit; up to four digits are a signed 16-bit value, five to eight a signed 32-bit
// value that must still fit 16 bits. Longer numerals cannot be represented at all.
template <typename It>
int16_t readHexNumeral(It first, It last) {
    uint32_t value = 0;
    int digits = 0;
    for (It it = first; it != last; ++it) {
        const int d = hexDigitValue(static_cast<unsigned char>(*it));
        if (d < 0) break;
        if (++digits > 8) throw OverflowError("hexadecimal number too long");
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    if (digits <= 4) return static_cast<int16_t>(static_cast<uint16_t>(value));
    const auto wide = static_cast<int32_t>(value);
    if (wide < std::numeric_limits<int16_t>::min() || wide > std::numeric_limits<int16_t>::max()) {
        throw OverflowError("hexadecimal number outside 16 bits");
    }
    return static_cast<int16_t>(wide);
}

std::string twoHexDigits(uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{kDigits[b >> 4], kDigits[b & 0x0F]};
}

}  // namespace

int ShowMessage(MessageSink& sink, const std::string& text) {
    sink.showMessage(ExpandNewlines(text));
    return 1;  // the OK button
}

std::string ExpandNewlines(const std::string& text) {
    std::string s = text;
    // Replaced in place, so the length stays the same and callers may count on it.
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '\\' && s[i + 1] == 'n') {
            s[i] = '\r';
            s[i + 1] = '\n';
        }
    }
    return s;
}

ByteString TextToByteString(const std::string& text) {
    return ByteString(text.begin(), text.end());
}

int16_t AsciiHexToInt(const ByteString& bytes) {
    return readHexNumeral(bytes.begin(), bytes.end());
}

ByteString HexTextToByteString(const std::string& hexText) {
    ByteString out;
    std::size_t pos = 0;
    while (hexText.size() - pos >= 2) {
        if (hexText[pos] == ' ') {
            ++pos;
            continue;
        }
        const auto first = hexText.begin() + static_cast<std::ptrdiff_t>(pos);
        out.push_back(static_cast<uint8_t>(readHexNumeral(first, first + 2)));
        pos += 2;
    }
    return out;
}

std::string ByteStringToHexText(const ByteString& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) out += twoHexDigits(b);
    return out;
}

std::string ByteToAsciiHexText(int16_t n) {
    return ByteStringToHexText(TextToByteString(HexByte(n)));
}

std::string HexByte(int16_t n) {
    return twoHexDigits(static_cast<uint8_t>(n & 0xFF));
}

int16_t checked16(int32_t v) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
        throw OverflowError("16-bit overflow");
    }
    return static_cast<int16_t>(v);
}

namespace {
int16_t checked16Wide(int64_t v) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
        throw OverflowError("16-bit overflow");
    }
    return static_cast<int16_t>(v);
}
}  // namespace

int16_t checkedAdd16(int32_t a, int32_t b) {
    return checked16Wide(static_cast<int64_t>(a) + b);
}

int16_t checkedSub16(int32_t a, int32_t b) {
    return checked16Wide(static_cast<int64_t>(a) - b);
}

int16_t checkedMul16(int32_t a, int32_t b) {
    return checked16Wide(static_cast<int64_t>(a) * b);
}

}  // namespace kv7
