#pragma once
#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "serial/serial_port.h"

namespace kv7 {

// The serial link's port on QSerialPort. COM n is mapped to a device by the port name rule
// (serial/port_names.h), reading [PORTS] of the settings file.
class QtSerialPort : public SerialPort {
  public:
    // settingsFile: the settings file's path; backslashes are read as directory separators
    // where the platform uses slashes. Empty: no [PORTS] section is consulted.
    explicit QtSerialPort(std::string settingsFile = {});
    ~QtSerialPort() override;

    void setSettingsFile(const std::string& path);
    const std::string& settingsFile() const { return settingsFile_; }
    // The device COM n stands for now (the rule is applied again at every opening).
    std::string deviceName(int16_t n) const;
    // The device [PORTS] of the settings file assigns to COM n; none when it assigns none.
    std::optional<std::string> assignedDevice(int16_t n) const;
    // The platform's text for the last failed opening; empty after a good one.
    const QString& lastOpenError() const { return lastOpenError_; }
    // "/dev/ttyUSB0 is gone: ..." once the open device went away; empty after a good opening.
    const QString& goneText() const { return goneText_; }
    // Told the text above as soon as the device goes, before the line error is reported, and
    // an empty text when a device opens again after that.
    void setOnDeviceGone(std::function<void(const QString&)> told) { onGone_ = std::move(told); }

    void setCommPort(int16_t n) override { commPort_ = n; }
    void setSettings(const std::string& settings) override;
    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;
    void setInBufferSize(int32_t n) override;
    void setOutBufferSize(int32_t n) override { outBufferSize_ = n; }
    int32_t outBufferSize() const override { return outBufferSize_; }
    void setRThreshold(int32_t n) override { rThreshold_ = n; }
    void setSThreshold(int32_t n) override { sThreshold_ = n; }
    void setInputLen(int32_t n) override { inputLen_ = n; }
    void setInputMode(int32_t mode) override { inputMode_ = mode; }

    bool setPortOpen(bool open) override;
    bool portOpen() const override { return port_.isOpen(); }
    bool clearOutBuffer() override;

    int32_t inBufferCount() const override;
    ByteString input() override;
    void fetchReceived() override;
    int32_t outBufferCount() const override;
    void output(const ByteString& bytes) override;

    void setCommEventHandler(std::function<void(int)> handler) override {
        handler_ = std::move(handler);
    }

    // Line settings as parsed from the last valid Settings text.
    qint32 baudRate() const { return baud_; }
    QSerialPort::Parity parity() const { return parity_; }
    QSerialPort::DataBits dataBits() const { return dataBits_; }
    QSerialPort::StopBits stopBits() const { return stopBits_; }

  private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    bool applyModemLine(bool dtr, bool on);
    void notify(int commEvent);

    QSerialPort port_;
    std::function<void(int)> handler_;
    std::string settingsFile_;
    QString lastOpenError_;
    QString openedDevice_;
    QString goneText_;
    std::function<void(const QString&)> onGone_;
    int16_t commPort_ = 1;
    qint32 baud_ = 9600;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits_ = QSerialPort::Data8;
    QSerialPort::StopBits stopBits_ = QSerialPort::OneStop;
    bool dtr_ = false;
    bool rts_ = false;
    int32_t inBufferSize_ = 4096;
    int32_t outBufferSize_ = 1024;
    int32_t rThreshold_ = 0;
    int32_t sThreshold_ = 0;
    int32_t inputLen_ = 0;
    int32_t inputMode_ = 1;
    // The line was lost during this opening and that was reported.
    bool lineLost_ = false;
};

}  // namespace kv7
