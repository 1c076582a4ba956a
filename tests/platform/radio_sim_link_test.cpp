// The real serial adapter, link, driver and sequencer against the pseudo-terminal radio.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/support/pty_pair.h"
#include "platform/support/radio_sim_process.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "serial/serial_link.h"
#include "sim/sim_radio.h"

namespace kv7 {
namespace {

using test::kSimProgram;
using test::pumpUntil;

// The program's pieces around the link, with the window's parts reduced to records.
class SimRig : public LinkClient, public SubNameChecker, public CloneErrorReporter {
  public:
    struct SeqReport {
        int16_t error;
        int16_t lastError;
        bool portOpen;
    };
    struct LinkReport {
        bool errCannotOpen;
        bool errOverflow;
        int16_t nowError;
    };

    explicit SimRig(const std::string& settingsFile, const std::string& programDir)
        : port(settingsFile), link(port, ticks, programDir) {
        radio.setRadioNameM("2251");
        radio.setRadionameS("0200");
        radio.cloneWriteAdrList_Add(0, 5119);
        seq.setSubNameChecker(this);
        seq.setErrorReporter(this);
        link.setClient(this);
        link.setTimer(&beat);
        beat.setEnabled(true);
    }
    ~SimRig() override {
        beat.setEnabled(false);
        link.AllOver();
        link.Form_Unload();
    }

    void task() override { seq.task(); }
    void reportLinkError() override {
        linkReports.push_back({link.errCannotOpen(), link.errOverflow(), link.qkv3D().nowError()});
        seq.Reset();  // the window's report ends with the operation reset
    }
    void saveData(clsCmcProfileIO&) override {}
    void loadData(clsCmcProfileIO&) override {}
    bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override { return nameS == "0200"; }
    void MsgBoxCloneErr(clsCmcQkv3Sequence& s) override {
        seqReports.push_back({s.error(), s.driver().lastError(), link.comOpen()});
    }

    // Runs the operation already started until the sequencer is done.
    bool runToEnd(int timeoutMs) {
        return pumpUntil([this] { return !seq.OpRunning() || tickFailed; }, timeoutMs) &&
               !tickFailed;
    }

    SteadyTickSource ticks;
    QtSerialPort port;
    frmCom link;
    clsCmcRadio radio;
    clsCmcQkv3Sequence seq{link, link.qkv3D(), radio, ticks};
    bool tickFailed = false;
    QtHeartbeat beat{[this] {
        try {
            link.timSolid_Timer();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "tick threw: " << e.what();
            tickFailed = true;
        }
    }};
    std::vector<SeqReport> seqReports;
    std::vector<LinkReport> linkReports;
};

class RadioSimLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (kSimProgram == nullptr) GTEST_SKIP() << "kv7-radio-sim is not built";
        ASSERT_TRUE(dir.isValid());
    }

    // Starts the radio and the program's link with COM 1 pointed at it.
    void startRig(const QStringList& simArgs) {
        ASSERT_TRUE(sim.start(kSimProgram, simArgs));
        const QString settings =
            test::writePortsFile(dir.path(), "COM1=" + sim.slavePath() + "\r\n");
        rig = std::make_unique<SimRig>(settings.toStdString(), dir.path().toStdString());
    }

    void identify() {
        rig->seq.setOperation(1);
        rig->seq.start();
        ASSERT_TRUE(rig->runToEnd(5000));
    }

    QTemporaryDir dir;
    test::RadioSimProcess sim;
    std::unique_ptr<SimRig> rig;
};

TEST_F(RadioSimLinkTest, IdentificationThenWholeCloneReadWithoutPacing) {
    startRig({"--no-pacing"});
    identify();
    EXPECT_EQ(rig->seq.ansNameM(), "2251");
    EXPECT_EQ(rig->seq.ansNameS(), "0200");
    EXPECT_EQ(rig->seq.driver().lastError(), 0);

    QElapsedTimer clock;
    clock.start();
    rig->seq.easyCloneRead();
    ASSERT_TRUE(rig->runToEnd(20000));
    EXPECT_EQ(rig->seq.error(), 0);
    EXPECT_EQ(rig->seq.driver().lastError(), 0);
    EXPECT_TRUE(rig->seqReports.empty());
    EXPECT_TRUE(rig->linkReports.empty());
    EXPECT_EQ(rig->radio.eepImage.ReadBlock(0, sim::kImageSize), sim::sampleImage());
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(rig->link.comOpen());  // no release time set: the port stays open
}

TEST_F(RadioSimLinkTest, PacedIdentificationTakesTheLineTime) {
    startRig({});
    QElapsedTimer clock;
    clock.start();
    identify();
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(rig->seq.ansNameM(), "2251");
    EXPECT_TRUE(rig->seqReports.empty());
    // Echo of the 10-byte request plus the answer frame at 960 bytes/s.
    const double lineMs = (10.0 + double(rig->seq.ansInfo().size() + 3)) * 1000.0 / 960.0;
    EXPECT_GE(double(ms), 0.9 * lineMs);
    EXPECT_LT(ms, 1500);
}

TEST_F(RadioSimLinkTest, RadioGoneMidReadEndsWithErrorAndClosedPort) {
    startRig({});
    const test::TerminalHold hold(sim.slavePath());  // the path stays the gone radio's
    rig->seq.easyCloneRead();
    // Some clone data has arrived (paced, the whole read would take some 15 s).
    ASSERT_TRUE(pumpUntil([&] { return rig->seq.driver().lastEeAdr() >= 64; }, 8000));
    ASSERT_TRUE(rig->seq.OpRunning());
    sim.kill();
    // The adapter sees the line go and closes the port at once; the driver's answer time-out
    // (1200 ms) then ends the read.
    EXPECT_TRUE(pumpUntil([&] { return !rig->link.comOpen(); }, 800));
    EXPECT_TRUE(rig->seq.OpRunning());

    ASSERT_TRUE(rig->runToEnd(6000));
    ASSERT_EQ(rig->seqReports.size(), 1u);
    EXPECT_EQ(rig->seqReports[0].lastError, 2);  // no answer
    EXPECT_FALSE(rig->seqReports[0].portOpen);
    EXPECT_FALSE(rig->link.comOpen());

    // The next operation finds no port: the link reports it cannot open.
    identify();
    test::pumpFor(200);
    ASSERT_FALSE(rig->linkReports.empty());
    EXPECT_TRUE(rig->linkReports.back().errCannotOpen);
    EXPECT_FALSE(rig->link.comOpen());
    EXPECT_FALSE(rig->link.errCannotOpen());  // cleared by the reset after the report
}

}  // namespace
}  // namespace kv7
