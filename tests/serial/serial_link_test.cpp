#include "serial/serial_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/frame_format.h"
#include "serial/support/fake_serial_port.h"

namespace kv7 {
namespace {

using test::FakeSerialPort;

const std::vector<std::string> kConfiguration = {
    "DTREnable=1",        "InBufferSize=4096", "InputLen=0",  "InputMode=1",
    "OutBufferSize=1024", "RThreshold=1",      "RTSEnable=1", "SThreshold=0",
};

// The main window as the link sees it: counts the calls and can run a hook inside each.
class FakeClient : public LinkClient {
  public:
    int tasks = 0;
    int reports = 0;
    std::vector<std::string> calls;
    std::function<void()> onTask;
    std::function<void()> onReport;
    const SerialPort* port = nullptr;

    void task() override {
        ++tasks;
        calls.push_back("task");
        if (onTask) onTask();
    }
    void reportLinkError() override {
        ++reports;
        calls.push_back("report");
        if (onReport) onReport();
    }
    void saveData(clsCmcProfileIO& objProf) override {
        calls.push_back(std::string("save:") + objProf.Name() +
                        (port->portOpen() ? ":open" : ":closed"));
    }
    void loadData(clsCmcProfileIO& objProf) override {
        calls.push_back(std::string("load:") + objProf.Name());
    }
};

class FakeTimer : public HeartbeatTimer {
  public:
    bool on = true;
    void setEnabled(bool v) override { on = v; }
    bool enabled() const override { return on; }
};

// What the log holds after the given position.
std::vector<std::string> logFrom(const FakeSerialPort& port, size_t from) {
    return {port.log.begin() + static_cast<std::ptrdiff_t>(from), port.log.end()};
}

class SerialLinkTest : public ::testing::Test {
  protected:
    SerialLinkTest() {
        client.port = &port;
        link.setClient(&client);
        link.setTimer(&timer);
    }

    // An identification request is under way: frame written, echo seen, answer awaited.
    void startIdentification() {
        link.setComOpen(true);
        port.written.clear();
        link.qkv3D().setWorkMode(1);
        ASSERT_EQ(link.qkv3D().Send({kCmdIdentRequest, 0x22, 0x51, 0x00, 0x00}), 0);
        ASSERT_EQ(port.written.size(), 1u);
        port.receive(port.written.back());  // the cable's echo
        ASSERT_EQ(link.qkv3D().waitState(), 2);
        client.calls.clear();
        client.tasks = 0;
    }

    static ByteString identAnswer() {
        return buildFrame({kCmdIdentAnswer, 0x22, 0x51, 0x02, 0x00}, kControllerAddress,
                          kRadioAddress);
    }

