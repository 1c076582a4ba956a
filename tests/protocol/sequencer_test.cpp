#include "protocol/sequencer.h"

#include <gtest/gtest.h>

#include <limits>

#include "protocol/frame_format.h"
#include "protocol/support/fake_clone_link.h"
#include "store/common.h"

namespace kv7 {
namespace {

using test::hexBytes;
using test::radioFrame;

// Sub names up to 0200 are this model's.
class FakeChecker : public SubNameChecker {
  public:
    std::vector<std::string> asked;
    bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override {
        asked.push_back(nameS);
        return nameS <= "0200";
    }
};

class FakeReporter : public CloneErrorReporter {
  public:
    struct Report {
        int16_t error;
        int16_t lastError;
        bool portOpen;
    };
    std::vector<Report> reports;
    test::FakeCloneLink* link = nullptr;
    void MsgBoxCloneErr(clsCmcQkv3Sequence& seq) override {
        reports.push_back({seq.error(), seq.driver().lastError(), link->portOpen});
    }
};

// A scripted radio behind the fake link: answers by the command of each written frame.
struct SeqRig {
    ManualTickSource clock;
    test::FakeCloneLink link;
    clsCmcQkv3Drv drv{clock};
    clsCmcRadio radio;
    FakeChecker checker;
    FakeReporter reporter;
    clsCmcQkv3Sequence seq{link, drv, radio, clock};

    std::string model = "2251";
    std::string sub = "0200";
    bool answerIdent = true;
    bool answerE8 = true;
    int blocks = 4;

    explicit SeqRig(int32_t start = 1000) : clock(start) {
        drv.myObjCom = &link;
        link.driver = &drv;
        reporter.link = &link;
        radio.setRadioNameM("2251");
        radio.setRadionameS("0200");
        radio.cloneWriteAdrList_Add(0, 5119);
        seq.setSubNameChecker(&checker);
        seq.setErrorReporter(&reporter);
        link.onWrite = [this](const ByteString& f) { answer(f); };
    }

    void answer(const ByteString& f) {
        switch (f[4]) {
            case kCmdIdentRequest:
                if (answerIdent) link.inject(radioFrame(test::identPayload(model, sub, 40, true)));
                break;
            case kCmdCloneRead:
                for (int i = 0; i < blocks; ++i) {
                    link.inject(test::radioCloneData(16 * i, ByteString(16, uint8_t(i + 1))));
                }
                link.inject(radioFrame(cloneEndPayload()));
                break;
            case kCmdAdjust:
                if (answerE8) {
                    link.inject(radioFrame(hexBytes("E8" + model + sub + HexByte(f[9]) + "3035")));
                }
                break;
            case kCmdCloneEnd: link.inject(radioFrame("E600")); break;
            default: break;
        }
    }

