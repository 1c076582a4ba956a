// The whole program put together, against the simulated radio in virtual time.
#include "app/program.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/support/shell.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7 {
namespace {

using test::TempDir;

const std::string kConstFile =
    (std::filesystem::path(__FILE__).parent_path() / "../../data/Const.ini").string();

struct Rig {
    explicit Rig(sim::SimOptions o = {}, std::string constFile = kConstFile)
        : radio(ticks, o),
          port(radio),
          program(port, ticks, messages, beeper, view, dir.path(), constFile, &timer) {
        view.onUnload = [this] { program.window().Form_QueryUnload(); };
    }

    // Virtual time in 10 ms steps; the heartbeat every 50 ms while the timer runs.
    void run(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 10) {
            ticks.advance(10);
            port.pump();
            if (timer.on && t % 50 == 40) program.heartbeat();
        }
    }
    // Runs until the condition holds or limitMs have passed; true when it held.
    bool runUntil(const std::function<bool()>& cond, int32_t limitMs) {
        for (int32_t t = 0; t < limitMs; t += 50) {
            if (cond()) return true;
            run(50);
        }
        return cond();
    }
    bool connect() {
        program.event("a click", [&] { program.window().cmd00_Click(0); });
        return runUntil([&] { return program.controller().RigKV7Prop_EditEnabled(); }, 60000);
    }

    TempDir dir;
    ManualTickSource ticks{1000};
    sim::SimRadio radio;
    sim::SimSerialPort port;
    test::FakeMessageSink messages;
    test::FakeBeeper beeper;
    test::FakeWindow view;
    test::FakeTimer timer;
    Program program;
};

TEST(Program, StartsConnectsAndSendsAStepToTheRadio) {
    Rig r;
    ASSERT_EQ(r.program.Main([] { return false; }), StartResult::Running);
    EXPECT_EQ(r.view.caption, "SW-KV7 ADJ Rev.2.0");
    EXPECT_EQ(r.view.buttons[0].caption, "Connect");
    EXPECT_TRUE(r.timer.on);

    ASSERT_TRUE(r.connect()) << (r.messages.shown.empty() ? "" : r.messages.shown[0]);
    EXPECT_EQ(r.radio.cloneReadCount(), 1);
    clsConsole& c = r.program.console();
    ASSERT_GT(c.ListCount(), 0);
    EXPECT_EQ(r.view.console.ListCount(), c.ListCount());
    r.run(20000);  // every item goes out once after the read

    // The first item that is a plain adjustment with room above its value.
    int16_t item = -1;
    for (int16_t i = 0; i < c.ListCount() && item < 0; ++i) {
        if (c.E8Command(i) > 2 && c.Event_SendE8(i) < 0 && c.Value(i) + 5 <= c.Max(i)) item = i;
    }
    ASSERT_GE(item, 0);
    const int16_t before = c.Value(item);
    r.view.console.setListIndex(item);
    EXPECT_TRUE(r.program.consoleKeyDown(39, true));  // Shift+Right
    EXPECT_EQ(c.Value(item), before + 5);
    const size_t logged = r.radio.adjustLog().size();
    ASSERT_TRUE(r.runUntil([&] { return r.radio.adjustLog().size() > logged; }, 5000));
    const sim::AdjustCommand& sent = r.radio.adjustLog()[logged];
    EXPECT_EQ(sent.number, c.E8Command(item));
    EXPECT_EQ(sent.value, static_cast<uint8_t>(before + 5));
    EXPECT_TRUE(r.messages.shown.empty());
    EXPECT_EQ(r.program.boundary().failures(), 0);

    r.view.Unload();
    EXPECT_FALSE(r.port.portOpen());
    EXPECT_FALSE(r.timer.on);
    EXPECT_TRUE(std::filesystem::exists(r.dir.file("SWKV7ADJ.rs")));
}

