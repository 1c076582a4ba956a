#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "app/program.h"
#include "platform/qt/qt_help_menu.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/status_line_label.h"
#include "platform/support/window_support.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7 {
namespace {

using test::constIniPath;
using test::NullTimer;

template <typename Pred>
bool waitUntil(Pred pred, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QTest::qWait(5);
    }
    return true;
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
  public:
    explicit KeyCounter(QWidget* w) : w_(w) { w->installEventFilter(this); }
    ~KeyCounter() override { w_->removeEventFilter(this); }
    int presses = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) ++presses;
        return false;
    }

  private:
    QWidget* w_;
};

// The real controller with every button index and TCXO value the window's logic passes on.
class RecordingController : public OperationController {
  public:
    explicit RecordingController(OperationController& inner) : inner_(inner) {}
    void RigOpFunc_ResetAll() override { inner_.RigOpFunc_ResetAll(); }
    bool RigKV7Prop_ReadParametersFromExtFile() override {
        return inner_.RigKV7Prop_ReadParametersFromExtFile();
    }
    void RigOpFunc_FormResource() override { inner_.RigOpFunc_FormResource(); }
    void RigOpFunc_FormLayout() override { inner_.RigOpFunc_FormLayout(); }
    void RigOpFunc_SetComPortNo(int16_t n) override { inner_.RigOpFunc_SetComPortNo(n); }
    void RigOpFunc_SetTCXO(bool bo) override {
        tcxo.push_back(bo);
        inner_.RigOpFunc_SetTCXO(bo);
    }
    void RigOpFunc_ClickCmd00(int16_t index) override {
        clicks.push_back(index);
        if (failClicks) throw std::out_of_range("test fault");
        inner_.RigOpFunc_ClickCmd00(index);
    }
    void task() override { inner_.task(); }
    ConnectionState connectionState() const override { return inner_.connectionState(); }
    bool atRest() const override { return inner_.atRest(); }

    std::vector<int16_t> clicks;
    std::vector<bool> tcxo;
    bool failClicks = false;

  private:
    OperationController& inner_;
};

// A whole program on the real window, with the radio simulated in virtual time.
class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest()
        : radio(ticks),
          port(radio),
          program(port, ticks, messages, beeper, window, dir.path().toStdString(), constIniPath(),
                  &timer),
          recorder(program.controller()) {
        messages.setAutoAnswer(true);
        messages.setParent(&window);
        window.setLogic(&program.window());
        window.setEventBoundary(&program.boundary());
        window.setOnUnloaded([this] { ++unloads; });
        program.window().setController(&recorder);
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(program.Main([] { return false; }), StartResult::Running);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        recorder.clicks.clear();
        recorder.tcxo.clear();
    }

    // A key as the technician types it: to the window, which hands it to the focused control.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window.windowHandle(), key, mods);
    }

    QString settingsText() const {
        QFile f(dir.filePath(QStringLiteral("SWKV7ADJ.rs")));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(f.readAll());
    }

    // Two console lines with values 50 and 7, the list wired as the controller wires it.
    void twoTestItems() {
        program.controller().RigOpFunc_ResetAll();
        window.fra01(1).setVisible(true);
        clsConsole& c = program.console();
        c.Clear();
        for (int i = 0; i < 2; ++i) {
            c.AddItem();
            c.setTitle(static_cast<int16_t>(i), i == 0 ? "FIRST" : "SECOND");
            c.setMax(static_cast<int16_t>(i), 100);
            c.setValue(static_cast<int16_t>(i), static_cast<int16_t>(i == 0 ? 50 : 7));
            c.setFlgChanged(static_cast<int16_t>(i), false);
        }
    }

    QTemporaryDir dir;
    ManualTickSource ticks;
    sim::SimRadio radio;
    sim::SimSerialPort port;
    QtMessageBox messages;
    QtBeeper beeper;
    NullTimer timer;
    QtMainWindow window;
    Program program;
    RecordingController recorder;
    int unloads = 0;
};

