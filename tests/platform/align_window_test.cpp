// The alignment on the real window, with the radio keyed and the test set measuring it in the
// same process, in virtual time: the Align menu follows the radio and the test set, and Esc, the
// close box and File > Exit during a run put the item back on the line before anything else.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
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
#include "platform/qt/beside_placement.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/qt_align_escape.h"
#include "platform/qt/qt_align_menu.h"
#include "platform/qt/qt_align_view.h"
#include "platform/qt/qt_image_menus.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/run_in_readings.h"
#include "platform/qt/service_report_actions.h"
#include "platform/qt/test_set_dialog.h"
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

// The readings window comes up beside the main window: on a side with room, else where it hides
// none of the buttons, and always whole on the screen.
TEST(ReadingsWindow, ItIsPlacedBesideTheMainWindowNeverOverItsButtons) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(472, 320);
    const struct {
        const char* name;
        QRect main;
        QPoint at;
    } rows[] = {
        {"room on the right", QRect(100, 70, 635, 567), QPoint(743, 70)},
        {"room on the left only", QRect(620, 70, 635, 567), QPoint(140, 70)},
        {"room below only", QRect(323, 0, 635, 470), QPoint(323, 478)},
        {"no room: below, over the console", QRect(323, 70, 635, 567), QPoint(323, 480)},
        {"larger than the screen's bottom", QRect(0, 600, 635, 567), QPoint(643, 480)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QRect buttons(row.main.left(), row.main.top(), row.main.width(), 60);
        const QPoint at = placeBeside(row.main, buttons, size, screen);
        EXPECT_EQ(at, row.at);
        EXPECT_TRUE(screen.contains(QRect(at, size)));
        EXPECT_FALSE(QRect(at, size).intersects(buttons));
    }
}

