#include "platform/qt/qt_serial_port.h"

#include <QFileInfo>
#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <QStringList>
#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "serial/port_names.h"
#include "store/private_profile.h"

namespace kv7 {

namespace {

constexpr int32_t kProfileBuffer = 255;

struct LineSettings {
    qint32 baud;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

// "baud,parity,data bits,stop bits", for example "9600,N,8,1".
std::optional<LineSettings> parseSettings(const std::string& text) {
    const QStringList f = QString::fromStdString(text).split(u',');
    if (f.size() != 4) return std::nullopt;
    LineSettings s{};
    bool ok = false;
    s.baud = f[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0) return std::nullopt;

    const QString parity = f[1].trimmed().toUpper();
    if (parity == u"N") {
        s.parity = QSerialPort::NoParity;
    } else if (parity == u"E") {
        s.parity = QSerialPort::EvenParity;
    } else if (parity == u"O") {
        s.parity = QSerialPort::OddParity;
    } else if (parity == u"M") {
        s.parity = QSerialPort::MarkParity;
    } else if (parity == u"S") {
        s.parity = QSerialPort::SpaceParity;
    } else {
        return std::nullopt;
    }

    const int bits = f[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) return std::nullopt;
    s.dataBits = static_cast<QSerialPort::DataBits>(bits);

    const QString stop = f[3].trimmed();
    if (stop == u"1") {
        s.stopBits = QSerialPort::OneStop;
    } else if (stop == u"1.5") {
        s.stopBits = QSerialPort::OneAndHalfStop;
    } else if (stop == u"2") {
        s.stopBits = QSerialPort::TwoStop;
    } else {
        return std::nullopt;
    }
    return s;
}

int32_t clampedCount(qint64 n) {
    return static_cast<int32_t>(std::min<qint64>(n, std::numeric_limits<int32_t>::max()));
}

}  // namespace

QtSerialPort::QtSerialPort(std::string settingsFile) {
    setSettingsFile(settingsFile);
    QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] { onReadyRead(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialPort::~QtSerialPort() {
    handler_ = nullptr;
    if (port_.isOpen()) port_.close();
}

void QtSerialPort::setSettingsFile(const std::string& path) {
    settingsFile_ = path;
    if (!kWindowsHost) std::replace(settingsFile_.begin(), settingsFile_.end(), '\\', '/');
}

std::optional<std::string> QtSerialPort::assignedDevice(int16_t n) const {
    if (settingsFile_.empty()) return std::nullopt;
    PrivateProfile file;
    std::string value;
    if (file.GetPrivateProfileStringA(kPortsSection, portsKey(n), "", value, kProfileBuffer,
                                      settingsFile_) <= 0) {
        return std::nullopt;
    }
    return value;
}

std::string QtSerialPort::deviceName(int16_t n) const {
    PortNameRule rule;
    rule.windows = kWindowsHost;
    rule.portsEntry = [this, n](const std::string&) { return assignedDevice(n); };
    rule.exists = [](const std::string& path) {
        return QFileInfo::exists(QString::fromStdString(path));
    };
    return resolvePortName(n, rule);
}

void QtSerialPort::setSettings(const std::string& settings) {
    // A text the line cannot take leaves the settings as they were.
    const std::optional<LineSettings> s = parseSettings(settings);
    if (!s) return;
    baud_ = s->baud;
    parity_ = s->parity;
    dataBits_ = s->dataBits;
    stopBits_ = s->stopBits;
    if (port_.isOpen()) {
        port_.setBaudRate(baud_);
        port_.setParity(parity_);
        port_.setDataBits(dataBits_);
        port_.setStopBits(stopBits_);
    }
}

void QtSerialPort::setDTREnable(bool on) {
    dtr_ = on;
    if (port_.isOpen()) applyModemLine(true, on);
}

void QtSerialPort::setRTSEnable(bool on) {
    rts_ = on;
    if (port_.isOpen()) applyModemLine(false, on);
}

void QtSerialPort::setInBufferSize(int32_t n) {
    inBufferSize_ = std::max<int32_t>(n, 1);
    // Qt takes no more than the receive buffer holds; the rest waits with the operating system
    // until the link has read what is here, so a burst is never lost nor taken for an overflow.
    port_.setReadBufferSize(inBufferSize_);
}

bool QtSerialPort::applyModemLine(bool dtr, bool on) {
    const bool done = dtr ? port_.setDataTerminalReady(on) : port_.setRequestToSend(on);
    if (done) return true;
    // A device without modem lines (a pseudo-terminal) still carries the data.
    if (port_.error() == QSerialPort::UnsupportedOperationError) {
        port_.clearError();
        return true;
    }
    port_.clearError();
    return false;
}

bool QtSerialPort::setPortOpen(bool open) {
    if (!open) {
        if (port_.isOpen()) port_.close();
        port_.clearError();
        return true;
    }
    if (port_.isOpen()) return true;
    openedDevice_ = QString::fromStdString(deviceName(commPort_));
    port_.setPortName(openedDevice_);
    port_.setBaudRate(baud_);
    port_.setParity(parity_);
    port_.setDataBits(dataBits_);
    port_.setStopBits(stopBits_);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(inBufferSize_);
    lineLost_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        lastOpenError_ = port_.errorString();
        port_.clearError();
        return false;
    }
    if (!applyModemLine(true, dtr_) || !applyModemLine(false, rts_)) {
        lastOpenError_ = QStringLiteral("modem lines refused");
        port_.close();
        port_.clearError();
        return false;
    }
    lastOpenError_.clear();
    if (!goneText_.isEmpty()) {
        goneText_.clear();
        if (onGone_) onGone_(goneText_);
    }
    return true;
}

bool QtSerialPort::clearOutBuffer() {
    if (!port_.isOpen()) return true;  // nothing waits to be sent
    if (port_.clear(QSerialPort::Output)) return true;
    port_.clearError();
    return false;
}

int32_t QtSerialPort::inBufferCount() const {
    return port_.isOpen() ? clampedCount(port_.bytesAvailable()) : 0;
}

namespace {

// Bytes the system holds for the port: received and not yet read, written and not yet sent.
// A count the system will not give is 0; `in` is -1 where no system call can tell.
struct SystemQueues {
    qint64 in = -1;
    qint64 out = 0;
};

// The system's handle of the port: a file descriptor on POSIX, a HANDLE on Windows.
using PortHandle = decltype(std::declval<const QSerialPort&>().handle());

SystemQueues systemQueues(PortHandle handle) {
    SystemQueues q;
#if defined(Q_OS_UNIX)
    int in = 0;
    int out = 0;
    const int fd = static_cast<int>(handle);
    q.in = ioctl(fd, FIONREAD, &in) == 0 && in > 0 ? in : 0;
    q.out = ioctl(fd, TIOCOUTQ, &out) == 0 && out > 0 ? out : 0;
#elif defined(Q_OS_WIN)
    DWORD errors = 0;
    COMSTAT status{};
    // Also clears a line error the system holds, which would otherwise stop the port's I/O.
    const bool known = ClearCommError(handle, &errors, &status) != 0;
    q.in = known ? status.cbInQue : 0;
    q.out = known ? status.cbOutQue : 0;
#else
    (void)handle;
#endif
    return q;
}

}  // namespace

void QtSerialPort::fetchReceived() {
    if (!port_.isOpen()) return;
    if (systemQueues(port_.handle()).in == 0) return;
    // Reads without waiting, as the event loop would have; the receive event comes from here.
    port_.waitForReadyRead(0);
}

ByteString QtSerialPort::input() {
    if (!port_.isOpen()) return {};
    const QByteArray data = port_.readAll();
    return ByteString(data.begin(), data.end());
}

int32_t QtSerialPort::outBufferCount() const {
    if (!port_.isOpen()) return 0;
    // Bytes the system holds for the line count too: they are not sent yet either.
    return clampedCount(port_.bytesToWrite() + systemQueues(port_.handle()).out);
}

void QtSerialPort::output(const ByteString& bytes) {
    if (!port_.isOpen() || bytes.empty()) return;
    port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    // Hand the bytes to the system now rather than on a later pass of the event loop, so a
    // written frame is on its way to the line when the write returns.
    port_.flush();
}

void QtSerialPort::notify(int commEvent) {
    if (handler_) handler_(commEvent);
}

void QtSerialPort::onReadyRead() {
    if (port_.bytesAvailable() > inBufferSize_) {
        notify(kEvRxOver);
        return;
    }
    if (rThreshold_ > 0) notify(kEvReceive);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    // The far side is gone: Qt would report the same error again and again with the port
    // still open. Close it and report one line error; the exchange then ends by its time-out.
    if (lineLost_ || !port_.isOpen()) return;
    lineLost_ = true;
    port_.close();
    port_.clearError();
    // Said first: the line error below may end in a message box that waits for the technician.
    goneText_ = QStringLiteral("%1 is gone: the cable was unplugged or the radio switched off")
                    .arg(openedDevice_);
    if (onGone_) onGone_(goneText_);
    notify(kEvFrame);
}

}  // namespace kv7