    // One heartbeat as the link and the main window run it.
    void tick() {
        link.deliver();
        clock.advance(50);
        drv.task();
        seq.task();
        if (seq.OpRunning()) seq.task();
    }
    int runUntilStandby(int maxTicks = 1000) {
        int n = 0;
        while (seq.OpRunning() && n < maxTicks) {
            tick();
            ++n;
        }
        return n;
    }
    std::string writtenHex(size_t i) const { return ByteStringToHexText(link.written.at(i)); }
};

TEST(Sequencer, CloneReadCarriesTheRadiosSubName) {
    SeqRig r;
    r.sub = "0150";
    r.seq.easyCloneRead();
    EXPECT_TRUE(r.seq.OpRunning());
    EXPECT_EQ(r.writtenHex(0), "FEFEEEEFE022510000FD");
    r.runUntilStandby();
    ASSERT_EQ(r.link.written.size(), 2u);
    EXPECT_EQ(r.writtenHex(1), "FEFEEEEFE222510150FD");
    EXPECT_EQ(r.radio.radionameS(), "0150");
    EXPECT_TRUE(r.radio.radioCH_Type());
    EXPECT_EQ(r.checker.asked, std::vector<std::string>{"0150"});
    EXPECT_EQ(r.radio.eepImage.ReadByte(0x30), 4);
    EXPECT_EQ(r.seq.error(), 0);
    EXPECT_TRUE(r.reporter.reports.empty());
    EXPECT_TRUE(r.link.portOpen);  // no hold time: the port stays open
    EXPECT_EQ(r.seq.Operation(), 0);
}

TEST(Sequencer, IdentityFailuresEndBeforeAnyCloneRequest) {
    struct Row {
        const char* model;
        const char* sub;
        bool answered;
        int16_t error;
        int16_t lastError;
    };
    const Row rows[] = {
        {"2252", "0200", true, 1, 0},
        {"2251", "0300", true, 2, 0},
        {"2252", "0300", true, 2, 0},  // the sub name refusal replaces the model mismatch
        {"2251", "0200", false, 3, 2},
    };
    for (int16_t op : {2, 3}) {
        for (const auto& row : rows) {
            SeqRig r;
            r.model = row.model;
            r.sub = row.sub;
            r.answerIdent = row.answered;
            op == 2 ? r.seq.easyCloneRead() : r.seq.easyCloneWrite();
            r.runUntilStandby();
            const std::string what =
                std::string(row.model) + "/" + row.sub + " op " + std::to_string(op);
            EXPECT_EQ(r.link.written.size(), 1u) << what;
            ASSERT_EQ(r.reporter.reports.size(), 1u) << what;
            EXPECT_EQ(r.reporter.reports[0].error, row.error) << what;
            EXPECT_EQ(r.reporter.reports[0].lastError, row.lastError) << what;
            EXPECT_FALSE(r.reporter.reports[0].portOpen) << what;  // closed before the message
            EXPECT_FALSE(r.seq.OpRunning()) << what;
            EXPECT_EQ(r.radio.radionameS(), row.error == 2 || !row.answered ? "0200" : row.sub)
                << what;
        }
    }
}

TEST(Sequencer, CloneWriteSendsIdentificationThenTheImage) {
    SeqRig r;
    r.seq.easyCloneWrite();
    r.runUntilStandby(2000);
    ASSERT_EQ(r.link.written.size(), 1u + 1u + 320u + 1u);
    EXPECT_EQ(r.writtenHex(1), "FEFEEEEFE322510200FD");
    EXPECT_EQ(r.link.written.back(), buildFrame(cloneEndPayload()));
    EXPECT_TRUE(r.reporter.reports.empty());
    EXPECT_FALSE(r.radio.radioCH_Type());  // only a clone read takes the channel type
}

TEST(Sequencer, AdjustmentCommands) {
    {
        SeqRig r;
        EXPECT_EQ(r.seq.easySendE8ReqAnswer("124135"), 0);
        EXPECT_TRUE(r.seq.OpRunning());
        EXPECT_EQ(r.writtenHex(0), "FEFEEEEFE822510200124135FD");
        r.runUntilStandby();
        EXPECT_EQ(ByteStringToHexText(r.drv.varLastE8Answer()), "22510200123035");
        EXPECT_TRUE(r.reporter.reports.empty());
    }
    {
        SeqRig r;
        r.answerE8 = false;
        r.seq.easySendE8ReqAnswer("124135");
        r.runUntilStandby();
        EXPECT_EQ(r.link.written.size(), 3u);  // two re-sends at most
        ASSERT_EQ(r.reporter.reports.size(), 1u);
        EXPECT_EQ(r.reporter.reports[0].lastError, 2);
        EXPECT_EQ(r.reporter.reports[0].error, 0);
        EXPECT_FALSE(r.link.portOpen);
    }
    {
        SeqRig r;
        EXPECT_EQ(r.seq.easySendE8NoAnswer("043030"), 0);
        EXPECT_FALSE(r.drv.Running());
        EXPECT_TRUE(r.seq.OpRunning());
        r.tick();
        EXPECT_FALSE(r.seq.OpRunning());
        EXPECT_EQ(r.link.written.size(), 1u);
        // The next adjustment waits for no answer unless asked again.
        r.seq.easySendE8NoAnswer("053030");
        EXPECT_FALSE(r.drv.Running());
    }
    {
        SeqRig r;  // a port that does not open: nothing written, no error of its own
        r.link.openFails = true;
        EXPECT_EQ(r.seq.easySendE8NoAnswer("043030"), 0);
        r.runUntilStandby();
        EXPECT_TRUE(r.link.written.empty());
        EXPECT_TRUE(r.reporter.reports.empty());
        EXPECT_EQ(r.seq.error(), 0);
    }
}

TEST(Sequencer, PortHoldReleasesThePortAfterItsTime) {
    struct Row {
        const char* name;
        int32_t start;
        int32_t hold;
    };
    const Row rows[] = {
        {"2 s", 1000, 2000},
        {"2 s across the sign change", std::numeric_limits<int32_t>::max() - 999, 2000},
        {"0 keeps it open", 1000, 0},
    };
    for (const auto& row : rows) {
        SeqRig r(row.start);
        r.seq.setComHoldReload(row.hold);
        r.seq.easySendE8NoAnswer("043030");
        r.tick();  // the operation ends; the hold starts now
        ASSERT_FALSE(r.seq.OpRunning()) << row.name;
        const int resetsBefore = r.link.resets;
        int closedAfter = 0;
        for (int i = 1; i <= 200 && closedAfter == 0; ++i) {
            r.tick();
            if (!r.link.portOpen) closedAfter = i;
        }
        if (row.hold == 0) {
            EXPECT_EQ(closedAfter, 0) << row.name;
        } else {
            EXPECT_EQ(closedAfter, row.hold / 50) << row.name;  // the first tick at 2 s or later
            EXPECT_EQ(r.link.resets, resetsBefore + 1) << row.name;
        }
    }
}

TEST(Sequencer, ResetsAndUnknownOperations) {
    SeqRig r;
    r.answerE8 = false;
    r.seq.easySendE8ReqAnswer("124135");
    ASSERT_TRUE(r.drv.Running());
    const int resets = r.link.resets;
    r.seq.easyReset(3);
    EXPECT_EQ(r.link.resets, resets + 1);
    EXPECT_FALSE(r.link.portOpen);
    EXPECT_FALSE(r.drv.Running());
    EXPECT_FALSE(r.seq.OpRunning());
    EXPECT_EQ(r.seq.Operation(), 0);
    EXPECT_EQ(r.seq.ComPortNo(), 3);
    r.answerE8 = true;
    r.seq.easySendE8NoAnswer("043030");
    EXPECT_EQ(r.link.portNum, 3);

    // An operation without steps ends at once instead of running forever.
    r.tick();
    r.seq.setOperation(9);
    r.seq.start();
    EXPECT_FALSE(r.seq.OpRunning());
    EXPECT_EQ(r.seq.Operation(), 0);
}

}  // namespace
}  // namespace kv7