    ManualTickSource clock{5000};
    FakeSerialPort port;
    frmCom link{port, clock, "/nonexistent/kv7-dir"};
    FakeClient client;
    FakeTimer timer;
};

TEST_F(SerialLinkTest, CreationSetsUpProfileDriverAndClosedConfiguredPort) {
    EXPECT_EQ(link.profMain().Name(), "SWKV7ADJ.rs");
    EXPECT_EQ(link.profMain().Section(), "SW-KV7 ADJ Rev.2.0");
    EXPECT_EQ(link.profMain().Path().rfind("/nonexistent/kv7-dir", 0), 0u);
    EXPECT_EQ(link.qkv3D().myObjCom, &link);
    EXPECT_FALSE(link.comOpen());
    EXPECT_EQ(port.opens, 0);
    EXPECT_EQ(port.log, kConfiguration);
    EXPECT_EQ(link.comPortNum(), 1);
    EXPECT_EQ(link.comBaud(), 9600);
    EXPECT_FALSE(link.totalError());
}

TEST_F(SerialLinkTest, PortNumberOutsideOneToTenIsIgnored) {
    const struct {
        int16_t value;
        int16_t expected;
    } cases[] = {{5, 5}, {0, 5}, {11, 5}, {-1, 5}, {10, 10}, {1, 1}, {32767, 1}};
    for (const auto& c : cases) {
        link.setComPortNum(c.value);
        EXPECT_EQ(link.comPortNum(), c.expected) << "after " << c.value;
    }
}

TEST_F(SerialLinkTest, OpeningConfiguresPortAndLineSettings) {
    const struct {
        int16_t portNum;
        int32_t baud;
        const char* settings;
    } cases[] = {{3, 9600, "9600,N,8,1"}, {10, 19200, "19200,N,8,1"}, {1, 300, "300,N,8,1"}};
    for (const auto& c : cases) {
        link.setComPortNum(c.portNum);
        link.setComBaud(c.baud);
        link.setComOpen(true);
        EXPECT_TRUE(link.comOpen());
        EXPECT_TRUE(link.comSendEnable());
        EXPECT_EQ(port.commPort, c.portNum);
        EXPECT_EQ(port.settings, c.settings);
        link.setComOpen(false);
        EXPECT_FALSE(link.comOpen());
        EXPECT_FALSE(link.comSendEnable());
    }
    EXPECT_FALSE(link.totalError());
}

TEST_F(SerialLinkTest, OpeningAnOpenPortKeepsWhatIsUnsentAndOnlyResetsDriver) {
    // Every request asks for an open port; frames written before and not yet on the line
    // (a command that expects no answer ends as soon as it is written) must still reach it.
    link.setComPortNum(3);
    startIdentification();
    port.unsent = {1, 2, 3};
    link.setComPortNum(4);
    const size_t mark = port.log.size();
    const int clears = port.clears;

    link.setComOpen(true);

    EXPECT_EQ(logFrom(port, mark), std::vector<std::string>{});  // no CommPort, no PortOpen
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(port.commPort, 3);
    EXPECT_EQ(port.clears, clears);
    EXPECT_EQ(port.unsent, (ByteString{1, 2, 3}));
    EXPECT_EQ(link.qkv3D().waitState(), 0);
    EXPECT_FALSE(link.qkv3D().Running());

    // A fresh opening starts with an empty transmit buffer.
    link.setComOpen(false);
    link.setComOpen(true);
    EXPECT_EQ(port.clears, clears + 1);
}

TEST_F(SerialLinkTest, ClosingResetsDriverAndClosingAClosedPortIsNoError) {
    startIdentification();
    link.setComOpen(false);
    EXPECT_FALSE(link.qkv3D().Running());
    const int closes = port.closes;
    link.setComOpen(false);
    EXPECT_EQ(port.closes, closes);
    EXPECT_FALSE(link.totalError());
}

TEST_F(SerialLinkTest, FailedOpeningHoldsErrorUntilReset) {
    // Each way the platform can refuse: the opening itself, or emptying the transmit buffer.
    for (const bool openFails : {true, false}) {
        SCOPED_TRACE(openFails ? "open refused" : "buffer refused");
        port.openFails = openFails;
        port.clearFails = !openFails;
        link.setComOpen(true);
        EXPECT_FALSE(link.comOpen());
        EXPECT_TRUE(link.errCannotOpen());
        EXPECT_TRUE(link.totalError());

        // A later good opening and a close do not clear it.
        port.openFails = false;
        port.clearFails = false;
        link.setComOpen(true);
        link.setComOpen(false);
        EXPECT_TRUE(link.errCannotOpen());
        EXPECT_TRUE(link.totalError());

        link.Reset();
        EXPECT_FALSE(link.errCannotOpen());
        EXPECT_FALSE(link.totalError());
    }
}

TEST_F(SerialLinkTest, PlatformErrorWhileClosingIsNotAFailedOpening) {
    link.setComOpen(true);
    port.clearFails = true;
    link.setComOpen(false);
    EXPECT_FALSE(link.comOpen());
    EXPECT_FALSE(link.errCannotOpen());
}

TEST_F(SerialLinkTest, ResetClosesAndRestoresConfigurationWhateverTheState) {
    link.setComPortNum(7);
    link.setComBaud(4800);
    link.setComOpen(true);
    link.setLnkSettings("1200,E,7,2");
    link.setErrOverflow(true);
    link.setErrCannotOpen(true);
    port.setDTREnable(false);
    port.setInBufferSize(1);
    const size_t mark = port.log.size();

    link.Reset();

    EXPECT_FALSE(link.comOpen());
    EXPECT_EQ(link.comPortNum(), 1);
    EXPECT_EQ(link.comBaud(), 9600);
    EXPECT_FALSE(link.errOverflow());
    EXPECT_FALSE(link.errCannotOpen());
    std::vector<std::string> expected = {"PortOpen=0"};
    expected.insert(expected.end(), kConfiguration.begin(), kConfiguration.end());
    EXPECT_EQ(logFrom(port, mark), expected);

    // The next opening uses the reset values.
    link.setComOpen(true);
    EXPECT_EQ(port.commPort, 1);
    EXPECT_EQ(port.settings, "9600,N,8,1");
}

TEST_F(SerialLinkTest, LinkSettingsGoToThePortAsTheyAre) {
    link.setLnkSettings("4800,E,7,2");
    EXPECT_EQ(port.settings, "4800,E,7,2");
}

TEST_F(SerialLinkTest, TransmitSpaceAndWrites) {
    link.setComOpen(true);
    EXPECT_EQ(link.outBufferFree(), 1024);
    link.output({1, 2, 3, 4, 5});
    EXPECT_EQ(link.outBufferFree(), 1019);
    port.drain();
    EXPECT_EQ(link.outBufferFree(), 1024);

    // A write after the port closed is dropped, not sent to a closed control.
    link.setComOpen(false);
    link.output({9});
    EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(SerialLinkTest, ReceiveEventRunsTheTickOnlyWithBytesWaiting) {
    link.setComOpen(true);
    port.fire(SerialPort::kEvReceive);
    EXPECT_EQ(client.tasks, 0);

    port.receive({0x00});
    EXPECT_EQ(client.tasks, 1);
    EXPECT_TRUE(port.rx.empty());  // read in whole
}

TEST_F(SerialLinkTest, ReceivedBytesReachTheDriver) {
    startIdentification();
    port.receive(identAnswer());
    EXPECT_FALSE(link.qkv3D().Running());
    EXPECT_EQ(link.qkv3D().nowError(), 0);
    EXPECT_EQ(link.qkv3D().ansInfo().size(), 7u);
}

TEST_F(SerialLinkTest, LineErrorsDiscardThePartialFrameOthersDoNot) {
    const struct {
        int event;
        bool discards;
    } cases[] = {{1001, true},  {1002, true},  {1003, true}, {1004, true}, {1006, true},
                 {1007, true},  {1009, true},  {1010, true}, {1011, true}, {1005, false},
                 {1012, false}, {1000, false}, {3, false},   {1, false}};
    const ByteString answer = identAnswer();
    const ByteString head(answer.begin(), answer.begin() + 6);
    const ByteString tail(answer.begin() + 6, answer.end());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        startIdentification();
        port.receive(head);
        port.fire(c.event);
        EXPECT_TRUE(link.comOpen());
        port.receive(tail);
        EXPECT_EQ(link.qkv3D().Running(), c.discards);
        EXPECT_FALSE(link.totalError());
        link.setComOpen(false);
    }
}

TEST_F(SerialLinkTest, OverflowClosesThePortAndIsReportedOnTheTick) {
    startIdentification();
    port.fire(SerialPort::kEvRxOver);
    EXPECT_TRUE(link.errOverflow());
    EXPECT_FALSE(link.comOpen());
    EXPECT_FALSE(link.qkv3D().Running());
    EXPECT_TRUE(link.totalError());

    link.timSolid_Timer();
    EXPECT_EQ(client.calls, (std::vector<std::string>{"task", "report"}));
    // Only a reset clears the flag.
    link.timSolid_Timer();
    EXPECT_EQ(client.reports, 2);
    link.Reset();
    link.timSolid_Timer();
    EXPECT_EQ(client.reports, 2);
}

TEST_F(SerialLinkTest, TickOrderInputDriverClientReport) {
    startIdentification();
    // The answer arrives between ticks without a receive event; the tick reads it first.
    const ByteString answer = identAnswer();
    port.rx = answer;
    client.onTask = [&] { EXPECT_FALSE(link.qkv3D().Running()) << "input before task"; };
    link.timSolid_Timer();
    EXPECT_TRUE(port.rx.empty());
    EXPECT_EQ(client.calls, std::vector<std::string>{"task"});
}

TEST_F(SerialLinkTest, DriverTimeOutIsReportedAndClosesThePort) {
    startIdentification();
    clock.advance(1300);  // past the answer time-out, no re-sends left
    link.timSolid_Timer();
    EXPECT_EQ(link.qkv3D().lastError(), 2);
    EXPECT_EQ(client.calls, (std::vector<std::string>{"task", "report"}));
    // The report did not reset the link: the error holds, the tick closes the port.
    EXPECT_FALSE(link.comOpen());
}

TEST_F(SerialLinkTest, ReportThatResetsLeavesNothingToClose) {
    startIdentification();
    link.qkv3D().setNowError(3);
    client.onReport = [&] { link.Reset(); };
    link.timSolid_Timer();
    EXPECT_EQ(client.reports, 1);
    EXPECT_FALSE(link.totalError());
    EXPECT_FALSE(link.comOpen());
}

TEST_F(SerialLinkTest, TickArrivingDuringATickIsSkippedAndBytesWait) {
    link.setComOpen(true);
    int nestedTimer = 0;
    client.onTask = [&] {
        if (client.tasks == 1) {
            port.receive({0x11, 0x22});  // receive event inside the tick
            link.timSolid_Timer();       // timer fires inside the tick (message box loop)
            ++nestedTimer;
        }
    };
    client.onReport = [&] { link.timSolid_Timer(); };
    link.timSolid_Timer();
    EXPECT_EQ(nestedTimer, 1);
    EXPECT_EQ(client.tasks, 1);
    EXPECT_EQ(port.rx, (ByteString{0x11, 0x22}));

    link.timSolid_Timer();
    EXPECT_EQ(client.tasks, 2);
    EXPECT_TRUE(port.rx.empty());
}

TEST_F(SerialLinkTest, TickThatThrowsDoesNotBlockLaterTicks) {
    client.onTask = [&] {
        if (client.tasks == 1) throw std::out_of_range("subscript");
    };
    EXPECT_THROW(link.timSolid_Timer(), std::out_of_range);
    link.timSolid_Timer();
    EXPECT_EQ(client.tasks, 2);
}

TEST_F(SerialLinkTest, ShutdownClosesBeforeSavingAndUnloadStopsTheTimer) {
    link.setComOpen(true);
    link.AllOver();
    EXPECT_EQ(client.calls, std::vector<std::string>{"save:SWKV7ADJ.rs:closed"});

    link.setComOpen(true);
    link.Form_Unload();
    EXPECT_FALSE(link.comOpen());
    EXPECT_FALSE(timer.enabled());
}

TEST_F(SerialLinkTest, SettingsForwardToTheClient) {
    link.loadData(link.profMain());
    link.saveData(link.profMain());
    EXPECT_EQ(client.calls,
              (std::vector<std::string>{"load:SWKV7ADJ.rs", "save:SWKV7ADJ.rs:closed"}));
}

TEST(SerialLinkLifetime, PortOutlivingTheLinkNoLongerCallsIt) {
    ManualTickSource clock;
    FakeSerialPort port;
    {
        frmCom link(port, clock, "");
        link.setComOpen(true);
        ASSERT_TRUE(port.handler);
    }
    EXPECT_FALSE(port.open);
    port.receive({0x01});
    port.fire(SerialPort::kEvRxOver);
    SUCCEED();
}

TEST(SerialLinkNoClient, TickAndShutdownWithoutAWindow) {
    ManualTickSource clock;
    FakeSerialPort port;
    frmCom link(port, clock, "");
    link.setComOpen(true);
    port.receive({0x01});
    link.setErrOverflow(true);
    link.timSolid_Timer();
    EXPECT_FALSE(link.comOpen());
    link.AllOver();
    link.Form_Unload();
}

}  // namespace
}  // namespace kv7