TEST_F(MainWindowTest, LoadGivesCaptionsListsAndNesting) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("SW-KV7 ADJ Rev.2.0"));
    const char* captions[] = {"Connect", "Reload(F5)", "Disp para"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(window.buttonWidget(i)->text(), captions[i]);
    EXPECT_EQ(window.checkWidget()->text(), QStringLiteral("TCXO"));
    const QStringList lines = window.titleWidget()->text().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("SW-KV7 ADJ Rev.2.0"));
    EXPECT_EQ(lines[1], QStringLiteral("Adjust Utility for QT-KV7"));
    EXPECT_EQ(window.progressWidget()->text(), QString(32, ' '));

    struct Monitor {
        int index;
        const char* head;
        int placeholders;
    };
    for (const Monitor& m : {Monitor{0, "[A/D]", 6}, Monitor{1, "[D/A]", 8}}) {
        QListWidget* list = window.monitorWidget(m.index);
        ASSERT_EQ(list->count(), 1 + m.placeholders) << m.head;
        EXPECT_EQ(list->item(0)->text(), m.head);
        for (int r = 1; r < list->count(); ++r) EXPECT_EQ(list->item(r)->text(), "----");
        EXPECT_EQ(list->parentWidget(), window.frameWidget(2));
    }
    EXPECT_EQ(window.frameWidget(2)->parentWidget(), window.frameWidget(1));
    EXPECT_EQ(window.frameWidget(2)->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(window.consoleWidget()->parentWidget(), window.frameWidget(1));
    EXPECT_EQ(window.titleWidget()->parentWidget(), window.frameWidget(0));
    EXPECT_EQ(window.progressWidget()->parentWidget(), window.frameWidget(0));
    EXPECT_EQ(window.dispParaWidget()->parentWidget(), window.frameWidget(3));
    EXPECT_TRUE(window.dispParaWidget()->isReadOnly());
}

TEST_F(MainWindowTest, FontsKeepTheConsoleColumnsAligned) {
    EXPECT_TRUE(QFontInfo(window.consoleWidget()->font()).fixedPitch());
    EXPECT_DOUBLE_EQ(window.consoleWidget()->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(window.monitorWidget(0)->font().pointSizeF(), 8.25);
    EXPECT_DOUBLE_EQ(window.titleWidget()->font().pointSizeF(), 9.75);
    EXPECT_TRUE(window.progressWidget()->font().bold());
    EXPECT_TRUE(QFontInfo(window.progressWidget()->font()).fixedPitch());
    const QFont busy = window.comBusyWidget()->font();
    EXPECT_TRUE(busy.bold());
    EXPECT_DOUBLE_EQ(busy.pointSizeF(), 9.75);
    EXPECT_EQ(busy.family(), QApplication::font().family());
    // The menus keep the system's font.
    EXPECT_EQ(window.menuBar()->font().family(), QApplication::font().family());
}

TEST_F(MainWindowTest, MenusHaveAccessKeysNoShortcutsAndCheckOnlyFromTheTask) {
    const QList<QAction*> top = window.menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Option"));
    EXPECT_EQ(window.exitAction()->text(), QStringLiteral("E&xit"));
    std::vector<QAction*> items{window.exitAction()};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(window.portAction(i)->text(), QStringLiteral("COM &%1").arg(i));
        items.push_back(window.portAction(i));
    }
    EXPECT_EQ(window.releaseAction(0)->text(), QStringLiteral("&OFF"));
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(window.releaseAction(i)->text(), QStringLiteral("&%1 sec").arg(i));
        items.push_back(window.releaseAction(i));
    }
    for (QAction* a : items) EXPECT_TRUE(a->shortcuts().isEmpty()) << a->text().toStdString();

    window.portAction(3)->trigger();
    window.releaseAction(2)->trigger();
    EXPECT_FALSE(window.portAction(3)->isChecked());  // the click itself leaves the marks
    EXPECT_FALSE(window.releaseAction(2)->isChecked());
    EXPECT_EQ(program.window().ComPortNo(), 3);
    EXPECT_EQ(program.sequencer().comHoldReload(), 2000);

    program.heartbeat();
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(window.portAction(i)->isChecked(), i == 3) << i;
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(window.releaseAction(i)->isChecked(), i == 2) << i;
    EXPECT_EQ(window.comBusyWidget()->text(), QStringLiteral("COM 3: CLOSE"));
    EXPECT_EQ(window.comBusyWidget()->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));

    window.releaseAction(0)->trigger();
    EXPECT_EQ(program.sequencer().comHoldReload(), 0);
}

