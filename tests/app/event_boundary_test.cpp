// A programming error inside one event ends only that event; heartbeats wait while a box is open.
#include "app/event_boundary.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/support/shell.h"
#include "store/common.h"

namespace kv7 {
namespace {

using test::Shell;
using test::TempDir;

class EventBoundaryTest : public ::testing::Test {
  protected:
    EventBoundaryTest() { boundary.setController(&s.controller); }

    EventOutcome tick() {
        return boundary.runTick("the periodic task", [&] { s.link.timSolid_Timer(); });
    }

    TempDir dir;
    Shell s{dir.path()};
    ModalDepth depth;
    ModalMessageSink sink{s.messages, depth};
    EventBoundary boundary{sink, depth};
};

TEST_F(EventBoundaryTest, AThrowingTickIsReportedOnceAndTheProgramGoesOn) {
    int throwsLeft = 1;
    s.controller.onTask = [&] {
        if (throwsLeft-- > 0) throw SubscriptError("item 40 does not exist");
    };
    EXPECT_EQ(tick(), EventOutcome::Failed);
    ASSERT_EQ(s.messages.shown.size(), 1u);
    EXPECT_NE(s.messages.shown[0].find("the periodic task"), std::string::npos);
    EXPECT_NE(s.messages.shown[0].find("item 40 does not exist"), std::string::npos);
    EXPECT_EQ(s.controller.resets, 1);
    EXPECT_EQ(boundary.failures(), 1);

    // The link's tick is not left marked as running: later ticks run in full.
    EXPECT_EQ(tick(), EventOutcome::Completed);
    EXPECT_EQ(tick(), EventOutcome::Completed);
    EXPECT_EQ(s.controller.tasks, 3);
    EXPECT_EQ(s.messages.shown.size(), 1u);
    EXPECT_EQ(s.controller.resets, 1);
}

TEST_F(EventBoundaryTest, AnOverflowingConsoleKeyChangesNothing) {
    s.addItems({0});
    s.console.setMax(0, 32767);
    s.console.setValue(0, 32767);
    s.view.console.setListIndex(0);
    EXPECT_EQ(boundary.run("the console key", [&] { s.window.lboConsole_KeyDown(39, false); }),
              EventOutcome::Failed);
    EXPECT_EQ(s.console.Value(0), 32767);
    EXPECT_EQ(s.messages.shown.size(), 1u);
    EXPECT_EQ(s.controller.resets, 1);
}

TEST_F(EventBoundaryTest, EveryKindOfFailureIsCaught) {
    const std::function<void()> handlers[] = {
        [] { throw OverflowError("16-bit overflow"); },
        [] { throw std::invalid_argument("not a decimal digit"); },
        [] { throw 42; },
    };
    for (const auto& h : handlers) EXPECT_EQ(boundary.run("a menu", h), EventOutcome::Failed);
    ASSERT_EQ(s.messages.shown.size(), 3u);
    EXPECT_EQ(s.messages.shown[2], EventBoundary::failureText("a menu", "unknown error"));
    EXPECT_EQ(s.controller.resets, 3);
}

TEST_F(EventBoundaryTest, AFailingResetDoesNotEscape) {
    s.controller.onReset = [] { throw std::runtime_error("reset failed"); };
    EXPECT_EQ(boundary.run("a click", [] { throw std::runtime_error("x"); }), EventOutcome::Failed);
    EXPECT_EQ(s.messages.shown.size(), 1u);
}

// A heartbeat that arrives while a box is open (the box's nested loop) is skipped; other
// events still run, and the count is right again after the box.
TEST_F(EventBoundaryTest, HeartbeatsWaitWhileAMessageBoxIsOpen) {
    std::vector<EventOutcome> nested;
    int depthDuringBox = -1;
    s.messages.onShow = [&](const std::string&) {
        depthDuringBox = depth.depth();
        nested.push_back(tick());
        nested.push_back(boundary.run("a click", [] {}));
    };
    s.controller.onTask = [&] {
        if (s.controller.tasks == 1) ShowMessage(sink, "note");
    };
    EXPECT_EQ(tick(), EventOutcome::Completed);
    EXPECT_EQ(depthDuringBox, 1);
    EXPECT_EQ(nested, (std::vector<EventOutcome>{EventOutcome::Skipped, EventOutcome::Completed}));
    EXPECT_EQ(s.controller.tasks, 1);
    EXPECT_EQ(depth.depth(), 0);
    EXPECT_EQ(tick(), EventOutcome::Completed);
    EXPECT_EQ(s.controller.tasks, 2);
}

TEST_F(EventBoundaryTest, TheErrorBoxItselfCountsAsOpen) {
    int depthDuringBox = -1;
    s.messages.onShow = [&](const std::string&) { depthDuringBox = depth.depth(); };
    boundary.run("a key", [] { throw std::runtime_error("x"); });
    EXPECT_EQ(depthDuringBox, 1);
    EXPECT_EQ(depth.depth(), 0);
}

TEST_F(EventBoundaryTest, ABoxThatThrowsLeavesTheCountRight) {
    s.messages.onShow = [](const std::string&) { throw std::runtime_error("no display"); };
    EXPECT_THROW(sink.showMessage("x"), std::runtime_error);
    EXPECT_EQ(depth.depth(), 0);
    EXPECT_FALSE(depth.modal());
}

}  // namespace
}  // namespace kv7
