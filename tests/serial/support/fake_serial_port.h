#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "store/byte_string.h"

namespace kv7::test {

// A serial control in memory: logs every configuration call in order, holds "received" bytes
// until the link reads them, keeps written bytes as unsent until drain(), and can be told to
// fail an opening or the emptying of the transmit buffer.
class FakeSerialPort : public SerialPort {
  public:
    // Configuration calls as "Name=value", in call order.
    std::vector<std::string> log;
    int16_t commPort = 0;
    std::string settings;
    bool dtr = false;
    bool rts = false;
    int32_t inBufferSize = 0;
    int32_t outSize = 0;
    int32_t rThreshold = -1;
    int32_t sThreshold = -1;
    int32_t inputLen = -1;
    int32_t inputMode = -1;

    bool open = false;
    bool openFails = false;
    bool clearFails = false;
    int opens = 0;
    int closes = 0;
    int clears = 0;
    ByteString rx;
    ByteString unsent;
    std::vector<ByteString> written;
    std::function<void(int)> handler;

    void setCommPort(int16_t n) override;
    void setSettings(const std::string& s) override;
    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;
    void setInBufferSize(int32_t n) override;
    void setOutBufferSize(int32_t n) override;
    int32_t outBufferSize() const override { return outSize; }
    void setRThreshold(int32_t n) override;
    void setSThreshold(int32_t n) override;
    void setInputLen(int32_t n) override;
    void setInputMode(int32_t mode) override;

    bool setPortOpen(bool v) override;
    bool portOpen() const override { return open; }
    bool clearOutBuffer() override;

    int32_t inBufferCount() const override { return static_cast<int32_t>(rx.size()); }
    ByteString input() override;
    int32_t outBufferCount() const override { return static_cast<int32_t>(unsent.size()); }
    void output(const ByteString& bytes) override;
    void setCommEventHandler(std::function<void(int)> h) override { handler = std::move(h); }

    // Bytes arrive on the line: they wait in the port and the receive event fires.
    void receive(const ByteString& bytes);
    // Fires a comm event as the platform would.
    void fire(int commEvent);
    void drain() { unsent.clear(); }
};

}  // namespace kv7::test