TEST_F(MainWindowTest, ConsoleKeysStepTheSelectedLine) {
    twoTestItems();
    QListWidget* list = window.consoleWidget();
    clsConsole& c = program.console();
    window.lboConsole().setListIndex(0);
    list->setFocus();
    ASSERT_TRUE(waitUntil([&] { return list->hasFocus(); }));

    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int16_t line;  // selected line afterwards
        int16_t first;
        int16_t second;
    };
    const Step steps[] = {
        {Qt::Key_Right, Qt::ShiftModifier, 0, 55, 7},
        {Qt::Key_Right, Qt::NoModifier, 0, 56, 7},
        {Qt::Key_Left, Qt::ControlModifier, 0, 55, 7},  // Ctrl does not matter
        {Qt::Key_Left, Qt::ShiftModifier, 0, 50, 7},
        {Qt::Key_Down, Qt::NoModifier, 1, 50, 7},  // the list moves, no value changes
        {Qt::Key_Right, Qt::ShiftModifier, 1, 50, 12},
        {Qt::Key_Up, Qt::NoModifier, 0, 50, 12},
    };
    for (const Step& s : steps) {
        press(s.key, s.mods);
        EXPECT_EQ(window.lboConsole().ListIndex(), s.line) << s.key;
        EXPECT_EQ(c.Value(0), s.first) << s.key;
        EXPECT_EQ(c.Value(1), s.second) << s.key;
    }
    EXPECT_TRUE(list->item(0)->text().contains(QStringLiteral("FIRST")))
        << list->item(0)->text().toStdString();
    EXPECT_TRUE(list->item(1)->text().contains(QStringLiteral("12")));

    // Enter and the keypad separator push Enter on the selected line; the keypad decimal key
    // does not, also where the layout gives it a comma (told by the key itself).
    struct EnterKey {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        quint32 scanCode;    // the keypad decimal key's, on X11/Wayland
        quint32 virtualKey;  // and on Windows
        bool pushesEnter;
    };
    const EnterKey enterKeys[] = {
        {"Enter", Qt::Key_Return, Qt::NoModifier, 0, 0, true},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 0, 0, true},
        {"keypad separator", Qt::Key_Comma, Qt::KeypadModifier, 0, 0, true},
        {"keypad decimal", Qt::Key_Period, Qt::KeypadModifier, 0, 0, false},
        {"keypad decimal as comma", Qt::Key_Comma, Qt::KeypadModifier, 91, 0x6E, false},
    };
    for (const EnterKey& k : enterKeys) {
        c.setFlgEnterOn(1, false);
        window.lboConsole().setListIndex(1);
        const QString text = k.key == Qt::Key_Period ? "." : k.key == Qt::Key_Comma ? "," : "\r";
        QKeyEvent down(QEvent::KeyPress, k.key, k.mods, k.scanCode, k.virtualKey, 0, text);
        QKeyEvent up(QEvent::KeyRelease, k.key, k.mods, k.scanCode, k.virtualKey, 0, text);
        QApplication::sendEvent(window.windowHandle(), &down);
        QApplication::sendEvent(window.windowHandle(), &up);
        EXPECT_EQ(c.flgEnterOn(1), k.pushesEnter) << k.name;
        EXPECT_EQ(c.Value(1), 12) << k.name;
    }
}

