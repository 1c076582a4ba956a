// The alignment on the real window, with the radio keyed and the test set measuring it in the
// same process, in virtual time: the Align menu follows the radio and the test set, and Esc, the
// close box and File > Exit during a run put the item back on the line before anything else.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/qt_align_escape.h"
#include "platform/qt/qt_align_menu.h"
#include "platform/qt/qt_align_view.h"
#include "platform/qt/qt_image_menus.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/test_set_window.h"
#include "platform/support/window_support.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"
#include "sim/sim_test_set_link.h"
#include "sim/sim_transmitter.h"

namespace kv7 {
namespace {

constexpr int16_t kLinePowerHi = 1;
constexpr uint8_t kCmdPowerHi = 5;

// Const.ini and the sample Align.ini side by side, as the program finds them.
std::string prepareDir(const QTemporaryDir& dir) {
    namespace fs = std::filesystem;
    const fs::path data = fs::path(test::constIniPath()).parent_path();
    const fs::path to(dir.path().toStdString());
    fs::copy_file(data / "Const.ini", to / "Const.ini", fs::copy_options::overwrite_existing);
    fs::copy_file(data / "Align.ini", to / "Align.ini", fs::copy_options::overwrite_existing);
    return (to / "Const.ini").string();
}

sim::SimOptions keyed() {
    sim::SimOptions o;
    o.ptt = true;  // the technician keeps the transmitter keyed
    return o;
}

// The program on the real window with the Qt side of the alignment wired as the program wires
// it, and a heartbeat that runs in virtual time.
struct AlignWindowRig {
    AlignWindowRig()
        : radio(ticks, keyed()),
          port(radio),
          program(port, ticks, messages, beeper, window, dir.path().toStdString(), constFile,
                  &timer) {
        messages.setAutoAnswer(true);
        messages.setParent(&window);
        window.setLogic(&program.window());
        window.setEventBoundary(&program.boundary());
        window.setOnUnloaded([this] { ++unloads; });
        window.setReadyToClose([this] { return program.readyToClose(); });
        view.setAutoAnswer(true);
        view.setObserver([this](const std::string& q) { questions.push_back(q); });
        program.align().run().setView(&view);
        escape.watch(&window);
        program.testSet().setLinkFactory(&links);
        program.testSet().setView(&testSetWindow);
        view.setOnProgress([this](const AlignProgress& p) { testSetWindow.showAlignProgress(p); });
        view.setOnEnded([this] { testSetWindow.endAlignProgress(); });
    }
    ~AlignWindowRig() {
        program.align().run().setView(nullptr);
        program.testSet().setView(nullptr);
    }

    bool start() {
        if (program.Main([] { return false; }) != StartResult::Running) return false;
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }

    // 50 ms: the radio's and the test set's bytes as they come due, then the heartbeat.
    void tick() {
        for (int i = 0; i < 5; ++i) {
            ticks.advance(10);
            port.pump();
            links.pump();
        }
        if (timer.enabled()) program.heartbeat();
        window.retryClose();
        QApplication::processEvents();
    }
    bool runUntil(const std::function<bool()>& done, int ms) {
        for (int t = 0; t < ms && !done(); t += 50) tick();
        return done();
    }

    bool connectRadio() {
        QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
        return runUntil(
            [this] {
                if (!program.controller().RigKV7Prop_EditEnabled() ||
                    program.sequencer().OpRunning())
                    return false;
                for (int16_t i = 0; i < program.console().ListCount(); ++i) {
                    if (program.console().flgChanged(i)) return false;
                }
                return true;
            },
            40000);
    }
    bool connectTestSet() {
        program.testSet().connect("127.0.0.1", "");
        return runUntil(
            [this] { return program.testSet().testSet().state() == TestSet::State::Ready; }, 5000);
    }

    // The last Power(Hi) value the radio took; -1 before any.
    int powerHiOnRadio() const {
        int v = -1;
        for (const sim::AdjustCommand& c : radio.adjustLog()) {
            if (c.number == kCmdPowerHi) v = c.value;
        }
        return v;
    }
    // The menu as the technician opens it.
    void openMenu() { Q_EMIT menu.menu()->aboutToShow(); }
    void writeAlignIni(const std::string& text) {
        std::ofstream(std::filesystem::path(constFile).parent_path() / "Align.ini") << text;
        program.event("reading Align.ini", [this] { program.align().load(); });
    }

