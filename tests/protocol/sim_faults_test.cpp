// Every failure code of the driver and the sequencer, each brought about by the simulated radio
// (or its cable) through the real serial link, in virtual time.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "protocol/sequencer.h"
#include "serial/serial_link.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7 {
namespace {

struct Report {
    int16_t lastError;
    int16_t seqError;
    bool portOpen;
};

// The link, the driver and the sequencer on a simulated radio; the window's part of the tick
// (the sequencer twice while it runs) and the error report are played by the rig.
class Rig : public LinkClient, public SubNameChecker, public CloneErrorReporter {
  public:
    explicit Rig(const sim::SimOptions& options)
        : radio(ticks, options),
          port(radio),
          link(port, ticks, std::filesystem::temp_directory_path().string()),
          seq(link, link.qkv3D(), identity, ticks) {
        identity.setRadioNameM("2251");
        identity.setRadionameS("0200");
        identity.cloneWriteAdrList_Add(0, 5119);
        link.setClient(this);
        seq.setSubNameChecker(this);
        seq.setErrorReporter(this);
    }

    void task() override {
        seq.task();
        if (seq.OpRunning()) seq.task();
    }
    void reportLinkError() override { MsgBoxCloneErr(seq); }
    void saveData(clsCmcProfileIO&) override {}
    void loadData(clsCmcProfileIO&) override {}
    bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override {
        return nameS.substr(0, 4).compare("0200") <= 0;
    }
    void MsgBoxCloneErr(clsCmcQkv3Sequence& s) override {
        reports.push_back({link.qkv3D().lastError(), s.error(), link.comOpen()});
        s.easyReset(1);
    }

    void tick() {
        ticks.advance(50);
        port.pump();
        link.timSolid_Timer();
    }
    // Runs until the operation has ended; false when it is still running after the limit.
    bool runToEnd(int32_t limitMs) {
        for (int32_t t = 0; t < limitMs; t += 50) {
            tick();
            if (!seq.OpRunning()) return true;
        }
        return false;
    }

    ManualTickSource ticks{1000};
    sim::SimRadio radio;
    sim::SimSerialPort port;
    frmCom link;
    clsCmcRadio identity;
    clsCmcQkv3Sequence seq;
    std::vector<Report> reports;
};

// The image holds what the blocks before `goodBlocks` carried, and nothing else.
void expectImageUpTo(const clsCmcEeprom& image, const ByteString& radioImage, int32_t goodBlocks) {
    for (int32_t adr = 0; adr < 5120; ++adr) {
        const int16_t expected = adr < goodBlocks * 16 ? radioImage[adr] : 0;
        if (image.ReadByte(adr) != expected) {
            ADD_FAILURE() << "image byte " << adr << " is " << image.ReadByte(adr) << ", expected "
                          << expected;
            return;
        }
    }
}

TEST(SimFaults, EveryFailureCodeEndsTheOperationWithThePortClosed) {
    struct Case {
        const char* name;
        std::function<void(sim::SimOptions&)> fault;
        bool cloneWrite;
        int32_t vanishAfterReads;  // the cable pulled after that many reads (0: never)
        int16_t lastError;
        int16_t seqError;
        int32_t goodBlocks;  // clone read blocks stored before the failure
    };
    const Case cases[] = {
        {"no echo", [](auto& o) { o.faults.noEcho = true; }, false, 0, 1, 3, 0},
        {"echo, no answer", [](auto& o) { o.faults.noAnswer = true; }, false, 0, 2, 3, 0},
        {"bad checksum", [](auto& o) { o.faults.badChecksumBlock = 5; }, false, 0, 3, 0, 5},
        {"block beyond the image", [](auto& o) { o.faults.beyondImageBlock = 7; }, false, 0, 4, 0,
         7},
        {"gap over 1200 ms", [](auto& o) { o.faults.gapBeforeBlock = 9; }, false, 0, 2, 0, 9},
        {"line cut mid-read", [](auto& o) { o.faults.cutAfterBytes = 2000; }, false, 0, 2, 0, 0},
        {"wrong model code", [](auto& o) { o.modelCode = "2252"; }, false, 0, 0, 1, 0},
        {"sub name refused", [](auto& o) { o.subName = "0300"; }, false, 0, 0, 2, 0},
        {"clone write refused", [](auto& o) { o.faults.refuseWrite = true; }, true, 0, 6, 0, 0},
        {"cable pulled between packets", [](auto&) {}, true, 8, 7, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimOptions options;
        options.pacing = false;
        c.fault(options);
        Rig rig(options);
        rig.port.setVanishAfterReads(c.vanishAfterReads);
        if (c.cloneWrite) {
            rig.seq.easyCloneWrite();
        } else {
            rig.seq.easyCloneRead();
        }
        ASSERT_TRUE(rig.runToEnd(30000));
        ASSERT_EQ(rig.reports.size(), 1u);
        EXPECT_EQ(rig.reports[0].lastError, c.lastError);
        EXPECT_EQ(rig.reports[0].seqError, c.seqError);
        EXPECT_FALSE(rig.reports[0].portOpen);
        EXPECT_FALSE(rig.link.comOpen());
        if (!c.cloneWrite) {
            if (c.name == std::string("line cut mid-read")) {
                // Whole blocks that crossed the line before the cut are kept, no more.
                const int32_t stored = (rig.seq.driver().lastEeAdr() + 1) / 16;
                EXPECT_GT(stored, 0);
                EXPECT_LT(stored, 320);
                expectImageUpTo(rig.identity.eepImage, rig.radio.image(), stored);
            } else {
                expectImageUpTo(rig.identity.eepImage, rig.radio.image(), c.goodBlocks);
            }
        }
        if (c.seqError == 1 || c.seqError == 2) {
            for (const ByteString& r : rig.radio.requests()) {
                ASSERT_GE(r.size(), 3u);
                EXPECT_NE(r[2], 0xE2) << "no clone read request after a refused identity";
            }
        }
    }
}

}  // namespace
}  // namespace kv7
