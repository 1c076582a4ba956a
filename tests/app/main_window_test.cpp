// The main window's logic: settings passed on, menus and port label, keys, resize, load, close.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include "app/support/shell.h"

namespace kv7 {
namespace {

using test::Shell;
using test::TempDir;
using Calls = std::vector<std::string>;

class MainWindowTest : public ::testing::Test {
  protected:
    TempDir dir;
    Shell s{dir.path()};
};

TEST_F(MainWindowTest, EachSettingIsPassedOnAtOnce) {
    s.window.setComPortNo(3);
    s.window.setTCXOSet(true);
    s.window.setComAutoRelease(2);
    EXPECT_EQ(s.controller.calls, (Calls{"SetComPortNo 3", "SetTCXO true"}));
    EXPECT_EQ(s.seq.comHoldReload(), 2000);
    // Milliseconds are counted in 32 bits: no 16-bit seconds value overflows.
    s.window.setComAutoRelease(32767);
    EXPECT_EQ(s.seq.comHoldReload(), 32767000);
    s.window.setComAutoRelease(-32768);
    EXPECT_EQ(s.seq.comHoldReload(), -32768000);
}

TEST_F(MainWindowTest, InitialisationAssignsTheDefaultsInOrder) {
    s.window.setComAutoRelease(4);
    s.window.Form_Initialize();
    EXPECT_EQ(s.controller.calls, (Calls{"SetComPortNo 1", "SetTCXO false"}));
    EXPECT_EQ(s.window.ComPortNo(), 1);
    EXPECT_EQ(s.window.ComAutoRelease(), 0);
    EXPECT_EQ(s.seq.comHoldReload(), 0);
    EXPECT_FALSE(s.window.TCXOSet());
}

TEST_F(MainWindowTest, MenusAndPortLabelFollowTheSettingsOnTheNextTask) {
    s.window.Form_Initialize();
    s.window.task();
    EXPECT_EQ(s.view.checkedPorts(), (std::vector<int>{1}));
    EXPECT_EQ(s.view.checkedReleases(), (std::vector<int>{0}));

    s.window.mnuOptSelCom_Click(3);
    s.window.mnuOptionSelAutoRelease_Click(2);
    // The click handlers leave the check marks to the task.
    EXPECT_EQ(s.view.checkedPorts(), (std::vector<int>{1}));
    EXPECT_EQ(s.seq.comHoldReload(), 2000);
    s.window.task();
    EXPECT_EQ(s.view.checkedPorts(), (std::vector<int>{3}));
    EXPECT_EQ(s.view.checkedReleases(), (std::vector<int>{2}));
    EXPECT_EQ(s.view.comBusy.caption, "COM 3: CLOSE");
    EXPECT_EQ(s.view.comBusy.foreColor, SystemColor::GrayText);

    s.window.mnuOptionSelAutoRelease_Click(0);
    EXPECT_EQ(s.seq.comHoldReload(), 0);

    // A port the menu does not offer checks no port item.
    s.window.setComPortNo(7);
    s.window.task();
    EXPECT_TRUE(s.view.checkedPorts().empty());
    EXPECT_EQ(s.view.comBusy.caption, "COM 7: CLOSE");
}

TEST_F(MainWindowTest, PortLabelShowsAnOpenPort) {
    s.window.Form_Initialize();
    s.link.setComOpen(true);
    ASSERT_TRUE(s.port.open);
    s.window.task();
    EXPECT_EQ(s.view.comBusy.caption, "COM 1: OPEN");
    EXPECT_EQ(s.view.comBusy.foreColor, SystemColor::ButtonText);
}

TEST_F(MainWindowTest, ButtonsF5AndTheTcxoBox) {
    s.window.cmd00_Click(0);
    s.window.cmd00_Click(2);
    s.window.Form_KeyDown(116, false);  // F5
    s.window.Form_KeyDown(116, true);
    s.window.Form_KeyDown(115, false);  // F4: not the window's
    s.window.Form_KeyDown(13, false);
    s.view.check1.value = 1;
    s.window.Check1_Click();
    s.view.check1.value = 2;  // greyed counts as set
    s.window.Check1_Click();
    s.view.check1.value = 0;
    s.window.Check1_Click();
    EXPECT_EQ(s.controller.calls,
              (Calls{"ClickCmd00 0", "ClickCmd00 2", "ClickCmd00 1", "ClickCmd00 1", "SetTCXO true",
                     "SetTCXO true", "SetTCXO false"}));
    EXPECT_FALSE(s.window.TCXOSet());
}

TEST_F(MainWindowTest, ConsoleKeysOnTheSelectedLine) {
    const struct {
        int key;
        bool shift;
        bool consumed;
        int16_t value;  // of line 1 afterwards
        bool enter;     // line 1 marked for its Enter action
    } cases[] = {
        {39, false, true, 101, false},   // Right
        {39, true, true, 105, false},    // Shift+Right
        {37, false, true, 99, false},    // Left
        {37, true, true, 95, false},     // Shift+Left
        {13, false, true, 100, true},    // Enter
        {108, true, true, 100, true},    // keypad separator
        {38, false, false, 100, false},  // Up: the list moves the selection
        {40, true, false, 100, false},   // Down
        {65, false, false, 100, false},
    };
    for (const auto& c : cases) {
        s.console.Clear();
        s.addItems({10, 100, 20});
        s.view.console.setListIndex(1);
        EXPECT_EQ(s.window.lboConsole_KeyDown(c.key, c.shift), c.consumed) << c.key;
        EXPECT_EQ(s.console.Value(1), c.value) << c.key << (c.shift ? " shift" : "");
        EXPECT_EQ(s.console.flgEnterOn(1), c.enter) << c.key;
        EXPECT_EQ(s.console.Value(0), 10);
        EXPECT_EQ(s.console.Value(2), 20);
        EXPECT_EQ(s.view.console.lines[1], s.console.DefaultString(1)) << "line redrawn";
    }
}

TEST_F(MainWindowTest, ConsoleKeysWithoutASelectedItemDoNothing) {
    // Empty list, no selection.
    EXPECT_TRUE(s.window.lboConsole_KeyDown(39, false));
    s.addItems({50});
    EXPECT_TRUE(s.window.lboConsole_KeyDown(13, false));
    EXPECT_FALSE(s.console.flgEnterOn(0));
    // A line of the list that holds no console item.
    s.view.console.AddItem("not an item");
    s.view.console.setListIndex(1);
    EXPECT_TRUE(s.window.lboConsole_KeyDown(37, true));
    EXPECT_EQ(s.console.Value(0), 50);
}

TEST_F(MainWindowTest, ConsoleFocusSelectsTheFirstLineOnlyWhenNoneIs) {
    s.window.lboConsole_GotFocus();
    EXPECT_EQ(s.view.console.listIndex, -1);
    s.addItems({1, 2, 3});
    s.window.lboConsole_GotFocus();
    EXPECT_EQ(s.view.console.listIndex, 0);
    s.view.console.setListIndex(2);
    s.window.lboConsole_GotFocus();
    EXPECT_EQ(s.view.console.listIndex, 2);
}

TEST_F(MainWindowTest, ResizeSpansTheSeparatorsAndParksThePortLabel) {
    s.view.scaleWidth = 7000;
    s.view.twipsPerPixelY = 12;
    s.view.comBusy.caption = "COM 1: OPEN";
    s.view.comBusy.Move(4000, 300, 1800, 300);
    s.window.Form_Resize();
    const auto& l0 = s.view.separators[0];
    const auto& l1 = s.view.separators[1];
    EXPECT_EQ((std::vector<double>{l0.x1, l0.y1, l0.x2, l0.y2}),
              (std::vector<double>{0, 0, 7000, 0}));
    EXPECT_EQ((std::vector<double>{l1.x1, l1.y1, l1.x2, l1.y2}),
              (std::vector<double>{0, 12, 7000, 12}));
    EXPECT_EQ(s.view.comBusy.caption, "");
    EXPECT_EQ((std::vector<double>{s.view.comBusy.left, s.view.comBusy.top, s.view.comBusy.width,
                                   s.view.comBusy.height}),
              (std::vector<double>{120, 120, 1800, 300}));
    EXPECT_EQ(s.controller.calls, (Calls{"FormLayout"}));
}

TEST_F(MainWindowTest, LoadSetsCaptionsThenResourcesThenLayout) {
    ASSERT_TRUE(s.window.Form_Load());
    EXPECT_EQ(s.controller.calls, (Calls{"ReadParameters", "FormResource", "FormLayout"}));
    EXPECT_EQ(s.view.caption, "SW-KV7 ADJ Rev.2.0");
    const std::string& t = s.view.title.caption;
    const std::string head = "SW-KV7 ADJ Rev.2.0\r\nAdjust Utility for QT-KV7\r\n";
    ASSERT_EQ(t.substr(0, head.size()), head);
    const std::string notice = t.substr(head.size());
    EXPECT_FALSE(notice.empty());
    EXPECT_EQ(notice.find('\n'), std::string::npos) << "three lines only";
    EXPECT_TRUE(s.messages.shown.empty());
    EXPECT_FALSE(s.window.linkClosed());
}

TEST_F(MainWindowTest, LoadWithoutConstantsSaysSoAndClosesTheLink) {
    s.controller.constantsReadable = false;
    s.timer.on = true;
    s.window.setComPortNo(4);
    EXPECT_FALSE(s.window.Form_Load());
    EXPECT_EQ(s.messages.shown, (std::vector<std::string>{"Cannot read 'Const.ini'."}));
    EXPECT_TRUE(s.window.linkClosed());
    EXPECT_FALSE(s.timer.on);
    EXPECT_NE(test::readFile(s.settingsFile()).find("ComPort=4"), std::string::npos);
    EXPECT_EQ(s.controller.callsStartingWith("Form"), Calls{}) << "no captions, no layout";
}

TEST_F(MainWindowTest, ClosingRunsTheCloseSequenceOnce) {
    s.timer.on = true;
    s.link.setComOpen(true);
    s.window.mnuFileExit_Click();  // unloads the window, which queries the close
    EXPECT_EQ(s.view.unloads, 1);
    EXPECT_TRUE(s.window.linkClosed());
    EXPECT_FALSE(s.port.open);
    EXPECT_FALSE(s.timer.on);
    const int timerChanges = s.timer.changes;
    std::filesystem::remove(s.settingsFile());
    s.window.Form_QueryUnload();
    EXPECT_EQ(s.timer.changes, timerChanges);
    EXPECT_FALSE(std::filesystem::exists(s.settingsFile())) << "saved only once";
}

TEST_F(MainWindowTest, KeyHistoryReplacesTheCaptionOnTheTrigger) {
    s.view.caption = "SW-KV7 ADJ Rev.2.0";
    for (char ch : std::string("showmeversioX")) s.window.cmd00_KeyPress(ch);
    EXPECT_EQ(s.view.caption, "SW-KV7 ADJ Rev.2.0");
    // Only the last 13 characters count, in upper case.
    for (char ch : std::string("xx ShowMeVersion")) s.window.cmd00_KeyPress(ch);
    const std::string changed = s.view.caption;
    EXPECT_NE(changed, "SW-KV7 ADJ Rev.2.0");
    for (char ch : std::string("more keys")) s.window.cmd00_KeyPress(ch);
    EXPECT_EQ(s.view.caption, changed) << "the caption stays";
    EXPECT_TRUE(s.controller.calls.empty());
}

}  // namespace
}  // namespace kv7
