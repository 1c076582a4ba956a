#include "sim/sim_serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "protocol/clone_link.h"
#include "protocol/protocol_driver.h"
#include "sim/support/sim_bench.h"
#include "store/eeprom.h"

namespace kv7::simtest {
namespace {

const ByteString kIdent = request("E0 2251 0000");

struct PortRig {
    explicit PortRig(sim::SimOptions o = {}) : radio(clock, o), port(radio) {
        port.setCommEventHandler([this](int ev) {
            events.push_back(ev);
            if (ev != SerialPort::kEvReceive || !readOnEvent) return;
            const ByteString in = port.input();
            received.insert(received.end(), in.begin(), in.end());
        });
        port.setRThreshold(1);
    }
    void advance(int32_t ms) {
        for (int32_t i = 0; i < ms; ++i) {
            clock.advance(1);
            port.pump();
        }
    }
    ManualTickSource clock{100};
    sim::SimRadio radio;
    sim::SimSerialPort port;
    std::vector<int> events;
    ByteString received;
    bool readOnEvent = true;
};

TEST(SimSerialPort, DeliversTheRadiosBytesWithReceiveEvents) {
    PortRig r;
    EXPECT_FALSE(r.port.portOpen());
    r.port.setFailOpen(true);
    EXPECT_FALSE(r.port.setPortOpen(true));
    EXPECT_FALSE(r.port.portOpen());
    r.port.setFailOpen(false);
    ASSERT_TRUE(r.port.setPortOpen(true));
    r.port.output(kIdent);
    EXPECT_EQ(r.port.written(), kIdent);
    EXPECT_EQ(r.port.pump(), 0u) << "nothing is due before its time";
    r.advance(100);
    ASSERT_EQ(r.received.size(), kIdent.size() + 46);
    EXPECT_EQ(ByteString(r.received.begin(), r.received.begin() + 10), kIdent);
    EXPECT_EQ(answers(r.received).size(), 1u);
    // One receive event per pump that brought bytes, never one for nothing.
    EXPECT_GT(r.events.size(), 5u);
    for (int ev : r.events) EXPECT_EQ(ev, SerialPort::kEvReceive);
}

TEST(SimSerialPort, ClosedPortLosesWhatArrivesAndWhatIsWritten) {
    PortRig r;
    r.port.setPortOpen(true);
    r.port.output(request("E2 2251 0200"));
    r.advance(500);
    const size_t before = r.received.size();
    r.readOnEvent = false;
    r.advance(10);
    EXPECT_GT(r.port.inBufferCount(), 0);
    r.port.setPortOpen(false);
    EXPECT_EQ(r.port.inBufferCount(), 0);
    r.advance(500);
    r.port.output(kIdent);
    EXPECT_EQ(r.port.writesWhileClosed(), 1);
    EXPECT_EQ(r.radio.requests().size(), 1u);
    EXPECT_GT(before, 400u);
    EXPECT_EQ(r.port.openCount(), 1);
}

TEST(SimSerialPort, BufferOverflowRaisesItsEvent) {
    struct Case {
        int32_t bufferSize;
        bool reads;
        bool overflow;
    } cases[] = {{4096, true, false}, {4096, false, true}, {20000, false, false}};
    for (const auto& c : cases) {
        auto o = Bench::unpaced();
        PortRig r(o);
        r.readOnEvent = c.reads;
        r.port.setInBufferSize(c.bufferSize);
        r.port.setPortOpen(true);
        r.port.output(request("E2 2251 0200"));
        r.port.pump();
        const bool over =
            std::find(r.events.begin(), r.events.end(), SerialPort::kEvRxOver) != r.events.end();
        EXPECT_EQ(over, c.overflow) << c.bufferSize << c.reads;
        EXPECT_LE(r.port.inBufferCount(), c.bufferSize);
    }
    // No receive threshold: bytes wait without events.
    PortRig quiet;
    quiet.port.setRThreshold(0);
    quiet.port.setPortOpen(true);
    quiet.port.output(kIdent);
    quiet.advance(100);
    EXPECT_TRUE(quiet.events.empty());
    EXPECT_EQ(quiet.port.input().size(), kIdent.size() + 46);
}

// The program's own driver on the simulated port: what it accepts is what the radio must send.
class PortLink : public CloneLink {
  public:
    explicit PortLink(sim::SimSerialPort& p) : port_(p) {}
    bool comSendEnable() const override { return port_.portOpen(); }
    int32_t outBufferFree() const override {
        return port_.outBufferSize() - port_.outBufferCount();
    }
    void output(const ByteString& bytes) override { port_.output(bytes); }
    void setComPortNum(int16_t) override {}
    void setComOpen(bool v) override { port_.setPortOpen(v); }
    bool comOpen() const override { return port_.portOpen(); }
    void Reset() override {}

