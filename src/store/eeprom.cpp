#include "store/eeprom.h"

#include <algorithm>

namespace kv7 {

namespace {
constexpr int32_t kImageSize = 5120;
}

clsCmcEeprom::clsCmcEeprom() {
    setEeSize(kImageSize);
}

void clsCmcEeprom::setEeSize(int32_t lo) {
    // A negative size cannot hold any byte; it makes an empty image rather than a crash.
    eeSize_ = std::max<int32_t>(lo, 0);
    eeData_.assign(static_cast<std::size_t>(eeSize_), 0);
}

int16_t clsCmcEeprom::ReadByte(int32_t adr) const {
    if (!AdrValid(adr)) return 0;
    return eeData_[static_cast<std::size_t>(adr)];
}

int16_t clsCmcEeprom::WriteByte(int32_t adr, uint8_t data) {
    if (!AdrValid(adr)) return 1;
    eeData_[static_cast<std::size_t>(adr)] = data;
    return 0;
}

int16_t clsCmcEeprom::ReadBit(int32_t adr, int16_t bit) const {
    // Only bits 0 to 7 exist in a byte; any other bit number has an empty mask.
    if (!AdrValid(adr) || bit < 0 || bit > 7) return 0;
    const auto mask = static_cast<uint8_t>(1u << bit);
    return (eeData_[static_cast<std::size_t>(adr)] & mask) != 0 ? 1 : 0;
}

int16_t clsCmcEeprom::FillBlock(int32_t adr, uint8_t data, int32_t siz) {
    const int64_t last = static_cast<int64_t>(adr) + siz - 1;
    if (!AdrValid(adr) || !AdrValid(last)) return 1;
    for (int64_t a = adr; a <= last; ++a) eeData_[static_cast<std::size_t>(a)] = data;
    return 0;
}

int16_t clsCmcEeprom::WriteBlock(int32_t adr, const ByteString& vr) {
    const int64_t last = static_cast<int64_t>(adr) + static_cast<int64_t>(vr.size()) - 1;
    // Checked before the first byte is stored: a refused block leaves the image untouched.
    if (!AdrValid(adr) || !AdrValid(last)) return 1;
    std::copy(vr.begin(), vr.end(), eeData_.begin() + adr);
    return 0;
}

ByteString clsCmcEeprom::ReadBlock(int32_t adr, int32_t siz) const {
    if (siz <= 0) return {};
    const int64_t first = std::max<int64_t>(adr, 0);
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(adr) + siz, eeSize_);
    if (first >= end) return {};
    return ByteString(eeData_.begin() + first, eeData_.begin() + end);
}

}  // namespace kv7