TEST(Program, ASilentRadioIsReportedOnceAndTheProgramWaitsForConnect) {
    sim::SimOptions o;
    o.faults.noAnswer = true;
    Rig r(o);
    ASSERT_EQ(r.program.Main([] { return false; }), StartResult::Running);
    r.program.event("a click", [&] { r.program.window().cmd00_Click(0); });
    ASSERT_TRUE(r.runUntil([&] { return !r.messages.shown.empty(); }, 30000));
    r.run(5000);
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].substr(0, 24), "No answer from QT-KV7.\r\n");
    EXPECT_EQ(r.program.controller().opStep(), OperationStep::Idle);
    EXPECT_FALSE(r.program.link().totalError());
    EXPECT_EQ(r.program.boundary().failures(), 0);
}

// While the error box is open its nested loop keeps delivering the heartbeat and the port's
// events; none of them runs a tick inside the report.
TEST(Program, NoTickRunsInsideAMessageBox) {
    sim::SimOptions o;
    o.faults.noAnswer = true;
    Rig r(o);
    std::vector<EventOutcome> nested;
    r.messages.onShow = [&](const std::string&) {
        nested.push_back(r.program.heartbeat());
        nested.push_back(r.program.commEvent(SerialPort::kEvReceive));
    };
    ASSERT_EQ(r.program.Main([] { return false; }), StartResult::Running);
    r.program.event("a click", [&] { r.program.window().cmd00_Click(0); });
    ASSERT_TRUE(r.runUntil([&] { return !r.messages.shown.empty(); }, 30000));
    EXPECT_EQ(nested, (std::vector<EventOutcome>{EventOutcome::Skipped, EventOutcome::Skipped}));
    EXPECT_FALSE(r.program.modalDepth().modal());
}

TEST(Program, ProgramsAreIndependent) {
    Rig a;
    Rig b;
    ASSERT_EQ(a.program.Main([] { return false; }), StartResult::Running);
    ASSERT_EQ(b.program.Main([] { return false; }), StartResult::Running);
    a.program.window().mnuOptSelCom_Click(3);
    a.run(100);
    b.run(100);
    EXPECT_EQ(a.view.comBusy.caption, "COM 3: CLOSE");
    EXPECT_EQ(b.view.comBusy.caption, "COM 1: CLOSE");
}

TEST(Program, StartWithoutConstantsEnds) {
    Rig r({}, "/nonexistent/Const.ini");
    EXPECT_EQ(r.program.Main([] { return false; }), StartResult::ConstantsMissing);
    EXPECT_EQ(r.messages.shown, (std::vector<std::string>{"Cannot read 'Const.ini'."}));
    EXPECT_FALSE(r.timer.on);
    EXPECT_TRUE(std::filesystem::exists(r.dir.file("SWKV7ADJ.rs")));
}

// An internal error before the settings were read ends the start; the stored settings stay.
TEST(Program, StartFailingBeforeTheSettingsLeavesThemStored) {
    Rig r;
    const std::string stored = "[OPTION]\nComPort=3\nComAutoRelease=2\n";
    test::writeFile(r.dir.file("SWKV7ADJ.rs"), stored);
    r.program.window().setController(nullptr);  // the window's first setting fails
    EXPECT_EQ(r.program.Main([] { return false; }), StartResult::Failed);
    EXPECT_EQ(r.messages.shown.size(), 1u);
    EXPECT_TRUE(r.program.window().linkClosed());
    EXPECT_FALSE(r.timer.on);
    EXPECT_EQ(test::readFile(r.dir.file("SWKV7ADJ.rs")), stored);
}

TEST(Program, SecondInstanceEndsAtOnce) {
    Rig r;
    EXPECT_EQ(r.program.Main([] { return true; }), StartResult::SecondInstance);
    EXPECT_EQ(r.messages.shown.size(), 1u);
    EXPECT_FALSE(r.timer.on);
    EXPECT_EQ(r.port.openCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(r.dir.file("SWKV7ADJ.rs")));
}

}  // namespace
}  // namespace kv7
