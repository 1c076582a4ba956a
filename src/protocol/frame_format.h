#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "store/byte_string.h"
#include "store/eeprom.h"

namespace kv7 {

// Frame layout on the cloning line: FE FE, destination, source, command, data, FD.
inline constexpr uint8_t kFramePreamble = 0xFE;
inline constexpr uint8_t kFrameEnd = 0xFD;
inline constexpr uint8_t kRadioAddress = 0xEE;
inline constexpr uint8_t kControllerAddress = 0xEF;

inline constexpr uint8_t kCmdIdentRequest = 0xE0;
inline constexpr uint8_t kCmdIdentAnswer = 0xE1;
inline constexpr uint8_t kCmdCloneRead = 0xE2;
inline constexpr uint8_t kCmdCloneWrite = 0xE3;
inline constexpr uint8_t kCmdCloneData = 0xE4;
inline constexpr uint8_t kCmdCloneEnd = 0xE5;
inline constexpr uint8_t kCmdCloneWriteResult = 0xE6;
inline constexpr uint8_t kCmdAdjust = 0xE8;

// The clone end signature "Vexo Inc." as hex text.
inline constexpr const char* kCloneSignatureHex = "5665786F20496E632E";

// Record positions (1-based) inside an answer record: destination, source, command, data...
// The record is the frame without its preamble and end byte.

// FE FE, destination, source, the payload (command byte first), FD.
ByteString buildFrame(const ByteString& payload, uint8_t destination = kRadioAddress,
                      uint8_t source = kControllerAddress);

// 0xE4 followed by the clone data record (address, count, data, checksum) as ASCII hex.
// data holds at most 255 bytes (the count is one byte); more throws std::invalid_argument.
ByteString buildCloneDataPayload(int32_t address, const ByteString& data);

// 0xE5 followed by the nine signature bytes.
ByteString cloneEndPayload();

// A clone data record as read from an 0xE4 answer record.
struct CloneDataRecord {
    int32_t address = 0;  // 0 to 65535
    ByteString data;
};

// Reads address, count and data of an 0xE4 record (positions 4 onward). Gives nothing when the
// record is too short for its count or a field is not hexadecimal; it never reads past the
// record. The checksum is not judged here (checkCloneDataRecord does that).
std::optional<CloneDataRecord> readCloneDataRecord(const ByteString& record);

// Value of two ASCII hex characters (either case), or -1 when one is not a hex digit.
int16_t asciiHexPair(uint8_t hi, uint8_t lo);

// Acceptance, rules 1 and 2: at least 3 bytes, addressed to this program by the radio.
bool isAnswerAddressed(const ByteString& record);

// Acceptance, rule 3: the command is one the exchange of this driver work mode handles.
bool answerBelongsToMode(uint8_t command, int16_t workMode);

// The commands' own checks. They look at the length and the data from position 4 onward,
// not at the addresses, so the radio side can judge the controller's frames with them too.
bool checkIdentAnswer(const ByteString& record);
bool checkCloneDataRecord(const ByteString& record);
bool checkCloneEndRecord(const ByteString& record);
bool checkCloneWriteResult(const ByteString& record);
bool checkAdjustAnswer(const ByteString& record, uint8_t e8SubCommand);

// Addresses first, then the check of the record's command. A command without a check of its
// own (0xE0, 0xE2, 0xE3 or unknown) fails.
bool checkAnswer(const ByteString& record, uint8_t e8SubCommand);

enum class AnswerVerdict { Ignored, Illegal, Accepted };

// The full acceptance order for an answer record received in the given work mode.
AnswerVerdict judgeAnswer(const ByteString& record, int16_t workMode, uint8_t e8SubCommand);

// Fields of an identification answer record; short records give what is there.
std::string identModelCode(const ByteString& record);  // positions 4 and 5 as hex text
std::string identSubName(const ByteString& record);    // positions 6 and 7 as hex text
bool identChannelType(const ByteString& record);       // bit 5 of position 42, when present

}  // namespace kv7