    QTemporaryDir dir;
    std::string constFile = prepareDir(dir);
    ManualTickSource ticks{1000};
    sim::SimRadio radio;
    sim::SimSerialPort port;
    sim::SimTransmitter transmitter{radio, ticks};
    sim::SimTestSetLinks links{ticks, [this] { return transmitter.emission(); }};
    QtMessageBox messages;
    QtBeeper beeper;
    test::NullTimer timer;
    QtMainWindow window;
    Program program;
    QtAlignView view{program, &window};
    QtAlignMenu menu{window, program};
    QtAlignEscape escape{program};
    QtImageMenus imageMenus{window, program.imageBackup(), program.boundary()};
    QtSerialPort unopenedPort;  // only names the devices of the ports
    PortDeviceChooser devices{window, program, unopenedPort};
    TestSetWindow testSetWindow{&window};
    std::vector<std::string> questions;
    int unloads = 0;
};

TEST(AlignWindow, TheMenuIsUsableOnlyWithRadioAndTestSetAndNoRun) {
    AlignWindowRig rig;
    ASSERT_TRUE(rig.start());
    const QList<QAction*> bar = rig.window.menuBar()->actions();
    const qsizetype option = bar.indexOf(rig.window.optionMenu()->menuAction());
    ASSERT_GE(option, 0);
    ASSERT_LT(option + 1, bar.size());
    EXPECT_EQ(bar[option + 1], rig.menu.menu()->menuAction());

    // A refused file shows its fault instead of the points; none at all, where it is looked for.
    rig.writeAlignIni("[Power(Hi)]\nTarget=lots\n");
    rig.openMenu();
    EXPECT_TRUE(rig.menu.noticeAction()->isVisible());
    EXPECT_FALSE(rig.menu.noticeAction()->isEnabled());
    EXPECT_TRUE(rig.menu.noticeAction()->text().contains(QStringLiteral("Align.ini line 2")))
        << rig.menu.noticeAction()->text().toStdString();
    EXPECT_FALSE(rig.menu.pointAction(AlignPoint::PowerHi)->isVisible());
    EXPECT_FALSE(rig.menu.allAction()->isVisible());
    std::filesystem::remove(std::filesystem::path(rig.constFile).parent_path() / "Align.ini");
    rig.program.event("reading Align.ini", [&] { rig.program.align().load(); });
    rig.openMenu();
    EXPECT_TRUE(rig.menu.noticeAction()->text().startsWith(QStringLiteral("Nothing to align")));
    rig.writeAlignIni("[Power(Hi)]\nTarget=5.0\nTolerance=0.1\n[MOD]\nTarget=3.0\nTolerance=0.1\n");

    const struct {
        const char* name;
        std::function<bool(AlignWindowRig&)> step;
        bool enabled;
        const char* why;
    } rows[] = {
        {"before Connect", [](AlignWindowRig&) { return true; }, false,
         "Connect the radio first: alignment needs the console."},
        {"radio connected", [](AlignWindowRig& r) { return r.connectRadio(); }, false,
         "Connect the test set first (Option > Test set...): "},
        {"test set ready", [](AlignWindowRig& r) { return r.connectTestSet(); }, true, ""},
        {"during a run",
         [](AlignWindowRig& r) {
             r.menu.pointAction(AlignPoint::Mod)->trigger();
             r.tick();
             return r.program.align().run().running();
         },
         false, "An alignment is running: Esc cancels it."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.step(rig));
        rig.openMenu();
        EXPECT_FALSE(rig.menu.noticeAction()->isVisible());
        for (AlignPoint p : kAlignPoints) {
            QAction* a = rig.menu.pointAction(p);
            const bool offered = p == AlignPoint::PowerHi || p == AlignPoint::Mod;
            EXPECT_EQ(a->isVisible(), offered) << AlignPointName(p);
            if (!offered) continue;
            EXPECT_EQ(a->isEnabled(), row.enabled) << AlignPointName(p);
            EXPECT_EQ(a->statusTip().left(static_cast<qsizetype>(std::strlen(row.why))),
                      QString::fromLatin1(row.why));
            EXPECT_EQ(a->statusTip().isEmpty(), row.enabled);
        }
        EXPECT_EQ(rig.menu.allAction()->isEnabled(), row.enabled);
    }
    ASSERT_EQ(rig.questions.size(), 1u);
    EXPECT_EQ(rig.questions[0].rfind("Key the transmitter (PTT) and keep it keyed.\n\nMOD: ", 0),
              0u)
        << rig.questions[0];
}

TEST(AlignWindow, EscAndClosingDuringARunPutThePowerBackOnTheLineFirst) {
    const struct {
        const char* name;
        std::function<void(AlignWindowRig&)> act;
        bool closes;
    } rows[] = {
        {"Esc", [](AlignWindowRig& r) { QTest::keyClick(r.window.windowHandle(), Qt::Key_Escape); },
         false},
        {"close box", [](AlignWindowRig& r) { r.window.close(); }, true},
        {"File > Exit", [](AlignWindowRig& r) { r.window.exitAction()->trigger(); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AlignWindowRig rig;
        ASSERT_TRUE(rig.start());
        ASSERT_TRUE(rig.connectRadio());
        ASSERT_TRUE(rig.connectTestSet());
        const int16_t before = rig.program.console().Value(kLinePowerHi);
        ASSERT_EQ(rig.powerHiOnRadio(), before);

        rig.openMenu();
        rig.menu.pointAction(AlignPoint::PowerHi)->trigger();
        // The search has stepped the power on the radio.
        ASSERT_TRUE(rig.runUntil([&] { return rig.powerHiOnRadio() != before; }, 20000));
        row.act(rig);
        EXPECT_FALSE(rig.window.unloaded()) << "the value must go back first";
        EXPECT_TRUE(rig.runUntil(
            [&] { return !rig.program.align().run().running() && (!row.closes || rig.unloads); },
            10000));

        EXPECT_EQ(rig.powerHiOnRadio(), before);
        EXPECT_EQ(rig.program.console().Value(kLinePowerHi), before);
        EXPECT_EQ(rig.radio.malformedFrames(), 0);
        const std::vector<AlignmentRecord>& results = rig.program.align().run().results();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].passed);
        EXPECT_EQ(results[0].outcome, "cancelled by the technician");
        ASSERT_FALSE(rig.messages.shown().empty());
        EXPECT_EQ(rig.messages.shown().back(),
                  "Alignment against the test set:\nPower(Hi): CANCELLED by the technician. "
                  "The value is back at " +
                      std::to_string(before) + ".");
        EXPECT_EQ(rig.unloads, row.closes ? 1 : 0);
        EXPECT_EQ(rig.program.window().linkClosed(), row.closes);
        if (row.closes) continue;

        // Without a run, Esc is the window's again: it leaves the parameter display.
        QTest::mouseClick(rig.window.buttonWidget(2), Qt::LeftButton);
        ASSERT_TRUE(
            rig.runUntil([&] { return rig.program.controller().RigKV7Prop_DispPara(); }, 10000));
        QTest::keyClick(rig.window.windowHandle(), Qt::Key_Escape);
        EXPECT_TRUE(
            rig.runUntil([&] { return !rig.program.controller().RigKV7Prop_DispPara(); }, 10000));
    }
}

// What the technician's inputs could change: every console value, the TCXO box and its setting,
// the port, the parameter display, an operation or an image write under way.
std::vector<int> inputState(AlignWindowRig& r) {
    std::vector<int> s;
    for (int16_t i = 0; i < r.program.console().ListCount(); ++i)
        s.push_back(r.program.console().Value(i));
    s.push_back(r.window.checkWidget()->isChecked());
    s.push_back(r.program.window().TCXOSet());
    s.push_back(r.program.window().ComPortNo());
    s.push_back(r.window.portAction(2)->isChecked());
    s.push_back(r.program.controller().RigKV7Prop_DispPara());
    s.push_back(r.program.sequencer().OpRunning());
    s.push_back(r.program.imageBackup().writing());
    return s;
}

// The port label's tooltip as it shows on hovering.
std::string portTip(AlignWindowRig& r) {
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
    QApplication::sendEvent(r.window.comBusyWidget(), &tip);
    return r.window.comBusyWidget()->toolTip().toStdString();
}

// During a run every key, button and menu item that would change the radio or the console only
// beeps, and the windows say how to stop the run; the run then goes on to the same end, frame
// for frame on the radio's line, as a run nobody touched.
TEST(AlignWindow, InputsDuringARunOnlyBeepAndTheRunEndsAsUntouched) {
    const auto consoleKey = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        return [key, mods](AlignWindowRig& r) {
            r.window.consoleWidget()->setFocus();
            r.window.consoleWidget()->setCurrentRow(kLinePowerHi);
            QTest::keyClick(r.window.windowHandle(), key, mods);
        };
    };
    const auto button = [](int i) {
        return
            [i](AlignWindowRig& r) { QTest::mouseClick(r.window.buttonWidget(i), Qt::LeftButton); };
    };
    const struct {
        const char* name;
        std::function<void(AlignWindowRig&)> press;
    } inputs[] = {
        {"Left", consoleKey(Qt::Key_Left)},
        {"Shift+Right", consoleKey(Qt::Key_Right, Qt::ShiftModifier)},
        {"Enter", consoleKey(Qt::Key_Return)},
        {"F5", [](AlignWindowRig& r) { QTest::keyClick(r.window.windowHandle(), Qt::Key_F5); }},
        {"Connect", button(0)},
        {"Reload", button(1)},
        {"Disp para", button(2)},
        {"TCXO box", [](AlignWindowRig& r) { r.window.checkWidget()->click(); }},
        {"Option > Port > COM 2", [](AlignWindowRig& r) { r.window.portAction(2)->trigger(); }},
        {"Option > Port > Device...",
         [](AlignWindowRig& r) { r.window.deviceAction()->trigger(); }},
        {"File > Write image to radio...",
         [](AlignWindowRig& r) {
             Q_EMIT r.window.fileMenu()->aboutToShow();
             r.imageMenus.writeAction()->trigger();
         }},
    };

