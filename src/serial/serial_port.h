#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "store/byte_string.h"

namespace kv7 {

// The serial communications control as the link uses it. The Qt adapter, the in-process
// simulated radio and test fakes implement it.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Event numbers delivered through the comm-event handler.
    static constexpr int kEvReceive = 2;
    static constexpr int kEvRxOver = 1008;  // receive buffer overflow
    static constexpr int kEvBreak = 1001;
    static constexpr int kEvFrame = 1004;  // framing error; also a vanished device
    static constexpr int kEvOverrun = 1006;

    virtual void setCommPort(int16_t n) = 0;
    virtual void setSettings(const std::string& settings) = 0;  // e.g. "9600,N,8,1"
    virtual void setDTREnable(bool on) = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual void setInBufferSize(int32_t n) = 0;
    virtual void setOutBufferSize(int32_t n) = 0;
    virtual int32_t outBufferSize() const = 0;
    virtual void setRThreshold(int32_t n) = 0;
    virtual void setSThreshold(int32_t n) = 0;
    virtual void setInputLen(int32_t n) = 0;
    virtual void setInputMode(int32_t mode) = 0;  // 1 binary

    // Open/close; false when the platform reported an error (absent, busy, no permission).
    virtual bool setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Empties the transmit buffer; false on a platform error.
    virtual bool clearOutBuffer() = 0;

    virtual int32_t inBufferCount() const = 0;
    virtual ByteString input() = 0;  // every waiting byte
    // Takes into the buffer what the system has received and not handed over yet: after the
    // program stalled, the answer a wait is about to give up on. Nothing where bytes come in
    // at once.
    virtual void fetchReceived() {}
    virtual int32_t outBufferCount() const = 0;
    virtual void output(const ByteString& bytes) = 0;

    // Called with the event number (kEvReceive, kEvRxOver, line errors).
    virtual void setCommEventHandler(std::function<void(int)> handler) = 0;
};

}  // namespace kv7
