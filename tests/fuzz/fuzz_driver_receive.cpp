// The driver's receive path in every work mode, fed in arbitrary chunks with time passing.
// Input: byte 0 picks the work mode and whether the request's echo comes first; then pairs of
// (chunk length, bytes) with a time step taken from the length byte's high bits.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "protocol/frame_format.h"
#include "protocol/protocol_driver.h"
#include "store/common.h"

namespace {

class LoopLink : public kv7::CloneLink {
  public:
    bool comSendEnable() const override { return true; }
    int32_t outBufferFree() const override { return 1024; }
    void output(const kv7::ByteString& bytes) override { last = bytes; }
    void setComPortNum(int16_t) override {}
    void setComOpen(bool) override {}
    bool comOpen() const override { return true; }
    void Reset() override {}
    kv7::ByteString last;
};

kv7::ByteString requestFor(int16_t mode) {
    switch (mode) {
        case 1: return kv7::HexTextToByteString("E022510000");
        case 2: return kv7::HexTextToByteString("E222510200");
        case 3: return kv7::HexTextToByteString("E322510200");
        case 4: return kv7::cloneEndPayload();
        default: return kv7::HexTextToByteString("E822510200033030");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kv7::ManualTickSource ticks(0x7FFFF000);
    kv7::clsCmcEeprom eep;
    LoopLink link;
    kv7::clsCmcQkv3Drv drv(ticks);
    drv.myObjCom = &link;
    drv.setMyEep(&eep);
    const int16_t mode = static_cast<int16_t>(1 + data[0] % 5);
    drv.setWorkMode(mode);
    if (mode == 5) drv.setWaitAnswer((data[0] & 0x40) != 0);
    if (mode == 3) {
        drv.setSizDataOfPacket(16);
        drv.setCloneWriteAdrList("0000-003F,1300-13FF,");
    }
    drv.setRetryCount(static_cast<int16_t>((data[0] >> 3) & 3));
    drv.Send(requestFor(mode));
    if (data[0] & 0x80) drv.read(link.last);  // the cable's echo

    size_t i = 1;
    while (i < size) {
        const uint8_t ctl = data[i++];
        const size_t n = std::min<size_t>(ctl & 0x3F, size - i);
        drv.read(kv7::ByteString(data + i, data + i + n));
        i += n;
        ticks.advance((ctl >> 6) * 400);
        drv.task();
        if (!drv.Running() && (ctl & 0xC0) == 0xC0) {
            drv.setWorkMode(mode);
            drv.Send(requestFor(mode));
        }
    }
    return 0;
}