    struct Outcome {
        std::vector<ByteString> frames;
        std::string message;
        std::vector<int> state;
    };
    const auto align = [&](bool touch) {
        AlignWindowRig rig;
        Outcome out;
        EXPECT_TRUE(rig.start() && rig.connectRadio() && rig.connectTestSet());
        const int16_t before = rig.program.console().Value(kLinePowerHi);
        rig.openMenu();
        rig.menu.pointAction(AlignPoint::PowerHi)->trigger();
        EXPECT_TRUE(rig.runUntil([&] { return rig.powerHiOnRadio() != before; }, 20000));
        if (touch) {
            EXPECT_EQ(rig.testSetWindow.lines().front(), "status: Aligning: Esc stops the run");
            EXPECT_EQ(portTip(rig).rfind("Aligning: Esc stops the run\nCOM 1 uses ", 0), 0u);
            const std::vector<int> state = inputState(rig);
            for (const auto& input : inputs) {
                SCOPED_TRACE(input.name);
                const int beeps = rig.beeper.count();
                // A dialog that opened anyway is closed, so the test fails instead of waiting.
                QTimer::singleShot(0, [] {
                    if (QWidget* w = QApplication::activeModalWidget()) w->close();
                });
                input.press(rig);
                QApplication::processEvents();
                EXPECT_EQ(rig.beeper.count(), beeps + 1);
                EXPECT_EQ(inputState(rig), state);
                EXPECT_TRUE(rig.program.align().run().running());
            }
        }
        EXPECT_TRUE(rig.runUntil([&] { return !rig.program.align().run().running(); }, 30000));
        out.frames = rig.radio.requests();
        out.message = rig.messages.shown().empty() ? "" : rig.messages.shown().back();
        out.state = inputState(rig);
        EXPECT_EQ(rig.radio.malformedFrames(), 0);
        if (touch) {
            EXPECT_EQ(rig.testSetWindow.lines().front().find("Aligning"), std::string::npos);
            EXPECT_EQ(portTip(rig).rfind("COM 1 uses ", 0), 0u);
            // With the run over the inputs are the technician's again.
            const int beeps = rig.beeper.count();
            rig.window.checkWidget()->click();
            EXPECT_TRUE(rig.program.window().TCXOSet());
            EXPECT_EQ(rig.beeper.count(), beeps);
        }
        return out;
    };
    const Outcome untouched = align(false);
    const Outcome touched = align(true);
    EXPECT_EQ(touched.message.rfind("Alignment against the test set:\nPower(Hi): PASS", 0), 0u)
        << touched.message;
    EXPECT_EQ(touched.message, untouched.message);
    EXPECT_EQ(touched.state, untouched.state);
    EXPECT_EQ(touched.frames, untouched.frames);
}

}  // namespace
}  // namespace kv7
