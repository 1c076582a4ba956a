// Answer acceptance and the identification fields on arbitrary records in every work mode.
#include <cstddef>
#include <cstdint>

#include "protocol/frame_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kv7::ByteString record(data, data + size);
    for (int16_t mode = 0; mode <= 5; ++mode) {
        (void)kv7::judgeAnswer(record, mode, size > 0 ? data[0] : 0);
    }
    (void)kv7::checkAnswer(record, 0x03);
    (void)kv7::readCloneDataRecord(record);
    (void)kv7::identModelCode(record);
    (void)kv7::identSubName(record);
    (void)kv7::identChannelType(record);
    return 0;
}
