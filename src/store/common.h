#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "store/byte_string.h"
#include "store/message_sink.h"

namespace kv7 {

// A 16-bit result that does not fit: the operation ends, the event boundary reports it.
class OverflowError : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
};

// An index outside an array or list: the operation ends, the event boundary reports it.
class SubscriptError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Application title, used as every message box title.
inline constexpr const char* kAppTitle = "SW-KV7 ADJ Rev.2.0";

// Expands "\n" escapes, then shows the text through the sink. Always returns OK (1).
int ShowMessage(MessageSink& sink, const std::string& text);
std::string ExpandNewlines(const std::string& text);
ByteString TextToByteString(const std::string& text);
// Reads the bytes as hex digits; throws OverflowError for 5-8 digits beyond 16 bits.
int16_t AsciiHexToInt(const ByteString& bytes);
ByteString HexTextToByteString(const std::string& hexText);
std::string ByteStringToHexText(const ByteString& bytes);
std::string ByteToAsciiHexText(int16_t n);
std::string HexByte(int16_t n);

// 16-bit checked arithmetic for the places where an overflow is a programming error.
int16_t checkedAdd16(int32_t a, int32_t b);
int16_t checkedSub16(int32_t a, int32_t b);
int16_t checkedMul16(int32_t a, int32_t b);
int16_t checked16(int32_t v);

}  // namespace kv7
