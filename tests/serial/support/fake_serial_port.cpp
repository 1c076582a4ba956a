#include "serial/support/fake_serial_port.h"

namespace kv7::test {

void FakeSerialPort::setCommPort(int16_t n) {
    commPort = n;
    log.push_back("CommPort=" + std::to_string(n));
}

void FakeSerialPort::setSettings(const std::string& s) {
    settings = s;
    log.push_back("Settings=" + s);
}

void FakeSerialPort::setDTREnable(bool on) {
    dtr = on;
    log.push_back(std::string("DTREnable=") + (on ? "1" : "0"));
}

void FakeSerialPort::setRTSEnable(bool on) {
    rts = on;
    log.push_back(std::string("RTSEnable=") + (on ? "1" : "0"));
}

void FakeSerialPort::setInBufferSize(int32_t n) {
    inBufferSize = n;
    log.push_back("InBufferSize=" + std::to_string(n));
}

void FakeSerialPort::setOutBufferSize(int32_t n) {
    outSize = n;
    log.push_back("OutBufferSize=" + std::to_string(n));
}

void FakeSerialPort::setRThreshold(int32_t n) {
    rThreshold = n;
    log.push_back("RThreshold=" + std::to_string(n));
}

void FakeSerialPort::setSThreshold(int32_t n) {
    sThreshold = n;
    log.push_back("SThreshold=" + std::to_string(n));
}

void FakeSerialPort::setInputLen(int32_t n) {
    inputLen = n;
    log.push_back("InputLen=" + std::to_string(n));
}

void FakeSerialPort::setInputMode(int32_t mode) {
    inputMode = mode;
    log.push_back("InputMode=" + std::to_string(mode));
}

bool FakeSerialPort::setPortOpen(bool v) {
    log.push_back(std::string("PortOpen=") + (v ? "1" : "0"));
    if (v) {
        if (openFails) return false;
        ++opens;
        open = true;
    } else {
        if (open) ++closes;
        open = false;
        rx.clear();
        unsent.clear();
    }
    return true;
}

bool FakeSerialPort::clearOutBuffer() {
    ++clears;
    unsent.clear();
    return !clearFails;
}

ByteString FakeSerialPort::input() {
    ByteString all;
    all.swap(rx);
    return all;
}

void FakeSerialPort::output(const ByteString& bytes) {
    written.push_back(bytes);
    unsent.insert(unsent.end(), bytes.begin(), bytes.end());
}

void FakeSerialPort::receive(const ByteString& bytes) {
    rx.insert(rx.end(), bytes.begin(), bytes.end());
    fire(kEvReceive);
}

void FakeSerialPort::fire(int commEvent) {
    if (handler) handler(commEvent);
}

}  // namespace kv7::test