TEST_F(MainWindowTest, ConsoleGettingTheFocusSelectsTheFirstLine) {
    twoTestItems();
    window.lboConsole().setListIndex(-1);
    window.buttonWidget(0)->setFocus();
    ASSERT_TRUE(waitUntil([&] { return window.buttonWidget(0)->hasFocus(); }));
    EXPECT_EQ(window.lboConsole().ListIndex(), -1);
    window.consoleWidget()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return window.consoleWidget()->hasFocus(); }));
    EXPECT_EQ(window.lboConsole().ListIndex(), 0);
    EXPECT_TRUE(window.consoleWidget()->item(0)->isSelected());
}

TEST_F(MainWindowTest, F5AnywhereActsAsTheSecondButton) {
    window.fra01(1).setVisible(true);
    QWidget* targets[] = {window.consoleWidget(), window.checkWidget(), window.buttonWidget(0)};
    for (QWidget* w : targets) {
        recorder.clicks.clear();
        w->setFocus();
        ASSERT_TRUE(waitUntil([&] { return w->hasFocus(); })) << w->metaObject()->className();
        KeyCounter reached(w);
        press(Qt::Key_F5);
        EXPECT_EQ(recorder.clicks, std::vector<int16_t>{1}) << w->metaObject()->className();
        EXPECT_EQ(reached.presses, 1) << "the key goes on to the control";
    }
    // Other keys are not the window's.
    recorder.clicks.clear();
    press(Qt::Key_F6);
    EXPECT_TRUE(recorder.clicks.empty());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(MainWindowTest, EnterAndEscapePressTheDefaultAndCancelButton) {
    Button& dispPara = window.cmd00(2);
    dispPara.setEnabled(true);
    window.fra01(3).setVisible(true);
    QPlainTextEdit* text = window.dispParaWidget();
    text->setFocus();
    ASSERT_TRUE(waitUntil([&] { return text->hasFocus(); }));

    press(Qt::Key_Return);
    press(Qt::Key_Escape);
    EXPECT_TRUE(recorder.clicks.empty());  // neither is set yet

    dispPara.setDefault(true);
    press(Qt::Key_Return);
    EXPECT_EQ(recorder.clicks, std::vector<int16_t>{2});
    press(Qt::Key_Escape);
    EXPECT_EQ(recorder.clicks, std::vector<int16_t>{2});
    dispPara.setCancel(true);
    press(Qt::Key_Escape);
    EXPECT_EQ(recorder.clicks, (std::vector<int16_t>{2, 2}));
    dispPara.setEnabled(false);
    press(Qt::Key_Return);
    EXPECT_EQ(recorder.clicks, (std::vector<int16_t>{2, 2}));

    // Without a default button, Enter on a focused button clicks it.
    dispPara.setDefault(false);
    QPushButton* connectButton = window.buttonWidget(0);
    connectButton->setFocus();
    ASSERT_TRUE(waitUntil([&] { return connectButton->hasFocus(); }));
    press(Qt::Key_Return);
    EXPECT_EQ(recorder.clicks, (std::vector<int16_t>{2, 2, 0}));
}

TEST_F(MainWindowTest, TcxoBoxClicksPassTrueThenFalse) {
    QCheckBox* box = window.checkWidget();
    const QPoint onBox(6, box->height() / 2);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, onBox);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, onBox);
    EXPECT_EQ(recorder.tcxo, (std::vector<bool>{true, false}));
    EXPECT_FALSE(program.window().TCXOSet());

    // Setting the value is no click; a greyed box counts as set when clicked to checked.
    recorder.tcxo.clear();
    window.Check1().setValue(1);
    window.Check1().setValue(2);
    EXPECT_EQ(window.Check1().Value(), 2);
    EXPECT_TRUE(recorder.tcxo.empty());
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, onBox);
    EXPECT_EQ(window.Check1().Value(), 1);
    EXPECT_EQ(recorder.tcxo, std::vector<bool>{true});
}

TEST_F(MainWindowTest, TypingOnAButtonReachesTheKeyHistory) {
    QPushButton* b = window.buttonWidget(0);
    b->setFocus();
    ASSERT_TRUE(waitUntil([&] { return b->hasFocus(); }));
    for (QChar ch : QStringLiteral("showmeversion")) {
        QTest::keyClick(window.windowHandle(), ch.toLatin1());
    }
    EXPECT_NE(window.Caption(), "SW-KV7 ADJ Rev.2.0");
}

