// The real window through a connection: which frame shows, where the focus goes and which
// controls may be used, with the radio simulated in virtual time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "app/program.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/support/window_support.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7 {
namespace {

using test::constIniPath;
using test::NullTimer;

class ConnectWindowTest : public ::testing::Test {
  protected:
    ConnectWindowTest()
        : radio(ticks, paced()),
          port(radio),
          program(port, ticks, messages, beeper, window, dir.path().toStdString(), constIniPath(),
                  &timer) {
        messages.setAutoAnswer(true);
        messages.setParent(&window);
        window.setLogic(&program.window());
        window.setEventBoundary(&program.boundary());
        window.setOnUnloaded([] {});
    }

    static sim::SimOptions paced() {
        sim::SimOptions o;
        o.pacing = true;  // the clone read takes its line time, so its state can be watched
        return o;
    }

    void SetUp() override {
        ASSERT_EQ(program.Main([] { return false; }), StartResult::Running);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // One heartbeat in virtual time; Qt gets to process what the logic changed.
    void tick() {
        ticks.advance(50);
        port.pump();
        program.heartbeat();
        QApplication::processEvents();
    }

    bool shown(int frame) const { return window.frameWidget(frame)->isVisible(); }
    bool enabled(int button) const { return window.buttonWidget(button)->isEnabled(); }

    QTemporaryDir dir;
    ManualTickSource ticks;
    sim::SimRadio radio;
    sim::SimSerialPort port;
    QtMessageBox messages;
    QtBeeper beeper;
    NullTimer timer;
    QtMainWindow window;
    Program program;
};

TEST_F(ConnectWindowTest, FramesFocusAndButtonsFollowTheConnection) {
    tick();
    // Idle: the title frame, only "Connect" and the TCXO box usable.
    EXPECT_TRUE(shown(0));
    EXPECT_FALSE(shown(1));
    EXPECT_FALSE(shown(3));
    EXPECT_TRUE(enabled(0));
    EXPECT_FALSE(enabled(1));
    EXPECT_FALSE(enabled(2));
    EXPECT_TRUE(window.checkWidget()->isEnabled());

    QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
    bool sawCloneRead = false;
    for (int i = 0; i < 1000 && program.controller().opStep() <= OperationStep::CloneRead; ++i) {
        tick();
        if (program.controller().opStep() == OperationStep::CloneRead &&
            program.sequencer().OpRunning()) {
            sawCloneRead = true;
            // During the clone read the title frame stays and TCXO cannot be changed.
            EXPECT_TRUE(shown(0));
            EXPECT_FALSE(window.checkWidget()->isEnabled());
        }
    }
    ASSERT_TRUE(sawCloneRead);
    ASSERT_GT(program.controller().opStep(), OperationStep::CloneRead);
    tick();

    // Connected: the console frame replaces the title frame and has the focus.
    EXPECT_FALSE(shown(0));
    EXPECT_TRUE(shown(1));
    EXPECT_FALSE(shown(3));
    EXPECT_TRUE(window.consoleWidget()->hasFocus());
    EXPECT_TRUE(enabled(0));
    EXPECT_TRUE(enabled(1));
    EXPECT_TRUE(enabled(2));
    EXPECT_TRUE(window.checkWidget()->isEnabled());
    EXPECT_GE(window.consoleWidget()->count(), 12);

    // The parameter display: its own frame, "Connect" and "Reload(F5)" out of use.
    QTest::mouseClick(window.buttonWidget(2), Qt::LeftButton);
    for (int i = 0; i < 400 && program.controller().opStep() != OperationStep::DispPara; ++i)
        tick();
    ASSERT_EQ(program.controller().opStep(), OperationStep::DispPara);
    tick();
    EXPECT_TRUE(shown(3));
    EXPECT_FALSE(shown(1));
    EXPECT_FALSE(enabled(0));
    EXPECT_FALSE(enabled(1));
    EXPECT_TRUE(enabled(2));
    EXPECT_TRUE(messages.shown().empty());
}

}  // namespace
}  // namespace kv7
