#include "store/eeprom.h"

#include <algorithm>

namespace kv7 {

clsCmcEeprom::clsCmcEeprom() {
    setEeSize(5120);
}

void clsCmcEeprom::setEeSize(int32_t lo) {
    eeSize_ = std::max<int32_t>(lo, 0);
    eeData_.assign(static_cast<size_t>(eeSize_), 0);
}

int16_t clsCmcEeprom::ReadByte(int32_t adr) const {
    return AdrValid(adr) ? eeData_[adr] : 0;
}

int16_t clsCmcEeprom::WriteByte(int32_t adr, uint8_t data) {
    if (!AdrValid(adr)) return 1;
    eeData_[adr] = data;
    return 0;
}

int16_t clsCmcEeprom::ReadBit(int32_t adr, int16_t bit) const {
    if (!AdrValid(adr) || bit < 0 || bit > 7) return 0;
    return (eeData_[adr] >> bit) & 1;
}

int16_t clsCmcEeprom::FillBlock(int32_t adr, uint8_t data, int32_t siz) {
    const int64_t last = static_cast<int64_t>(adr) + siz - 1;
    if (!AdrValid(adr) || !AdrValid(last)) return 1;
    std::fill(eeData_.begin() + adr, eeData_.begin() + last + 1, data);
    return 0;
}

int16_t clsCmcEeprom::WriteBlock(int32_t adr, const ByteString& vr) {
    const int64_t last = static_cast<int64_t>(adr) + static_cast<int64_t>(vr.size()) - 1;
    if (!AdrValid(adr) || !AdrValid(last)) {
        // An empty block at a valid address other than 0 changes nothing and is accepted.
        if (vr.empty() && AdrValid(adr) && adr != 0) return 0;
        return 1;
    }
    std::copy(vr.begin(), vr.end(), eeData_.begin() + adr);
    return 0;
}

ByteString clsCmcEeprom::ReadBlock(int32_t adr, int32_t siz) const {
    ByteString out;
    if (siz <= 0) return out;
    const int64_t first = std::max<int64_t>(adr, 0);
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(adr) + siz, eeSize_);
    if (first < end) out.assign(eeData_.begin() + first, eeData_.begin() + end);
    return out;
}

}  // namespace kv7