TEST_F(MainWindowTest, ClosingWithTheCloseBoxSavesTheSettingsOnce) {
    window.portAction(4)->trigger();
    window.releaseAction(3)->trigger();
    window.close();
    EXPECT_TRUE(window.unloaded());
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(program.window().linkClosed());
    EXPECT_FALSE(timer.enabled());
    const QString saved = settingsText();
    EXPECT_TRUE(saved.contains(QStringLiteral("[OPTION]"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("ComPort=4"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("ComAutoRelease=3"))) << saved.toStdString();

    // Later ways out find the sequence done.
    window.Unload();
    window.exitAction()->trigger();
    EXPECT_EQ(unloads, 1);
}

TEST_F(MainWindowTest, FileExitRunsTheSameSequence) {
    window.portAction(2)->trigger();
    window.exitAction()->trigger();
    EXPECT_TRUE(window.unloaded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(settingsText().contains(QStringLiteral("ComPort=2")));
    window.close();
    EXPECT_EQ(unloads, 1);
}

TEST_F(MainWindowTest, SeparatorLinesSpanTheWindowAfterAResize) {
    const double tpp = window.TwipsPerPixelY();
    for (QSize size : {QSize(700, 520), QSize(520, 400), QSize(760, 560)}) {
        window.resize(size);
        ASSERT_TRUE(waitUntil([&] { return window.size() == size; }));
        QTest::qWait(20);
        const int inner = window.centralWidget()->width();
        EXPECT_DOUBLE_EQ(window.ScaleWidth(), inner * window.TwipsPerPixelX());
        EXPECT_DOUBLE_EQ(window.ScaleHeight(), window.centralWidget()->height() * tpp);
        const QRect top = window.lineWidget(0)->geometry();
        const QRect below = window.lineWidget(1)->geometry();
        EXPECT_EQ(top.left(), 0);
        EXPECT_GE(top.right(), inner - 1);
        EXPECT_EQ(top.top(), 0);
        EXPECT_EQ(below.top(), 1);  // one pixel under the first
        EXPECT_EQ(below.width(), top.width());
        EXPECT_DOUBLE_EQ(window.linSepa(1).Y1(), tpp);
        // The layout follows: the frames fill the inner width less their margins.
        EXPECT_DOUBLE_EQ(window.fra01(1).Width(), window.ScaleWidth() - 240);
    }
    // An etched line: shadow colour above, highlight colour below.
    const QColor shadow = window.palette().color(QPalette::Dark);
    const QColor light = window.palette().color(QPalette::Light);
    ASSERT_NE(shadow, light);
    EXPECT_EQ(window.lineWidget(0)->grab().toImage().pixelColor(5, 0).rgb(), shadow.rgb());
    EXPECT_EQ(window.lineWidget(1)->grab().toImage().pixelColor(5, 0).rgb(), light.rgb());
}

// The additions' status line sits under the window's controls and never widens the window: a
// text too long for it is shortened in the middle, keeping the file's name at its end, and the
// whole text stays the line's (and its tooltip's).
TEST_F(MainWindowTest, StatusLineSitsUnderTheControlsAndNeverWidensTheWindow) {
    program.additionsStatus().setTarget(&window);
    const QSize before = window.size();
    const std::string text =
        "Service report saved to /" + std::string(300, 'x') + "/0200_20261207T135705Z_report.pdf";
    program.additionsStatus().showStatus(text);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), before);
    EXPECT_EQ(window.additionsStatus().toStdString(), text);
    const QLabel* line = window.additionsStatusWidget();
    EXPECT_TRUE(line->text().endsWith(QStringLiteral("_report.pdf")));
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), window.width());
    EXPECT_GE(
        line->mapTo(&window, QPoint(0, 0)).y(),
        window.frameWidget(0)->mapTo(&window, QPoint(0, window.frameWidget(0)->height())).y());
    program.additionsStatus().setTarget(nullptr);
}

