#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/clone_link.h"
#include "protocol/protocol_driver.h"
#include "protocol/tick.h"
#include "store/byte_string.h"
#include "store/eeprom.h"

namespace kv7::test {

// A serial link without a port: records every written frame, can loop it back as the cable's
// echo, and holds the bytes "received" until deliver() hands them to the driver.
class FakeCloneLink : public CloneLink {
  public:
    clsCmcQkv3Drv* driver = nullptr;  // reset on every open and close, as the real link does
    bool portOpen = false;
    bool openFails = false;
    bool echo = true;
    int32_t freeSpace = 1024;
    int32_t queuedMs = 0;  // line time of bytes "still in the port" ahead of the next write
    int16_t portNum = 1;
    int resets = 0;
    std::vector<ByteString> written;
    ByteString pending;
    // Called after each written frame (and its echo): a scripted radio answers here.
    std::function<void(const ByteString& frame)> onWrite;

    bool comSendEnable() const override { return portOpen; }
    int32_t outBufferFree() const override { return freeSpace; }
    int32_t queuedLineMs() const override { return queuedMs; }
    void output(const ByteString& bytes) override;
    void setComPortNum(int16_t n) override { portNum = n; }
    void setComOpen(bool v) override;
    bool comOpen() const override { return portOpen; }
    void Reset() override;

    void inject(const ByteString& bytes) {
        pending.insert(pending.end(), bytes.begin(), bytes.end());
    }
    // Hands all waiting bytes to the driver in one chunk.
    void deliver();
};

// A driver wired to a fake link (port open), an image and a virtual clock.
struct DriverRig {
    ManualTickSource clock{1000};
    FakeCloneLink link;
    clsCmcEeprom eep;
    clsCmcQkv3Drv drv{clock};

    DriverRig();
    // One heartbeat: received bytes first, then time passes and the driver polls its time-outs.
    void tick(int32_t ms = 50);
    // Heartbeats until the driver is idle or the limit passes; returns the ticks run.
    int runUntilIdle(int maxTicks = 1000);
};

ByteString hexBytes(const std::string& hexText);
// A frame as the radio writes it (addressed EF from EE).
ByteString radioFrame(const ByteString& payload);
ByteString radioFrame(const std::string& payloadHex);
// An 0xE4 frame from the radio carrying data at address.
ByteString radioCloneData(int32_t address, const ByteString& data);
// An 0xE1 answer record payload for the codes, padded with zero bytes to the given data length.
ByteString identPayload(const std::string& model, const std::string& sub, size_t dataLength = 4,
                        bool channelType = false);

}  // namespace kv7::test
