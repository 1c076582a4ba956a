#include "platform/qt/qt_serial_port.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "platform/qt/qt_heartbeat.h"
#include "platform/support/pty_pair.h"

namespace kv7 {
namespace {

using test::PtyPair;
using test::pumpFor;
using test::pumpUntil;

// A port configured as the link configures it, with COM 1 pointed at the test's pty.
class QtSerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(dir.isValid());
        settingsFile = test::writePortsFile(
            dir.path(),
            "COM1=" + pty.slavePath() + "\r\nCOM2=" + dir.path().toStdString() + "/absent-tty\r\n");
        port.setSettingsFile(settingsFile.toStdString());
        port.setCommEventHandler([this](int e) { events.push_back(e); });
        port.setCommPort(1);
        port.setSettings("9600,N,8,1");
        port.setDTREnable(true);
        port.setInBufferSize(4096);
        port.setOutBufferSize(1024);
        port.setRThreshold(1);
        port.setRTSEnable(true);
    }

    int count(int event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    PtyPair pty;
    QTemporaryDir dir;
    QString settingsFile;
    QtSerialPort port;
    std::vector<int> events;
};

TEST_F(QtSerialPortTest, PortsEntryNamesTheDevice) {
    EXPECT_EQ(port.deviceName(1), pty.slavePath());
    EXPECT_EQ(port.deviceName(2), dir.path().toStdString() + "/absent-tty");
    // Without an entry the serial devices apply.
    const std::string third = port.deviceName(3);
    EXPECT_TRUE(third == "/dev/ttyUSB2" || third == "/dev/ttyS2") << third;
    // The settings path as the profile object spells it, with a backslash before the name.
    QtSerialPort other(dir.path().toStdString() + "\\SWKV7ADJ.rs");
    EXPECT_EQ(other.deviceName(1), pty.slavePath());
}

TEST_F(QtSerialPortTest, BytesTravelUntranslatedBothWays) {
    ASSERT_TRUE(port.setPortOpen(true)) << port.lastOpenError().toStdString();
    EXPECT_TRUE(port.portOpen());
    EXPECT_TRUE(port.clearOutBuffer());

    // Line ends, flow control and interrupt characters, the frame bytes.
    const ByteString sent = {0xFE, 0xFE, 0xEE, 0xEF, 0x0D, 0x0A,
                             0x11, 0x13, 0x03, 0x1A, 0x7F, 0xFD};
    port.output(sent);
    ByteString atFarEnd;
    ASSERT_TRUE(pumpUntil(
        [&] {
            const ByteString got = pty.read();
            atFarEnd.insert(atFarEnd.end(), got.begin(), got.end());
            return atFarEnd.size() >= sent.size();
        },
        2000));
    EXPECT_EQ(atFarEnd, sent);
    EXPECT_TRUE(pumpUntil([&] { return port.outBufferCount() == 0; }, 1000));

    const ByteString received = {0x0A, 0x0D, 0x0D, 0x04, 0x11, 0x00, 0xFF, 0x1C};
    ASSERT_EQ(pty.write(received), received.size());
    ASSERT_TRUE(pumpUntil([&] { return port.inBufferCount() >= int32_t(received.size()); }, 2000));
    EXPECT_GE(count(SerialPort::kEvReceive), 1);
    EXPECT_EQ(port.input(), received);
    EXPECT_EQ(port.inBufferCount(), 0);

    EXPECT_TRUE(port.setPortOpen(false));
    EXPECT_FALSE(port.portOpen());
    EXPECT_TRUE(port.setPortOpen(false));  // closing a closed port is fine
    EXPECT_TRUE(port.clearOutBuffer());
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.input().empty());
    port.output({0x01});  // dropped, no crash
    EXPECT_EQ(count(SerialPort::kEvFrame), 0);
}

// A program that stalled finds the answer that came meanwhile before its wait gives up, though
// the event loop has not run since.
TEST_F(QtSerialPortTest, BytesTheSystemHoldsAreReceivedWithoutTheEventLoop) {
    ASSERT_TRUE(port.setPortOpen(true)) << port.lastOpenError().toStdString();
    const ByteString answer = {0xFE, 0xFE, 0xEE, 0xEF, 0xE8, 0x05, 0xFD};
    ASSERT_EQ(pty.write(answer), answer.size());
    usleep(20000);  // the terminal hands the bytes over at once; no event loop runs
    port.fetchReceived();
    EXPECT_EQ(port.inBufferCount(), int32_t(answer.size()));
    EXPECT_EQ(count(SerialPort::kEvReceive), 1);
    EXPECT_EQ(port.input(), answer);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.portOpen());
}

TEST_F(QtSerialPortTest, AbsentOrBusyDeviceIsAFailedOpening) {
    port.setCommPort(2);
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_FALSE(port.portOpen());
    EXPECT_FALSE(port.lastOpenError().isEmpty());

    port.setCommPort(1);
    ASSERT_TRUE(port.setPortOpen(true));
    QtSerialPort second(settingsFile.toStdString());
    second.setCommPort(1);
    EXPECT_FALSE(second.setPortOpen(true));
    EXPECT_FALSE(second.portOpen());
    EXPECT_TRUE(port.portOpen());
}