TEST_F(MainWindowTest, ControlsSitAtTheirTwipsInPixels) {
    const double tx = window.TwipsPerPixelX();
    const double ty = window.TwipsPerPixelY();
    EXPECT_DOUBLE_EQ(tx, 1440.0 / window.screen()->logicalDotsPerInchX());
    for (int i = 0; i < 3; ++i) {
        const QRect g = window.buttonWidget(i)->geometry();
        EXPECT_EQ(g.x(), std::lround(window.cmd00(i).Left() / tx)) << i;
        EXPECT_EQ(g.y(), std::lround(window.cmd00(i).Top() / ty)) << i;
        EXPECT_EQ(g.width(), std::lround(1800 / tx));
        EXPECT_EQ(g.height(), std::lround(330 / ty));
    }
    // A control inside a frame is placed relative to the frame.
    const QRect list = window.monitorWidget(1)->geometry();
    EXPECT_EQ(list.x(), std::lround(window.lbo01(1).Left() / tx));
    // The title label takes the size of its text; the layout centres it with that width.
    EXPECT_DOUBLE_EQ(window.lblTitle().Width(), window.titleWidget()->sizeHint().width() * tx);
    // A negative size asked of a control leaves it without extent.
    window.lboConsole().Move(10, 10, -300, -5);
    EXPECT_EQ(window.lboConsole().Width(), 0);
    EXPECT_EQ(window.consoleWidget()->width(), 0);
}

TEST_F(MainWindowTest, AFailingHandlerIsReportedAndTheWindowGoesOn) {
    recorder.failClicks = true;
    QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_NE(messages.shown()[0].find("test fault"), std::string::npos) << messages.shown()[0];
    recorder.failClicks = false;
    recorder.clicks.clear();
    QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
    EXPECT_EQ(recorder.clicks, std::vector<int16_t>{0});
}

// Help > Manual (F1, wherever the focus is) shows the README in a window of the program when the
// system has no viewer for it; About names the version and the radios served.
TEST_F(MainWindowTest, F1OpensTheManualAndAboutNamesVersionAndRadios) {
    QtHelpMenu help(window, program, constIniPath());
    std::vector<QUrl> offered;
    help.setOpener([&](const QUrl& url) {
        offered.push_back(url);
        return false;
    });
    window.consoleWidget()->setFocus();
    press(Qt::Key_F1);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_TRUE(offered[0].toLocalFile().endsWith(QStringLiteral("README.md")));
    ASSERT_NE(help.manualWindow(), nullptr);
    const auto* text = help.manualWindow()->findChild<QTextBrowser*>();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("QT-KV7")));
    EXPECT_TRUE(recorder.clicks.empty());

    const QString about = help.aboutText();
    EXPECT_TRUE(about.contains(QStringLiteral("Version 2.0.0\n"))) << about.toStdString();
    EXPECT_TRUE(about.contains(QStringLiteral("model code 2251, sub names up to 0200")));
    EXPECT_TRUE(about.contains(QStringLiteral("Manual: ") +
                               QDir::toNativeSeparators(offered[0].toLocalFile())));
}

TEST(QtMessageBoxTest, ShowsAWarningWithOneOkAndTheTitle) {
    QtMessageBox box;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        title = shown->windowTitle();
        text = shown->text();
        icon = shown->icon();
        buttons = static_cast<int>(shown->buttons().size());
        shown->button(QMessageBox::Ok)->click();
    });
    box.showMessage("first line\r\nsecond line");
    EXPECT_EQ(title, QStringLiteral("SW-KV7 ADJ Rev.2.0"));
    EXPECT_EQ(text, QStringLiteral("first line\nsecond line"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(box.shown(), std::vector<std::string>{"first line\r\nsecond line"});
}

TEST(QtMessageBoxTest, AutoAnswerNeverWaits) {
    QtMessageBox box;
    box.setAutoAnswer(true);
    std::vector<std::string> seen;
    box.setObserver([&](const std::string& t) { seen.push_back(t); });
    box.showMessage("one");
    box.showMessage("two");
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace kv7