  private:
    sim::SimSerialPort& port_;
};

struct DriverRig {
    explicit DriverRig(sim::SimOptions o) : radio(clock, o), port(radio), link(port), drv(clock) {
        drv.myObjCom = &link;
        drv.setMyEep(&eep);
        port.setRThreshold(1);
        port.setCommEventHandler([this](int ev) {
            if (ev == SerialPort::kEvReceive) drv.read(port.input());
        });
        port.setPortOpen(true);
    }
    // Heartbeats of 50 ms, the port pumped every millisecond, until the driver is idle.
    int32_t runUntilIdle(int32_t limitMs = 30000) {
        int32_t ms = 0;
        while (drv.Running() && ms < limitMs) {
            clock.advance(1);
            ++ms;
            port.pump();
            if (ms % 50 == 0) drv.task();
        }
        return ms;
    }
    ManualTickSource clock{1000};
    sim::SimRadio radio;
    sim::SimSerialPort port;
    PortLink link;
    clsCmcEeprom eep;
    clsCmcQkv3Drv drv;
};

ByteString imageOf(const clsCmcEeprom& eep) {
    return eep.ReadBlock(0, 5120);
}

TEST(SimSerialPort, TheProgramsDriverCompletesEveryExchange) {
    // Identification.
    DriverRig r({});
    r.drv.setWorkMode(1);
    ASSERT_EQ(r.drv.Send(hex("E0 2251 0000")), 0);
    r.runUntilIdle();
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_EQ(r.drv.ansInfo().size(), 43u);
    // Clone read, paced: about 15.4 s of virtual time.
    r.drv.setWorkMode(2);
    ASSERT_EQ(r.drv.Send(hex("E2 2251 0200")), 0);
    const int32_t ms = r.runUntilIdle();
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_NEAR(ms, 15360, 60);
    EXPECT_EQ(imageOf(r.eep), r.radio.image());
    // Monitor reading with an answer.
    r.drv.setWorkMode(5);
    r.drv.setWaitAnswer(true);
    ASSERT_EQ(r.drv.Send(hex("E8 2251 0200 03 3032")), 0);
    r.runUntilIdle();
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_EQ(r.drv.varLastE8Answer(), hex("2251 0200 03 3634"));  // LVIN 100 = 64h
    // Clone write of a changed image.
    for (int32_t a = 0; a < 5120; ++a) r.eep.WriteByte(a, static_cast<uint8_t>(a % 251));
    r.drv.setWorkMode(3);
    r.drv.setSizDataOfPacket(16);
    r.drv.setCloneWriteAdrList("0000-13FF,");
    ASSERT_EQ(r.drv.Send(hex("E3 2251 0200")), 0);
    r.runUntilIdle(60000);
    EXPECT_EQ(r.drv.nowError(), 0);
    EXPECT_EQ(r.radio.image(), imageOf(r.eep));
    EXPECT_EQ(r.radio.writePacketCount(), 320);
}

TEST(SimSerialPort, FaultsEndTheDriversExchangeWithTheirError) {
    struct Case {
        const char* name;
        std::function<void(sim::SimOptions&)> set;
        int16_t mode;
        const char* request;
        int16_t error;
    } cases[] = {
        {"no echo", [](auto& o) { o.faults.noEcho = true; }, 1, "E0 2251 0000", 1},
        {"no answer", [](auto& o) { o.faults.noAnswer = true; }, 1, "E0 2251 0000", 2},
        {"bad checksum", [](auto& o) { o.faults.badChecksumBlock = 3; }, 2, "E2 2251 0200", 3},
        {"gap", [](auto& o) { o.faults.gapBeforeBlock = 100; }, 2, "E2 2251 0200", 2},
        {"cut line", [](auto& o) { o.faults.cutAfterBytes = 2000; }, 2, "E2 2251 0200", 2},
        {"noise", [](auto& o) { o.faults.noise = true; }, 2, "E2 2251 0200", 0},
        {"refused write", [](auto& o) { o.faults.refuseWrite = true; }, 3, "E3 2251 0200", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimOptions o;
        c.set(o);
        DriverRig r(o);
        r.drv.setWorkMode(c.mode);
        r.drv.setSizDataOfPacket(16);
        r.drv.setCloneWriteAdrList("0000-001F,");
        ASSERT_EQ(r.drv.Send(hex(c.request)), 0);
        r.runUntilIdle();
        EXPECT_FALSE(r.drv.Running());
        EXPECT_EQ(r.drv.nowError(), c.error);
        if (c.error == 0) {
            EXPECT_EQ(imageOf(r.eep), r.radio.image());
        }
    }
}

}  // namespace
}  // namespace kv7::simtest
