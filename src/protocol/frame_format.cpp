#include "protocol/frame_format.h"

#include <algorithm>
#include <stdexcept>

#include "store/common.h"

namespace kv7 {

namespace {

int hexDigitValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Both nibbles of every byte in [from, to) are 0 to 9: the identity codes read as decimal.
bool decimalDigitsOnly(const ByteString& record, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if ((record[i] >> 4) > 9 || (record[i] & 0x0F) > 9) return false;
    }
    return true;
}

std::string hexOfRange(const ByteString& record, size_t from, size_t count) {
    if (record.size() <= from) return {};
    const size_t to = std::min(record.size(), from + count);
    return ByteStringToHexText(ByteString(record.begin() + static_cast<std::ptrdiff_t>(from),
                                          record.begin() + static_cast<std::ptrdiff_t>(to)));
}

}  // namespace

ByteString buildFrame(const ByteString& payload, uint8_t destination, uint8_t source) {
    ByteString frame;
    frame.reserve(payload.size() + 5);
    frame.push_back(kFramePreamble);
    frame.push_back(kFramePreamble);
    frame.push_back(destination);
    frame.push_back(source);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(kFrameEnd);
    return frame;
}

ByteString buildCloneDataPayload(int32_t address, const ByteString& data) {
    if (data.size() > 255) throw std::invalid_argument("clone data block longer than 255 bytes");
    ByteString record;
    record.reserve(data.size() + 4);
    record.push_back(static_cast<uint8_t>((address >> 8) & 0xFF));
    record.push_back(static_cast<uint8_t>(address & 0xFF));
    record.push_back(static_cast<uint8_t>(data.size()));
    record.insert(record.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : record) sum += b;
    record.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));

    ByteString payload = TextToByteString(ByteStringToHexText(record));
    payload.insert(payload.begin(), kCmdCloneData);
    return payload;
}

ByteString cloneEndPayload() {
    ByteString payload = HexTextToByteString(kCloneSignatureHex);
    payload.insert(payload.begin(), kCmdCloneEnd);
    return payload;
}

int16_t asciiHexPair(uint8_t hi, uint8_t lo) {
    const int h = hexDigitValue(hi);
    const int l = hexDigitValue(lo);
    if (h < 0 || l < 0) return -1;
    return static_cast<int16_t>(h * 16 + l);
}

std::optional<CloneDataRecord> readCloneDataRecord(const ByteString& record) {
    // Positions 4-7 address, 8-9 count, then two characters per data byte.
    if (record.size() < 9) return std::nullopt;
    const int16_t adrHi = asciiHexPair(record[3], record[4]);
    const int16_t adrLo = asciiHexPair(record[5], record[6]);
    const int16_t count = asciiHexPair(record[7], record[8]);
    if (adrHi < 0 || adrLo < 0 || count < 0) return std::nullopt;
    if (record.size() < 9 + 2 * static_cast<size_t>(count)) return std::nullopt;

    CloneDataRecord out;
    out.address = adrHi * 256 + adrLo;
    out.data.reserve(static_cast<size_t>(count));
    for (int k = 1; k <= count; ++k) {
        // Data byte k sits at positions 8 + 2k and 9 + 2k.
        const int16_t v = asciiHexPair(record[static_cast<size_t>(7 + 2 * k)],
                                       record[static_cast<size_t>(8 + 2 * k)]);
        if (v < 0) return std::nullopt;
        out.data.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

bool isAnswerAddressed(const ByteString& record) {
    return record.size() >= 3 && record[0] == kControllerAddress && record[1] == kRadioAddress;
}

bool answerBelongsToMode(uint8_t command, int16_t workMode) {
    switch (workMode) {
        case 1: return command == kCmdIdentAnswer;
        case 2: return command == kCmdCloneData || command == kCmdCloneEnd;
        case 4: return command == kCmdCloneWriteResult;
        case 5: return command == kCmdAdjust;
        default: return false;
    }
}

bool checkIdentAnswer(const ByteString& record) {
    return record.size() >= 7 && decimalDigitsOnly(record, 3, 7);
}

bool checkCloneDataRecord(const ByteString& record) {
    const size_t len = record.size();
    if (len < 13 || len % 2 == 0) return false;
    unsigned sum = 0;
    for (size_t i = 3; i + 1 < len; i += 2) {
        const int16_t v = asciiHexPair(record[i], record[i + 1]);
        if (v < 0) return false;
        sum += static_cast<unsigned>(v);
    }
    if (sum % 256 != 0) return false;
    return static_cast<size_t>(asciiHexPair(record[7], record[8])) == (len - 11) / 2;
}

bool checkCloneEndRecord(const ByteString& record) {
    return record.size() >= 3 && hexOfRange(record, 3, record.size()) == kCloneSignatureHex;
}

bool checkCloneWriteResult(const ByteString& record) {
    // The result byte must be there to be read as written or refused.
    return record.size() >= 4;
}

bool checkAdjustAnswer(const ByteString& record, uint8_t e8SubCommand) {
    return record.size() >= 8 && decimalDigitsOnly(record, 3, 7) && record[7] == e8SubCommand;
}

bool checkAnswer(const ByteString& record, uint8_t e8SubCommand) {
    if (!isAnswerAddressed(record)) return false;
    switch (record[2]) {
        case kCmdIdentAnswer: return checkIdentAnswer(record);
        case kCmdCloneData: return checkCloneDataRecord(record);
        case kCmdCloneEnd: return checkCloneEndRecord(record);
        case kCmdCloneWriteResult: return checkCloneWriteResult(record);
        case kCmdAdjust: return checkAdjustAnswer(record, e8SubCommand);
        default: return false;
    }
}

AnswerVerdict judgeAnswer(const ByteString& record, int16_t workMode, uint8_t e8SubCommand) {
    if (!isAnswerAddressed(record)) return AnswerVerdict::Ignored;
    if (!answerBelongsToMode(record[2], workMode)) return AnswerVerdict::Ignored;
    return checkAnswer(record, e8SubCommand) ? AnswerVerdict::Accepted : AnswerVerdict::Illegal;
}

std::string identModelCode(const ByteString& record) {
    return hexOfRange(record, 3, 2);
}

std::string identSubName(const ByteString& record) {
    return hexOfRange(record, 5, 2);
}

bool identChannelType(const ByteString& record) {
    // A record of exactly 41 bytes has no position 42: the flag reads false there.
    return record.size() > 41 && (record[41] & 0x20) != 0;
}

}  // namespace kv7
