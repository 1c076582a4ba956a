#include "store/common.h"

#include <cstdio>

namespace kv7 {

namespace {

int hexDigitValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string twoHexDigits(unsigned value) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", value & 0xFFu);
    return buf;
}

}  // namespace

int ShowMessage(MessageSink& sink, const std::string& text) {
    sink.showMessage(ExpandNewlines(text));
    return 1;
}

std::string ExpandNewlines(const std::string& text) {
    std::string out = text;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '\\' && out[i + 1] == 'n') {
            out[i] = '\r';
            out[i + 1] = '\n';
        }
    }
    return out;
}

ByteString TextToByteString(const std::string& text) {
    return ByteString(text.begin(), text.end());
}

int16_t AsciiHexToInt(const ByteString& bytes) {
    uint64_t value = 0;
    size_t digits = 0;
    for (uint8_t b : bytes) {
        const int d = hexDigitValue(b);
        if (d < 0) break;
        ++digits;
        if (digits > 8) throw OverflowError("hexadecimal number too long");
        value = (value << 4) | static_cast<unsigned>(d);
    }
    if (digits == 0) return 0;
    if (digits <= 4) return static_cast<int16_t>(static_cast<uint16_t>(value));
    const auto v32 = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (v32 < -32768 || v32 > 32767) throw OverflowError("hexadecimal number beyond 16 bits");
    return static_cast<int16_t>(v32);
}

ByteString HexTextToByteString(const std::string& hexText) {
    ByteString out;
    size_t i = 0;
    while (hexText.size() - i >= 2) {
        if (hexText[i] == ' ') {
            ++i;
            continue;
        }
        int value = 0;
        for (size_t k = i; k < i + 2; ++k) {
            const int d = hexDigitValue(static_cast<uint8_t>(hexText[k]));
            if (d < 0) break;
            value = value * 16 + d;
        }
        out.push_back(static_cast<uint8_t>(value));
        i += 2;
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
    return twoHexDigits(static_cast<uint16_t>(n));
}

int16_t checked16(int32_t v) {
    if (v < -32768 || v > 32767) throw OverflowError("16-bit overflow");
    return static_cast<int16_t>(v);
}

int16_t checkedAdd16(int32_t a, int32_t b) {
    return checked16(a + b);
}
int16_t checkedSub16(int32_t a, int32_t b) {
    return checked16(a - b);
}

int16_t checkedMul16(int32_t a, int32_t b) {
    const int64_t p = static_cast<int64_t>(a) * b;
    if (p < -32768 || p > 32767) throw OverflowError("16-bit overflow");
    return static_cast<int16_t>(p);
}

}  // namespace kv7
