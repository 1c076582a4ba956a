#include "protocol/support/fake_clone_link.h"

#include "protocol/frame_format.h"
#include "store/common.h"

namespace kv7::test {

void FakeCloneLink::output(const ByteString& bytes) {
    written.push_back(bytes);
    if (echo) inject(bytes);
    if (onWrite) onWrite(bytes);
}

void FakeCloneLink::setComOpen(bool v) {
    portOpen = v && !openFails;
    if (driver != nullptr) driver->Reset();
}

void FakeCloneLink::Reset() {
    ++resets;
    setComOpen(false);
    portNum = 1;
}

void FakeCloneLink::deliver() {
    if (driver == nullptr || pending.empty()) return;
    ByteString chunk;
    chunk.swap(pending);
    driver->read(chunk);
}

DriverRig::DriverRig() {
    drv.myObjCom = &link;
    link.driver = &drv;
    link.portOpen = true;
    drv.setMyEep(&eep);
}

void DriverRig::tick(int32_t ms) {
    link.deliver();
    clock.advance(ms);
    drv.task();
}

int DriverRig::runUntilIdle(int maxTicks) {
    int n = 0;
    while (drv.Running() && n < maxTicks) {
        tick();
        ++n;
    }
    return n;
}

ByteString hexBytes(const std::string& hexText) {
    return HexTextToByteString(hexText);
}

ByteString radioFrame(const ByteString& payload) {
    return buildFrame(payload, kControllerAddress, kRadioAddress);
}

ByteString radioFrame(const std::string& payloadHex) {
    return radioFrame(hexBytes(payloadHex));
}

ByteString radioCloneData(int32_t address, const ByteString& data) {
    return radioFrame(buildCloneDataPayload(address, data));
}

ByteString identPayload(const std::string& model, const std::string& sub, size_t dataLength,
                        bool channelType) {
    ByteString p = hexBytes("E1" + model + sub);
    p.resize(1 + dataLength, 0x00);
    // Data byte 39 is record position 42.
    if (channelType && p.size() > 39) p[39] = 0x20;
    return p;
}

}  // namespace kv7::test
