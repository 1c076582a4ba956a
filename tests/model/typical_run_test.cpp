// A technician's whole session against the simulated radio, in virtual time: connect, clone read,
// the first cycle, adjusting, reloading, the parameter display, and every way it can go wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "model/support/sim_rig.h"

namespace kv7::test {
namespace {

using sim::AdjustCommand;

std::vector<std::pair<int, int>> commandsOf(const std::vector<AdjustCommand>& log,
                                            size_t from = 0) {
    std::vector<std::pair<int, int>> out;
    for (size_t i = from; i < log.size(); ++i) out.emplace_back(log[i].number, log[i].value);
    return out;
}

size_t countOf(const std::string& s, char c) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), c));
}

size_t lineCount(const std::string& text) {
    size_t n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

// The 32-cell bar: some "o", then "." up to 32 characters; blank before the first block.
bool wellFormedBar(const std::string& bar) {
    if (bar.size() != 32) return false;
    if (bar == std::string(32, ' ')) return true;
    const size_t o = bar.find_first_not_of('o');
    return o == std::string::npos || bar.find_first_not_of('.', o) == std::string::npos;
}

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    const size_t b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The value of the parameter listing's line named name ("POW HI Level" in
// "           POW HI Level:  201" gives "201").
std::string listingValue(const std::string& text, const std::string& name) {
    for (size_t p = 0; p < text.size();) {
        const size_t e = text.find("\r\n", p);
        const std::string line = text.substr(p, e == std::string::npos ? std::string::npos : e - p);
        const size_t colon = line.find(": ");
        if (colon != std::string::npos && trimmed(line.substr(0, colon)) == name) {
            return trimmed(line.substr(colon + 2));
        }
        if (e == std::string::npos) break;
        p = e + 2;
    }
    return "<missing>";
}

TEST(TypicalRun, ConnectReadAdjustReloadAndShowParameters) {
    RigOptions o;
    o.sim.channelType = true;  // the radio reports the 5,120-byte memory
    SimRig rig(o);
    ASSERT_EQ(rig.started(), StartResult::Running);
    rig.tick();
    EXPECT_EQ(rig.portLabel(), "COM 1: CLOSE");
    EXPECT_FALSE(rig.consoleShown());
    EXPECT_TRUE(rig.window().frames[0].visible);  // the shield over the console

    // Connect: the clone read runs with the progress bar growing cell by cell.
    ASSERT_TRUE(rig.click(0));
    std::vector<std::string> bars;
    ASSERT_TRUE(rig.runUntil(
        [&] {
            if (rig.opStep() == OperationStep::CloneRead) bars.push_back(rig.progress());
            return rig.opStep() > OperationStep::CloneRead;
        },
        30000));
    EXPECT_EQ(rig.radio().cloneReadCount(), 1);
    ASSERT_GT(bars.size(), 100u);  // about 15 s of clone data at the line rate
    size_t lastCells = 0, distinct = 0;
    for (const std::string& b : bars) {
        ASSERT_TRUE(wellFormedBar(b)) << "'" << b << "'";
        const size_t cells = countOf(b, 'o');
        EXPECT_GE(cells, lastCells) << "the bar never shrinks during the read";
        if (cells != lastCells) ++distinct;
        lastCells = cells;
    }
    EXPECT_GE(lastCells, 31u);
    EXPECT_GE(distinct, 30u);
    EXPECT_EQ(rig.portLabel(), "COM 1: OPEN");

    // The first cycle: every value read from the image, the monitor values, then every item
    // sent once in index order.
    ASSERT_TRUE(rig.runUntil(
        [&] {
            return rig.radio().adjustLog().size() >= 25 && !rig.program().sequencer().OpRunning();
        },
        10000));
    rig.runFor(1000);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
    EXPECT_TRUE(rig.consoleShown());
    EXPECT_FALSE(rig.window().frames[0].visible);
    const std::vector<std::pair<int, int>> expected = {
        {2, 1},                                                     // after the clone read
        {3, 0},   {3, 1},   {3, 2},    {3, 3},   {3, 4},  {3, 5},   // A/D
        {3, 6},   {3, 7},   {3, 8},    {3, 9},   {3, 10}, {3, 11},  // D/A
        {3, 12},  {3, 13},                                          //
        {0, 1},                                                     // channel 0 selected
        {5, 200}, {7, 80},  {11, 122}, {8, 134}, {4, 64},           // image values, in order
        {12, 12}, {13, 11}, {14, 13},  {15, 248}};                  // BPF T4 = -8
    EXPECT_EQ(commandsOf(rig.radio().adjustLog()), expected);
    for (size_t i = 1; i <= 14; ++i) EXPECT_TRUE(rig.radio().adjustLog()[i].answered);

    // Spacing on the line: each item with a command is followed by its 200 ms settling wait; the
    // channel selection has none, the monitor requests follow each other at once.
    const std::vector<SentAdjust> sent = rig.tap().adjustments();
    ASSERT_EQ(sent.size(), expected.size());
    for (size_t i = 1; i + 1 < 15; ++i) EXPECT_LT(sent[i + 1].ms - sent[i].ms, 200) << i;
    EXPECT_LT(sent[16].ms - sent[15].ms, 200) << "no wait after the channel selection";
    for (size_t i = 16; i + 1 < sent.size(); ++i) {
        const int32_t gap = sent[i + 1].ms - sent[i].ms;
        EXPECT_GE(gap, 200) << "after command " << sent[i].number;
        EXPECT_LE(gap, 300) << "after command " << sent[i].number;
    }

    const std::vector<std::string> console = {
        "    CH No.: 01 (RX Freq = 146.250, TX Freq =   <-   )   RF Power: High",
        " Power(Hi): 200 [################----]",
        " Power(LO):  80 [######--------------]",
        "  DTCS BAL: 122 [##########----------]",
        "       MOD: 134 [###########---------]",
        "       SQL:  64 [#####---------------]",
        "   BPF ALL: [Enter] to Sweep",
        "    BPF T1:  12 [###########---------] [Enter] to Sweep",
        "    BPF T2:  11 [###########---------] [Enter] to Sweep",
        "    BPF T3:  13 [###########---------] [Enter] to Sweep",
        "    BPF T4:  -8 [#########-----------] [Enter] to Sweep",
        "       TXF: [Enter] to Start"};
    EXPECT_EQ(rig.consoleLines(), console);

    // The reference reading follows the radio's TXF table; 129 for the sample radio at 25 'C.
    ASSERT_EQ(rig.radio().monitorReading(10), 129);
    const std::vector<std::string> ad = {"[A/D]",
                                         "VIN  :189:BDh:  7.41V",
                                         "TEMPS:173:ADh: 24.81'C",
                                         "LVIN :100:64h:  1.96V",
                                         "SD   :202:CAh:  3.96V",
                                         "REMOT:230:E6h:  4.51V",
                                         "BDET :120:78h:  2.35V(Li-ion)"};
    const std::vector<std::string> da = {"[D/A]",
                                         "BPF T1 :140:8Ch:  2.75V",
                                         "BPF T2 :139:8Bh:  2.73V",
                                         "BPF T3 :141:8Dh:  2.76V",
                                         "T4/POW :120:78h:  2.35V",
                                         "REF    :129:81h:  2.53V",
                                         "DTCS BL:122:7Ah: 47.84%",
                                         "Dev    :134:86h:  2.63V",
                                         "SQL Lev: 64:40h: 25.10%"};
    EXPECT_EQ(rig.adLines(), ad);
    EXPECT_EQ(rig.daLines(), da);

    // Right on " Power(Hi)": command 5 with 201 within one cycle, and the image holds 201.
    const size_t before = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.keyOn(kLinePowerHi, kKeyRight));
    EXPECT_EQ(rig.consoleLine(kLinePowerHi), " Power(Hi): 201 [################----]");
    const int64_t pressed = rig.elapsedMs();
    ASSERT_TRUE(rig.runUntil([&] { return rig.radio().adjustLog().size() > before; }, 2000));
    EXPECT_LE(rig.elapsedMs() - pressed, 100) << "sent in the running cycle";
    rig.runFor(500);
    EXPECT_EQ(commandsOf(rig.radio().adjustLog(), before),
              (std::vector<std::pair<int, int>>{{5, 201}}));
    EXPECT_EQ(rig.programByte(49), 201);
    EXPECT_EQ(rig.radio().image()[49], 201);
    // Shift steps by five.
    ASSERT_TRUE(rig.keyOn(kLinePowerHi, kKeyRight, true));
    rig.runFor(500);
    EXPECT_EQ(rig.radio().image()[49], 206);
    EXPECT_EQ(rig.programByte(49), 206);

    // "Reload(F5)" reads all fourteen values again, in order; changed readings are redrawn.
    rig.radio().options().vin = 200;
    size_t mark = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.click(1));
    rig.runFor(3000);
    std::vector<std::pair<int, int>> reload;
    for (int v = 0; v < 14; ++v) reload.emplace_back(3, v);
    EXPECT_EQ(commandsOf(rig.radio().adjustLog(), mark), reload);
    EXPECT_EQ(rig.adLines()[1], "VIN  :200:C8h:  7.84V");
    EXPECT_EQ(rig.daLines()[4], "T4/POW :120:78h:  2.35V");
    // F5 does the same.
    mark = rig.radio().adjustLog().size();
    ASSERT_TRUE(rig.key(kKeyF5));
    rig.runFor(3000);
    EXPECT_EQ(commandsOf(rig.radio().adjustLog(), mark), reload);
    // Without a reload the cycle reads nothing.
    mark = rig.radio().adjustLog().size();
    rig.runFor(3000);
    EXPECT_EQ(rig.radio().adjustLog().size(), mark);

    // "Disp para": the cycle runs to its end, then the listing of 83 lines.
    ASSERT_TRUE(rig.click(2));
    ASSERT_TRUE(rig.runUntil([&] { return rig.opStep() == OperationStep::DispPara; }, 2000));
    rig.runFor(200);
    EXPECT_EQ(lineCount(rig.dispPara()), 83u);
    EXPECT_EQ(listingValue(rig.dispPara(), "POW HI Level"), "206");
    EXPECT_EQ(listingValue(rig.dispPara(), "BPF T4 Level"), "-8");
    EXPECT_TRUE(rig.dispParaShown());
    EXPECT_FALSE(rig.consoleShown());
    EXPECT_TRUE(rig.window().buttons[2].isDefault);
    EXPECT_TRUE(rig.window().buttons[2].isCancel);
    EXPECT_FALSE(rig.window().buttons[0].enabled);
    EXPECT_FALSE(rig.window().buttons[1].enabled);
    // F5 and keys do nothing here.
    mark = rig.radio().adjustLog().size();
    rig.key(kKeyF5);
    EXPECT_FALSE(rig.keyOn(kLinePowerHi, kKeyRight));
    rig.runFor(2000);
    EXPECT_EQ(rig.opStep(), OperationStep::DispPara);
    EXPECT_EQ(rig.radio().adjustLog().size(), mark);
    // Pressed again, it leaves through the end of the cycle back to the cycle.
    ASSERT_TRUE(rig.click(2));
    ASSERT_TRUE(rig.runUntil([&] { return rig.inCycle(); }, 1000));
    rig.runFor(500);
    EXPECT_TRUE(rig.consoleShown());
    EXPECT_FALSE(rig.dispParaShown());
    EXPECT_FALSE(rig.window().buttons[2].isDefault);
    EXPECT_EQ(rig.window().focused, "lboConsole");
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
}

