#include "protocol/radio.h"

#include <cstdio>

namespace kv7 {

namespace {
// The last four upper-case hex digits of the 32-bit two's-complement form.
std::string fourHexDigits(int32_t adr) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<uint32_t>(adr) & 0xFFFFu);
    return buf;
}
}  // namespace

void clsCmcRadio::cloneWriteAdrList_Add(int32_t adr0, int32_t adr1) {
    cloneWriteAdrList_ += fourHexDigits(adr0) + "-" + fourHexDigits(adr1) + ",";
}

}  // namespace kv7