TEST_F(QtSerialPortTest, ABurstBeyondTheReceiveBufferIsNeitherLostNorAnOverflow) {
    ASSERT_TRUE(port.setPortOpen(true));
    // 6,000 bytes arrive while nothing reads: the port holds at most its buffer, the rest waits
    // with the operating system and follows once the link has read.
    ByteString sent;
    for (int i = 0; i < 6000; ++i) sent.push_back(static_cast<uint8_t>(i * 7));
    size_t written = 0;
    ByteString got;
    ASSERT_TRUE(pumpUntil(
        [&] {
            if (written < sent.size()) {
                written += pty.write(ByteString(sent.begin() + static_cast<long>(written),
                                                sent.begin() + static_cast<long>(std::min<size_t>(
                                                                   written + 512, sent.size()))));
            }
            EXPECT_LE(port.inBufferCount(), 4096);
            // The first read waits until the port is full.
            if (written >= sent.size() && (port.inBufferCount() >= 4096 || !got.empty())) {
                const ByteString chunk = port.input();
                got.insert(got.end(), chunk.begin(), chunk.end());
            }
            return got.size() >= sent.size();
        },
        5000));
    EXPECT_EQ(got, sent);
    EXPECT_EQ(count(SerialPort::kEvRxOver), 0);
}

TEST_F(QtSerialPortTest, ExactlyTheReceiveBufferIsNoOverflow) {
    ASSERT_TRUE(port.setPortOpen(true));
    ASSERT_EQ(pty.write(ByteString(4096, 0x33)), 4096u);
    ASSERT_TRUE(pumpUntil([&] { return port.inBufferCount() == 4096; }, 3000));
    pumpFor(100);
    EXPECT_EQ(count(SerialPort::kEvRxOver), 0);
    EXPECT_EQ(port.input().size(), 4096u);
}

TEST_F(QtSerialPortTest, FarSideGoneClosesThePortAndReportsOnce) {
    ASSERT_TRUE(port.setPortOpen(true));
    pty.closeMaster();
    ASSERT_TRUE(pumpUntil([&] { return count(SerialPort::kEvFrame) > 0; }, 3000));
    pumpFor(200);
    EXPECT_EQ(count(SerialPort::kEvFrame), 1);
    EXPECT_FALSE(port.portOpen());
    // The device is gone with its far side: the next opening fails.
    EXPECT_FALSE(port.setPortOpen(true));
}

TEST(QtSerialPortSettings, LineSettingsTextIsParsedOrLeftAsItWas) {
    QtSerialPort port;
    const struct {
        const char* text;
        qint32 baud;
        QSerialPort::Parity parity;
        QSerialPort::DataBits bits;
        QSerialPort::StopBits stop;
    } cases[] = {
        {"9600,N,8,1", 9600, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop},
        {"4800,e,7,2", 4800, QSerialPort::EvenParity, QSerialPort::Data7, QSerialPort::TwoStop},
        {"1200,O,5,1.5", 1200, QSerialPort::OddParity, QSerialPort::Data5,
         QSerialPort::OneAndHalfStop},
        // Refused texts: the previous settings stay.
        {"", 1200, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneAndHalfStop},
        {"9600,N,8", 1200, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneAndHalfStop},
        {"9600,X,8,1", 1200, QSerialPort::OddParity, QSerialPort::Data5,
         QSerialPort::OneAndHalfStop},
        {"0,N,8,1", 1200, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneAndHalfStop},
        {"9600,N,9,1", 1200, QSerialPort::OddParity, QSerialPort::Data5,
         QSerialPort::OneAndHalfStop},
        {"9600,N,8,3", 1200, QSerialPort::OddParity, QSerialPort::Data5,
         QSerialPort::OneAndHalfStop},
        {"19200,S,6,1", 19200, QSerialPort::SpaceParity, QSerialPort::Data6, QSerialPort::OneStop},
    };
    for (const auto& c : cases) {
        port.setSettings(c.text);
        EXPECT_EQ(port.baudRate(), c.baud) << c.text;
        EXPECT_EQ(port.parity(), c.parity) << c.text;
        EXPECT_EQ(port.dataBits(), c.bits) << c.text;
        EXPECT_EQ(port.stopBits(), c.stop) << c.text;
    }
}

TEST(QtHeartbeatTest, TicksEveryFiftyMillisecondsWhileEnabled) {
    int ticks = 0;
    QtHeartbeat beat([&] { ++ticks; });
    EXPECT_FALSE(beat.enabled());
    pumpFor(120);
    EXPECT_EQ(ticks, 0);

    beat.setEnabled(true);
    beat.setEnabled(true);  // enabling twice does not restart or double the timer
    EXPECT_TRUE(beat.enabled());
    pumpFor(520);
    EXPECT_GE(ticks, 5);  // a loaded machine delivers some late, never doubled
    EXPECT_LE(ticks, 11);

    beat.setEnabled(false);
    EXPECT_FALSE(beat.enabled());
    const int stopped = ticks;
    pumpFor(150);
    EXPECT_EQ(ticks, stopped);
}

}  // namespace
}  // namespace kv7
