#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "serial/serial_port.h"
#include "sim/sim_radio.h"

namespace kv7::sim {

// The serial port with a simulated radio on its cable, in the same process. Nothing moves by
// itself: after advancing virtual time, the test calls pump(), which hands the radio's due bytes
// to the receive buffer and raises the receive event, as the platform would.
class SimSerialPort : public SerialPort {
  public:
    explicit SimSerialPort(SimRadio& radio) : radio_(radio) {}

    void setCommPort(int16_t n) override { commPort_ = n; }
    void setSettings(const std::string& settings) override { settings_ = settings; }
    void setDTREnable(bool on) override { dtr_ = on; }
    void setRTSEnable(bool on) override { rts_ = on; }
    void setInBufferSize(int32_t n) override { inBufferSize_ = n; }
    void setOutBufferSize(int32_t n) override { outBufferSize_ = n; }
    int32_t outBufferSize() const override { return outBufferSize_; }
    void setRThreshold(int32_t n) override { rThreshold_ = n; }
    void setSThreshold(int32_t n) override { sThreshold_ = n; }
    void setInputLen(int32_t n) override { inputLen_ = n; }
    void setInputMode(int32_t mode) override { inputMode_ = mode; }

    bool setPortOpen(bool open) override;
    bool portOpen() const override { return open_; }
    // Bytes the line has not carried yet are destroyed, as on a real port.
    bool clearOutBuffer() override;

    int32_t inBufferCount() const override { return static_cast<int32_t>(in_.size()); }
    ByteString input() override;
    // Written bytes the line has not carried to the radio yet.
    int32_t outBufferCount() const override;
    void output(const ByteString& bytes) override;

    void setCommEventHandler(std::function<void(int)> handler) override {
        handler_ = std::move(handler);
    }

    // Moves the radio's due bytes into the receive buffer, chunkSize at a time, raising the
    // receive event after each chunk; bytes the buffer cannot hold beyond inBufferSize are lost
    // and raise the overflow event. While the port is closed they fall on the floor. Returns the
    // bytes taken off the line.
    size_t pump();
    void setChunkSize(size_t n) { chunkSize_ = n == 0 ? 1 : n; }

    // Faults of the port itself.
    void setFailOpen(bool fail) { failOpen_ = fail; }  // the device is absent or busy
    // The device vanishes right after the n-th read that returns bytes (0: never).
    void setVanishAfterReads(int32_t n) { vanishAfterReads_ = n; }

    // For assertions.
    SimRadio& radio() { return radio_; }
    const ByteString& written() const { return written_; }  // every byte the program wrote
    void clearWritten() { written_.clear(); }
    int16_t commPort() const { return commPort_; }
    const std::string& settings() const { return settings_; }
    bool dtrEnable() const { return dtr_; }
    bool rtsEnable() const { return rts_; }
    int32_t inBufferSize() const { return inBufferSize_; }
    int32_t rThreshold() const { return rThreshold_; }
    int32_t sThreshold() const { return sThreshold_; }
    int32_t inputLen() const { return inputLen_; }
    int32_t inputMode() const { return inputMode_; }
    int32_t openCount() const { return openCount_; }
    int32_t writesWhileClosed() const { return writesWhileClosed_; }  // lost, as on a closed port
    // Written bytes a flush of the open port destroyed before the line carried them.
    int64_t bytesLostInFlush() const { return lostInFlush_; }

  private:
    void fire(int event);

    SimRadio& radio_;
    std::function<void(int)> handler_;
    ByteString in_;
    ByteString written_;
    bool open_ = false;
    bool failOpen_ = false;
    int32_t vanishAfterReads_ = 0;
    bool pumping_ = false;
    size_t chunkSize_ = 64;
    int16_t commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
    bool dtr_ = false;
    bool rts_ = false;
    int32_t inBufferSize_ = 4096;
    int32_t outBufferSize_ = 1024;
    int32_t rThreshold_ = 0;
    int32_t sThreshold_ = 0;
    int32_t inputLen_ = 0;
    int32_t inputMode_ = 0;
    int32_t openCount_ = 0;
    int32_t writesWhileClosed_ = 0;
    int64_t lostInFlush_ = 0;
};

}  // namespace kv7::sim