// The test-set dialog's buttons follow the connection, and only an address that reached the test
// set replaces the one kept in the settings file.
TEST(ReadingsWindow, TestSetDialogFollowsTheConnectionAndKeepsOnlyAGoodAddress) {
    AlignWindowRig rig;
    ASSERT_TRUE(rig.start());
    TestSetDialog dialog{rig.window, rig.program, rig.testSetWindow};
    dialog.present();
    const auto stored = [&] {
        QFile f(QString::fromStdString(rig.program.link().profMain().FullPath()));
        if (!f.open(QIODevice::ReadOnly)) return std::string();
        for (const QByteArray& l : f.readAll().split('\n')) {
            if (l.startsWith("Address=")) return l.mid(8).trimmed().toStdString();
        }
        return std::string();
    };
    const auto state = [&] { return rig.program.testSet().testSet().state(); };
    const struct {
        const char* name;
        std::function<void()> act;
        TestSet::State until;
        bool connectEnabled;
        std::string kept;
    } rows[] = {
        {"at first", [] {}, TestSet::State::Disconnected, true, ""},
        {"a good address",
         [&] {
             dialog.addressEdit()->setText(QStringLiteral("127.0.0.1:5025"));
             dialog.connectTestSet();
             // Still connecting: Disconnect stops it, nothing is kept yet.
             EXPECT_NE(state(), TestSet::State::Ready);
             EXPECT_FALSE(dialog.connectButton()->isEnabled());
             EXPECT_TRUE(dialog.disconnectButton()->isEnabled());
             EXPECT_EQ(stored(), "");
         },
         TestSet::State::Ready, false, "127.0.0.1:5025"},
        {"disconnected", [&] { dialog.disconnectTestSet(); }, TestSet::State::Disconnected, true,
         "127.0.0.1:5025"},
        {"an address that fails",
         [&] {
             rig.links.setRefuse(true);
             dialog.addressEdit()->setText(QStringLiteral("192.0.2.7"));
             dialog.connectTestSet();
         },
         TestSet::State::Failed, true, "127.0.0.1:5025"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.act();
        ASSERT_TRUE(rig.runUntil([&] { return state() == row.until; }, 5000));
        dialog.refresh();
        EXPECT_EQ(dialog.connectButton()->isEnabled(), row.connectEnabled);
        EXPECT_EQ(dialog.disconnectButton()->isEnabled(), !row.connectEnabled);
        EXPECT_EQ(stored(), row.kept);
    }
    // Opened again, the dialog offers the last good address.
    dialog.hide();
    dialog.present();
    EXPECT_EQ(dialog.addressEdit()->text(), QStringLiteral("127.0.0.1:5025"));
}

// Every grey File entry says why in its tooltip; writing an image waits for a connected radio.
TEST(ReadingsWindow, GreyFileEntriesSayWhy) {
    AlignWindowRig rig;
    ServiceReportActions reports{rig.window, rig.program, rig.unopenedPort};
    rig.imageMenus.setRadioConnected(
        [&] { return rig.program.controller().RigKV7Prop_EditEnabled(); });
    ASSERT_TRUE(rig.start());
    const struct {
        const char* name;
        std::function<bool()> step;
        std::vector<QAction*> grey;
        const char* writeWhy;  // the tooltip of "Write image to radio…"
    } rows[] = {
        {"before Connect",
         [] { return true; },
         {rig.imageMenus.saveAsReadAction(), rig.imageMenus.saveCurrentAction(),
          rig.imageMenus.writeAction(), reports.reportAction(), reports.sweepDataAction(),
          reports.alignmentDataAction()},
         "Connect the radio first"},
        {"connected", [&] { return rig.connectRadio(); }, {}, ""},
        {"the radio let go",
         [&] {
             rig.program.event("test", [&] { rig.program.controller().RigOpFunc_ResetAll(); });
             return !rig.program.controller().RigKV7Prop_EditEnabled();
         },
         {rig.imageMenus.writeAction()},
         "Connect the radio first"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.step());
        Q_EMIT rig.window.fileMenu()->aboutToShow();
        for (QAction* a : rig.window.fileMenu()->actions()) {
            if (a->isSeparator()) continue;
            SCOPED_TRACE(a->text().toStdString());
            const bool grey = std::find(row.grey.begin(), row.grey.end(), a) != row.grey.end();
            EXPECT_EQ(a->isEnabled(), !grey);
            EXPECT_EQ(a->toolTip().isEmpty() || a->toolTip() == a->text().remove(QLatin1Char('&')),
                      !grey)
                << a->toolTip().toStdString();
        }
        EXPECT_TRUE(
            rig.imageMenus.writeAction()->toolTip().startsWith(QString::fromLatin1(row.writeWhy)));
    }
}

// During a run the readings window shows the run's own reading and where it stands; after it,
// the result lines stay in view (the box closed with Esc), with the information icon's box
// when every point passed.
TEST(ReadingsWindow, ShowsTheRunAndKeepsItsResultsUntilTheNext) {
    AlignWindowRig rig;
    showRunInReadings(rig.program.align().run(), rig.view, rig.testSetWindow, rig.messages);
    ASSERT_TRUE(rig.start() && rig.connectRadio() && rig.connectTestSet());
    EXPECT_EQ(rig.testSetWindow.windowTitle(), QStringLiteral("Test set readings"));
    EXPECT_TRUE(rig.testSetWindow.isVisible());
    const auto line = [&](const std::string& start) {
        for (const std::string& l : rig.testSetWindow.lines()) {
            if (l.rfind(start, 0) == 0) return l;
        }
        return std::string();
    };

    const int16_t before = rig.program.console().Value(kLinePowerHi);
    rig.openMenu();
    rig.menu.pointAction(AlignPoint::PowerHi)->trigger();
    ASSERT_TRUE(rig.runUntil([&] { return rig.powerHiOnRadio() != before; }, 20000));
    // Only the run's quantity shows; the monitor rests, so the others have no fresh figure.
    EXPECT_EQ(line("frequency: "), "frequency: \u2014");
    EXPECT_EQ(line("deviation: "), "deviation: \u2014");
    EXPECT_EQ(line("alignment point: ").rfind("alignment point: Power(Hi)", 0), 0u);
    const std::string reading = line("alignment reading: ").substr(19);
    if (reading != "\u2014") {
        EXPECT_EQ(line("power: ").substr(7, reading.size()), reading);
    }

    ASSERT_TRUE(rig.runUntil([&] { return !rig.program.align().run().running(); }, 30000));
    rig.tick();
    EXPECT_EQ(line("alignment "), "");
    const std::string last = line("last alignment: ");
    EXPECT_EQ(last.rfind("last alignment: Power(Hi): PASS", 0), 0u) << last;
    ASSERT_FALSE(rig.messages.shown().empty());
    EXPECT_TRUE(runAllPassed(rig.program.align().run(), rig.messages.shown().back()));
    EXPECT_FALSE(runAllPassed(rig.program.align().run(), "Connect the radio first."));

    // The next run clears them.
    rig.openMenu();
    rig.menu.pointAction(AlignPoint::Mod)->trigger();
    EXPECT_TRUE(rig.runUntil([&] { return !line("alignment point: ").empty(); }, 5000));
    EXPECT_EQ(line("last alignment: "), "");
    EXPECT_EQ(line("alignment point: ").rfind("alignment point: MOD", 0), 0u);
    // Nothing of the point before: MOD measures deviation, and has read none yet.
    EXPECT_EQ(line("power: "), "power: \u2014");
    QTest::keyClick(rig.window.windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(rig.runUntil([&] { return !rig.program.align().run().running(); }, 10000));
}

}  // namespace
}  // namespace kv7