// A monitor answer the program cannot accept ends the connection with the communication error;
// the next "Connect" starts afresh.
TEST(TypicalRun, InvalidMonitorAnswerResetsAndReconnects) {
    struct Case {
        const char* name;
        LineTap::Rewrite rewrite;
    };
    // Answer frame: FE FE EF EE E8, 22 51 02 00, 03, two ASCII hex digits, FD.
    const std::vector<Case> cases = {
        {"eight data bytes",
         [](ByteString f) {
             f.insert(f.end() - 1, '0');
             return f;
         }},
        {"six data bytes",
         [](ByteString f) {
             f.erase(f.end() - 2);
             return f;
         }},
        {"another radio's sub name",
         [](ByteString f) {
             f[7] = 0x01;
             f[8] = 0x50;
             return f;
         }},
        {"another model",
         [](ByteString f) {
             f[6] = 0x52;
             return f;
         }},
        {"a digit that is not hexadecimal",
         [](ByteString f) {
             f[10] = 'G';
             return f;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        ASSERT_TRUE(rig.connect());
        const std::vector<std::string> before = rig.adLines();
        rig.tap().rewriteAdjustAnswers(c.rewrite);
        ASSERT_TRUE(rig.key(kKeyF5));
        ASSERT_TRUE(rig.runUntil([&] { return !rig.messages().empty(); }, 5000));
        EXPECT_EQ(rig.messages(),
                  (std::vector<std::string>{shortChecklistText("Communication failed.")}));
        EXPECT_EQ(rig.opStep(), OperationStep::Idle);
        EXPECT_FALSE(rig.simPort().portOpen());
        rig.runFor(1000);
        EXPECT_EQ(rig.portLabel(), "COM 1: CLOSE");
        EXPECT_FALSE(rig.consoleShown());
        EXPECT_EQ(rig.adLines()[1], "----");  // the reset put the placeholders back
        EXPECT_EQ(rig.messages().size(), 1u);

        ASSERT_TRUE(rig.connect());
        EXPECT_EQ(rig.adLines(), before);
        EXPECT_EQ(rig.radio().cloneReadCount(), 2);
        EXPECT_EQ(rig.messages().size(), 1u);
    }
}

// Memories and flags the program must survive: no crash, no message, the bar within 32 cells.
TEST(TypicalRun, OddRadiosConnectWithoutFault) {
    struct Case {
        const char* name;
        bool channelType;
        bool noChannels;
    };
    const Case cases[] = {
        {"5,120-byte memory with the channel-type flag clear", false, false},
        {"no memory channel in use", true, true},
        {"no channel in use and the flag clear", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RigOptions o;
        o.sim.channelType = c.channelType;
        if (c.noChannels) o.image = imageWithoutChannels(o.sim);
        SimRig rig(o);
        ASSERT_TRUE(rig.click(0));
        size_t maxCells = 0, samples = 0, firstFull = 0;
        ASSERT_TRUE(rig.runUntil(
            [&] {
                if (rig.opStep() == OperationStep::CloneRead) {
                    const std::string b = rig.progress();
                    EXPECT_TRUE(wellFormedBar(b)) << "'" << b << "'";
                    ++samples;
                    maxCells = std::max(maxCells, countOf(b, 'o'));
                    if (firstFull == 0 && countOf(b, 'o') == 32) firstFull = samples;
                }
                return rig.opStep() > OperationStep::CloneRead;
            },
            30000));
        EXPECT_LE(maxCells, 32u);
        if (!c.channelType) {
            // The bar fills at 3,072 bytes, about 60 % through the read, and stays full.
            EXPECT_GT(firstFull, 0u);
            EXPECT_LT(firstFull, samples * 7 / 10);
        }
        ASSERT_TRUE(rig.runUntil([&] { return rig.inCycle(); }, 2000));
        rig.runFor(5000);
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_TRUE(rig.lineClean());
        EXPECT_TRUE(rig.inCycle());
        if (c.noChannels) {
            // Channel 0 stands in for the empty list; its erased record has every flag set.
            EXPECT_EQ(rig.program().console().Max(kLineChNo), 0);
            EXPECT_EQ(rig.consoleLine(kLineChNo),
                      "    CH No.: 01 (RX Freq = Inhibit, TX Freq = Inhibit)   RF Power: Low");
            // The arrows wrap from 0 to 0 and select channel 0 each time.
            const size_t mark = rig.radio().adjustLog().size();
            ASSERT_TRUE(rig.keyOn(kLineChNo, kKeyRight));
            rig.runFor(300);
            ASSERT_TRUE(rig.keyOn(kLineChNo, kKeyLeft));
            rig.runFor(300);
            EXPECT_EQ(rig.value(kLineChNo), 0);
            EXPECT_EQ(commandsOf(rig.radio().adjustLog(), mark),
                      (std::vector<std::pair<int, int>>{{0, 1}, {0, 1}}));
        }
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_TRUE(rig.lineClean());
    }
}

// Frequency bytes that are not decimal digits show "Invalid" on the channel line and on the
// TXF line, and break nothing.
TEST(TypicalRun, NonDecimalFrequencyShowsInvalid) {
    ByteString img = sim::sampleImage();
    img[576 + 0] = 0x1A;  // channel 0: receive 1A 25 00
    img[576 + 1] = 0x25;
    img[576 + 20 + 3] = 0x14;  // channel 1: transmit 14 6C 20
    img[576 + 20 + 4] = 0x6C;
    RigOptions o;
    o.image = img;
    SimRig rig(o);
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(rig.consoleLine(kLineChNo),
              "    CH No.: 01 (RX Freq = Invalid, TX Freq = 146.250)   RF Power: High");
    ASSERT_TRUE(rig.keyOn(kLineChNo, kKeyRight));
    rig.runFor(300);
    EXPECT_EQ(rig.consoleLine(kLineChNo),
              "    CH No.: 02 (RX Freq = 146.520, TX Freq = Invalid)   RF Power: Low");
    // Channel 1 selected: the TXF procedure shows its transmit frequency as invalid.
    ASSERT_TRUE(rig.keyOn(kLineTxf, kKeyEnter));
    ASSERT_TRUE(rig.runUntil([&] { return rig.txfStep() >= TxfStep::Track; }, 3000));
    EXPECT_EQ(rig.consoleLine(kLineTxf).rfind("       TXF: 1st TX Freq = Invalid, Setting = ", 0),
              0u)
        << rig.consoleLine(kLineTxf);
    rig.runFor(2000);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_TRUE(rig.lineClean());
    EXPECT_TRUE(rig.inCycle());
}

// "Connect" again while the memory streams in: the radio sends on to the end, the program starts
// afresh and either gets through or says once that the line failed; it never hangs.
TEST(TypicalRun, ConnectAgainDuringTheCloneRead) {
    SimRig rig;
    ASSERT_TRUE(rig.click(0));
    rig.runFor(5000);
    ASSERT_EQ(rig.opStep(), OperationStep::CloneRead);
    ASSERT_TRUE(rig.click(0));
    ASSERT_TRUE(rig.runUntil([&] { return rig.inCycle() || !rig.messages().empty(); }, 60000));
    EXPECT_LE(rig.messages().size(), 1u);
    ASSERT_TRUE(rig.runUntil([&] { return rig.radio().pendingCount() == 0; }, 30000));
    if (!rig.inCycle()) {
        ASSERT_TRUE(rig.connect());
    }
    rig.runFor(5000);
    EXPECT_LE(rig.messages().size(), 1u);
    EXPECT_EQ(rig.consoleLine(kLinePowerHi), " Power(Hi): 200 [################----]");
    EXPECT_EQ(rig.adLines()[3], "LVIN :100:64h:  1.96V");
    EXPECT_EQ(rig.program().boundary().failures(), 0);
}

// Every fault of the line, the port and the radio ends with its message, the port closed and
// the controller idle; once the fault is gone the next "Connect" works.
TEST(TypicalRun, FaultsEndWithTheirMessageAndTheNextConnectWorks) {
    struct Case {
        const char* name;
        bool duringCycle;                     // the fault comes after a good connect
        std::function<void(SimRig&)> inject;  // before Connect, or before F5 in the cycle
        std::string message;                  // empty: no fault, the connect succeeds
        std::function<void(SimRig&)> remove;
    };
    auto faults = [](SimRig& r) -> sim::SimFaults& { return r.radio().options().faults; };
    auto otherRadio = [](const char* model, const char* sub) {
        return [model, sub](SimRig& r) {
            sim::SimOptions o;
            o.modelCode = model;
            o.subName = sub;
            r.swapRadio(o);
        };
    };
    auto rightRadio = [](SimRig& r) { r.swapRadio(sim::SimOptions{}); };
    const std::string noAnswer = fullChecklistText("No answer from QT-KV7.");
    const std::vector<Case> cases = {
        {"no echo", false, [&](SimRig& r) { faults(r).noEcho = true; },
         fullChecklistText("Cannot access COM port"), [&](SimRig& r) { faults(r).noEcho = false; }},
        {"no answer", false, [&](SimRig& r) { faults(r).noAnswer = true; }, noAnswer,
         [&](SimRig& r) { faults(r).noAnswer = false; }},
        {"bad checksum in block 100", false, [&](SimRig& r) { faults(r).badChecksumBlock = 100; },
         fullChecklistText("Illegal data."), [&](SimRig& r) { faults(r).badChecksumBlock = -1; }},
        {"gap before block 50", false, [&](SimRig& r) { faults(r).gapBeforeBlock = 50; }, noAnswer,
         [&](SimRig& r) { faults(r).gapBeforeBlock = -1; }},
        {"line cut during the clone read", false,
         [&](SimRig& r) { faults(r).cutAfterBytes = 3000; }, noAnswer,
         [&](SimRig& r) { rightRadio(r); }},
        {"another model code", false, otherRadio("2252", "0200"),
         fullChecklistText("Cannot Clone."), rightRadio},
        {"a newer sub name", false, otherRadio("2251", "0300"),
         "Version number does not match\r\nfor this QT-KV7.", rightRadio},
        {"port cannot be opened", false, [](SimRig& r) { r.simPort().setFailOpen(true); },
         fullChecklistText("Cannot access COM 1."),
         [](SimRig& r) { r.simPort().setFailOpen(false); }},
        {"receive buffer overflow", false,
         [](SimRig& r) {
             r.radio().options().pacing = false;
             r.simPort().setChunkSize(8192);
         },
         fullChecklistText("COM buffer Overflow."),
         [](SimRig& r) {
             r.radio().options().pacing = true;
             r.simPort().setChunkSize(64);
         }},
        {"noise before every frame", false, [&](SimRig& r) { faults(r).noise = true; }, "",
         [&](SimRig& r) { faults(r).noise = false; }},
        {"no answer to a monitor request", true, [&](SimRig& r) { faults(r).noAnswer = true; },
         noAnswer, [&](SimRig& r) { faults(r).noAnswer = false; }},
        {"no echo in the cycle", true, [&](SimRig& r) { faults(r).noEcho = true; },
         fullChecklistText("Cannot access COM port"), [&](SimRig& r) { faults(r).noEcho = false; }},
        {"line cut in the cycle", true,
         // Cut in the middle of an answer: the re-send then gets no echo either.
         [&](SimRig& r) { faults(r).cutAfterBytes = r.radio().bytesSent() + 20; },
         fullChecklistText("Cannot access COM port"), rightRadio},
        {"an answer with a model code that is not decimal", true,
         [](SimRig& r) {
             r.tap().rewriteAdjustAnswers([](ByteString f) {
                 f[6] = 0x5A;
                 return f;
             });
         },
         fullChecklistText("Illegal data."), [](SimRig&) {}},
        {"port taken by another program while released", true,
         [](SimRig& r) {
             r.program().event("the menu",
                               [&] { r.program().window().mnuOptionSelAutoRelease_Click(1); });
             ASSERT_TRUE(r.runUntil([&] { return !r.simPort().portOpen(); }, 3000));
             r.simPort().setFailOpen(true);
         },
         fullChecklistText("Cannot access COM 1."),
         [](SimRig& r) { r.simPort().setFailOpen(false); }},
        {"noise in the cycle", true, [&](SimRig& r) { faults(r).noise = true; }, "",
         [&](SimRig& r) { faults(r).noise = false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        if (c.duringCycle) {
            ASSERT_TRUE(rig.connect());
        }
        c.inject(rig);
        if (c.duringCycle) {
            ASSERT_TRUE(rig.key(kKeyF5));
        } else {
            ASSERT_TRUE(rig.click(0));
        }
        if (c.message.empty()) {
            rig.runFor(25000);
            EXPECT_TRUE(rig.messages().empty());
            EXPECT_TRUE(rig.lineClean());
            EXPECT_TRUE(rig.inCycle());
            EXPECT_EQ(rig.daLines()[8], "SQL Lev: 64:40h: 25.10%");
            continue;
        }
        ASSERT_TRUE(rig.runUntil([&] { return !rig.messages().empty(); }, 30000));
        EXPECT_EQ(rig.messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(rig.opStep(), OperationStep::Idle);
        EXPECT_FALSE(rig.simPort().portOpen());
        rig.runFor(3000);
        EXPECT_EQ(rig.messages().size(), 1u) << "one message per fault";
        EXPECT_EQ(rig.opStep(), OperationStep::Idle);
        EXPECT_FALSE(rig.simPort().portOpen());
        EXPECT_EQ(rig.portLabel(), "COM 1: CLOSE");

        c.remove(rig);
        // A radio that was streaming its memory goes on until its end; the technician waits.
        ASSERT_TRUE(rig.runUntil([&] { return rig.radio().pendingCount() == 0; }, 20000));
        ASSERT_TRUE(rig.connect()) << (rig.messages().size() > 1 ? rig.messages()[1] : "");
        EXPECT_EQ(rig.messages().size(), 1u);
        EXPECT_EQ(rig.adLines()[1], "VIN  :189:BDh:  7.41V");
        EXPECT_EQ(rig.consoleLine(kLinePowerHi), " Power(Hi): 200 [################----]");
    }
}

}  // namespace
}  // namespace kv7::test
