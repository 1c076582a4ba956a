#pragma once
#include <cstdint>
#include <vector>

#include "store/byte_string.h"

namespace kv7 {

// The program's copy of the radio's EEPROM: 5,120 bytes, all zero at creation.
class clsCmcEeprom {
public:
    clsCmcEeprom();

    void setEeSize(int32_t lo);
    int32_t eeSize() const { return eeSize_; }

    int16_t ReadByte(int32_t adr) const;                 // 0 outside the image
    int16_t WriteByte(int32_t adr, uint8_t data);        // 0 done, 1 refused
    int16_t ReadBit(int32_t adr, int16_t bit) const;     // 1 or 0
    int16_t FillBlock(int32_t adr, uint8_t data, int32_t siz);
    int16_t WriteBlock(int32_t adr, const ByteString& vr);
    // Bytes from adr on; only those that lie inside the image are returned.
    ByteString ReadBlock(int32_t adr, int32_t siz) const;

private:
    bool AdrValid(int64_t adr) const { return adr >= 0 && adr < eeSize_; }
    std::vector<uint8_t> eeData_;
    int32_t eeSize_ = 0;
};

}  // namespace kv7
