// The one message that explains a failed radio operation, and what happens around it.
#include "app/clone_error_text.h"

#include <gtest/gtest.h>

#include "app/support/shell.h"

namespace kv7 {
namespace {

using test::Shell;
using test::TempDir;

const std::string kFull =
    "\r\n\r\nCheck the following:\r\n\r\n- The COM port settings.\r\n"
    "- Cloning cable connections.\r\n- The QT-KV7 power is ON.";
const std::string kShort =
    "\r\n\r\nCheck the following:\r\n\r\n- Cloning cable connections.\r\n"
    "- The QT-KV7 power is ON.";

TEST(CloneErrorText, EveryRuleInItsOrder) {
    const struct {
        const char* rule;
        CloneErrorState state;  // cannotOpen, overflow, lastError, seqError, port
        std::string text;
    } cases[] = {
        {"1 port not opened", {true, false, 0, 0, 1}, "Cannot access COM 1." + kFull},
        {"1 wins over the driver", {true, true, 2, 3, 4}, "Cannot access COM 4." + kFull},
        {"1 with port 10", {true, false, 0, 0, 10}, "Cannot access COM 10." + kFull},
        {"2 overflow", {false, true, 1, 0, 1}, "COM buffer Overflow." + kFull},
        {"3 no echo", {false, false, 1, 0, 1}, "Cannot access COM port" + kFull},
        {"4 no answer", {false, false, 2, 0, 1}, "No answer from QT-KV7." + kFull},
        {"5 illegal data", {false, false, 3, 0, 1}, "Illegal data." + kFull},
        {"6 outside the image", {false, false, 4, 0, 1}, "Data Overflow." + kFull},
        {"7 code 5", {false, false, 5, 0, 1}, "Cannot write cloning data." + kShort},
        {"7 code 6", {false, false, 6, 2, 1}, "Cannot write cloning data." + kShort},
        {"8 code 7", {false, false, 7, 0, 1}, "Cannot Clone." + kFull},
        {"8 negative code", {false, false, -1, 0, 1}, "Cannot Clone." + kFull},
        {"9 nothing known", {false, false, 0, 0, 1}, "Communication failed." + kShort},
        {"10 sub name refused",
         {false, false, 0, 2, 1},
         "Version number does not match\r\nfor this QT-KV7."},
        {"11 model code", {false, false, 0, 1, 1}, "Cannot Clone." + kFull},
        {"11 identification", {false, false, 0, 3, 1}, "Cannot Clone." + kFull},
        {"11 unknown code", {false, false, 0, 32767, 1}, "Cannot Clone." + kFull},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CloneErrorText(c.state), c.text) << "rule " << c.rule;
    }
}

TEST(CloneErrorText, LinesAreJoinedWithCrLfOnly) {
    const std::string text = CloneErrorText({true, false, 0, 0, 1});
    size_t lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r') << "a bare LF at " << i;
            ++lines;
        }
        if (text[i] == '\r') {
            EXPECT_EQ(text.at(i + 1), '\n') << "a bare CR at " << i;
        }
    }
    EXPECT_EQ(lines, 7u);
    EXPECT_NE(text.back(), '\n');
}

// The message reports the state the failure left, while the controller is reset before the
// box opens (so the window behind it already shows the reset state).
TEST(MsgBoxCloneErr, ReadsTheStateThenResetsThenShows) {
    TempDir dir;
    Shell s(dir.path());
    s.link.setComPortNum(10);
    s.port.openFails = true;
    s.link.setComOpen(true);
    ASSERT_TRUE(s.link.errCannotOpen());

    size_t shownAtReset = 99;
    s.controller.onReset = [&] {
        shownAtReset = s.messages.shown.size();
        s.link.Reset();  // as the real reset does: the link's flags are clear afterwards
    };
    s.window.MsgBoxCloneErr(s.seq);

    EXPECT_EQ(shownAtReset, 0u);
    EXPECT_EQ(s.controller.resets, 1);
    ASSERT_EQ(s.messages.shown.size(), 1u);
    EXPECT_EQ(s.messages.shown[0], "Cannot access COM 10." + kFull);
}

// The heartbeat reports a failed opening once, through the window, and closes the port.
TEST(MsgBoxCloneErr, LinkErrorOnTheHeartbeat) {
    TempDir dir;
    Shell s(dir.path());
    s.port.openFails = true;
    s.link.setComPortNum(3);
    s.link.setComOpen(true);
    s.controller.onReset = [&] { s.link.Reset(); };

    s.link.timSolid_Timer();
    s.link.timSolid_Timer();

    ASSERT_EQ(s.messages.shown.size(), 1u);
    EXPECT_EQ(s.messages.shown[0].substr(0, 21), "Cannot access COM 3.\r");
    EXPECT_FALSE(s.port.open);
}

}  // namespace
}  // namespace kv7
