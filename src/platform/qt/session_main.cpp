// kv7-session: the program with its real window on the offscreen platform, driven by a
// technician's script instead of a technician, printing what the window shows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/port_devices.h"
#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_image_menus.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/service_report_actions.h"
#include "session/session_script.h"

namespace kv7 {
namespace {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;    // a wait timed out or an action could not be done
constexpr int kExitBadInput = 2;  // bad command line or bad script
constexpr int kExitNoStart = 3;   // the program did not start (no Const.ini, say)
constexpr int kExitInternal = 4;  // the script ran, but the program reported an internal error
constexpr int kExitSettingsNotSaved = 5;  // the settings could not be saved at the end

constexpr int kPollMs = 10;
constexpr double kDefaultTimeoutS = 60;

// Before the verbs, which the session language lists itself.
const char* const kUsageStart =
    "Usage: kv7-session [--port PATH] [--com N] [--const FILE] [--script FILE] [--timeout S]\n"
    "       kv7-session --list-ports\n"
    "Runs the adjustment program with its window on the offscreen platform (no display\n"
    "needed), performs the script's actions and prints what the window shows.\n"
    "\n"
    "  --list-ports   prints the serial devices present, one a line: device | stable name |\n"
    "                 description | manufacturer | serial number | USB id | may open; then ends\n"
    "  --port PATH    serial device of the radio; COM N (default 1) is mapped to it\n"
    "  --com N        COM port the program selects, 1 to 4 (default 1); without --port the\n"
    "                 usual port name rule finds its device\n"
    "  --const FILE   constants file (default ./Const.ini)\n"
    "  --script FILE  the script (default: standard input)\n"
    "  --timeout S    longest wait of wait-line and wait-state, in seconds (default 60)\n"
    "\n"
    "Script, one action per line, '#' begins a comment:\n";
// After the verbs.
const char* const kUsageEnd =
    "\n"
    "Every message box and question is printed and answered with OK. Exit status: 0 done,\n"
    "1 a wait timed out or an action was not possible, 2 bad command line or script, 3 the\n"
    "program did not start, 4 the program reported an internal error, 5 the settings could\n"
    "not be saved at the end.\n";

struct Options {
    std::string port;
    int com = 1;
    std::string constFile = "Const.ini";
    std::string scriptFile;  // empty: standard input
    double timeoutS = kDefaultTimeoutS;
    bool listPorts = false;
};

void say(const std::string& line) {
    std::cout << line << std::endl;
}

// Reads the command line; false with a message on a bad one.
bool parseOptions(const QStringList& args, Options& o, bool& help) {
    help = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
            return true;
        }
        if (a == QLatin1String("--list-ports")) {
            o.listPorts = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "kv7-session: " << a.toStdString()
                      << (a.startsWith(QLatin1String("--")) ? " needs a value"
                                                            : ": unknown argument")
                      << "\n";
            return false;
        }
        const QString v = args[++i];
        bool ok = true;
        if (a == QLatin1String("--port")) {
            o.port = v.toStdString();
            ok = !o.port.empty();
        } else if (a == QLatin1String("--com")) {
            o.com = v.toInt(&ok);
            ok = ok && o.com >= 1 && o.com <= 4;
        } else if (a == QLatin1String("--const")) {
            o.constFile = v.toStdString();
            ok = !o.constFile.empty();
        } else if (a == QLatin1String("--script")) {
            o.scriptFile = v.toStdString();
            ok = !o.scriptFile.empty();
        } else if (a == QLatin1String("--timeout")) {
            o.timeoutS = v.toDouble(&ok);
            ok = ok && o.timeoutS > 0 && o.timeoutS <= 3600;
        } else {
            std::cerr << "kv7-session: unknown option " << a.toStdString() << "\n";
            return false;
        }
        if (!ok) {
            std::cerr << "kv7-session: bad value '" << v.toStdString() << "' for "
                      << a.toStdString() << "\n";
            return false;
        }
    }
    return true;
}

bool readScript(const Options& o, std::string& text) {
    if (o.scriptFile.empty()) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(o.scriptFile, std::ios::binary);
    if (!in) {
        std::cerr << "kv7-session: cannot read the script " << o.scriptFile << "\n";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Lines of a plain text as the widget shows them; a final line break adds no line.
std::vector<std::string> textLines(const QString& text) {
    QStringList parts = text.split(QLatin1Char('\n'));
    if (!parts.isEmpty() && parts.back().isEmpty()) parts.removeLast();
    std::vector<std::string> out;
    for (const QString& p : parts) out.push_back(p.toStdString());
    return out;
}

std::vector<std::string> listLines(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

// The beep at the end of a procedure, heard in the transcript.
class SessionBeeper : public Beeper {
  public:
    void beep() override {
        say("=== beep");
        inner_.beep();
    }

  private:
    QtBeeper inner_;
};

// Performs the script's actions one after the other on the event loop. Waiting actions are
// looked at again on every poll; nothing blocks the loop, so the heartbeat and the serial port
// go on while the script waits.
class SessionRunner {
  public:
    SessionRunner(const SessionScript& script, const Options& o, Program& program,
                  QtMainWindow& window, PortDeviceChooser& devices, QtImageMenus& imageMenus,
                  ServiceReportActions& reports)
        : actions_(script.actions),
          program_(program),
          window_(window),
          devices_(devices),
          imageMenus_(imageMenus),
          reports_(reports),
          timeoutS_(o.timeoutS) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { step(); });
    }

    void start() {
        clock_.start();
        poll_.start(kPollMs);
        QTimer::singleShot(0, [this] { step(); });
    }

    // The program ended (menu exit or the close at the end of the script).
    void programEnded() {
        ended_ = true;
        poll_.stop();
    }

    bool finished() const { return finished_; }
    int exitCode() const { return exitCode_; }

    void printWindow() const {
        const clsIndOp_RigKV7& c = program_.controller();
        say("=== window: " + window_.windowTitle().toStdString() + " (" +
            stateText(c.connectionState()) + ", step " +
            std::to_string(static_cast<int>(c.opStep())) + ")");
        say("port label: " + window_.comBusyWidget()->text().toStdString());
        std::string buttons = "buttons:";
        for (int i = 0; i < 3; ++i) {
            const QPushButton* b = window_.buttonWidget(i);
            buttons += std::string(i == 0 ? " " : " | ") + b->text().toStdString() +
                       (b->isEnabled() ? "" : " (disabled)");
        }
        const QCheckBox* box = window_.checkWidget();
        buttons += " | " + box->text().toStdString() + (box->isChecked() ? " [x]" : " [ ]") +
                   (box->isEnabled() ? "" : " (disabled)");
        say(buttons);
        const bool titleShown = window_.frameWidget(0)->isVisible();
        section("title", textLines(window_.titleWidget()->text()), titleShown);
        say("progress" + std::string(titleShown ? "" : " (hidden)") + ": " +
            window_.progressWidget()->text().toStdString());
        const bool consoleShown = window_.frameWidget(1)->isVisible();
        section("monitor list 0", listLines(window_.monitorWidget(0)), consoleShown);
        section("monitor list 1", listLines(window_.monitorWidget(1)), consoleShown);
        const QListWidget* console = window_.consoleWidget();
        const int16_t selected = window_.lboConsole().ListIndex();
        section("console", listLines(console), consoleShown,
                selected >= 0 ? ", line " + std::to_string(selected) + " selected"
                              : std::string(", no line selected"));
        if (window_.frameWidget(3)->isVisible()) {
            section("parameter display", textLines(window_.dispParaWidget()->toPlainText()), true);
        } else {
            say("parameter display: hidden");
        }
        say("=== end of window");
    }

  private:
    enum class Result { Done, Pending, Failed };

    static std::string stateText(ConnectionState state) {
        switch (state) {
            case ConnectionState::Idle: return "idle";
            case ConnectionState::Connecting: return "connecting";
            case ConnectionState::Monitoring: return "connected";
            case ConnectionState::ShowingParameters: return "disp-para";
        }
        return "unknown";
    }

    static void section(const std::string& name, const std::vector<std::string>& lines, bool shown,
                        const std::string& extra = {}) {
        say(name + (shown ? "" : " (hidden)") + ", " + std::to_string(lines.size()) +
            (lines.size() == 1 ? " line" : " lines") + extra + ":");
        for (const std::string& l : lines) say("| " + l);
    }

    std::string stamp() const {
        std::ostringstream s;
        s << "[" << std::fixed << std::setprecision(2) << std::setw(7)
          << static_cast<double>(clock_.elapsed()) / 1000.0 << " s] ";
        return s.str();
    }

    void step() {
        if (busy_ || finished_ || ended_) return;
        // A message box is open (its OK comes by itself): the program is inside a handler.
        if (program_.modalDepth().modal()) return;
        busy_ = true;
        while (!finished_ && !ended_ && index_ < actions_.size()) {
            const SessionAction& a = actions_[index_];
            if (!started_) {
                started_ = true;
                startedAt_ = clock_.elapsed();
                say(stamp() + "> " + a.source);
            }
            const Result r = perform(a);
            if (r == Result::Pending) break;
            if (r == Result::Failed) {
                finish(kExitFailed);
                break;
            }
            started_ = false;
            ++index_;
        }
        if (!finished_ && (ended_ || index_ >= actions_.size())) finish(kExitOk);
        busy_ = false;
    }

    void fail(const SessionAction& a, const std::string& why) {
        std::cerr << "kv7-session: line " << a.line << ": " << why << std::endl;
        say(stamp() + "line " + std::to_string(a.line) + " failed: " + why);
    }

    void finish(int code) {
        finished_ = true;
        exitCode_ = code;
        poll_.stop();
        if (code != kExitOk) printWindow();
        // The end of the script is the end of the program: the window closes the normal way.
        if (!ended_) QTimer::singleShot(0, &window_, [this] { window_.close(); });
    }

    Result perform(const SessionAction& a) {
        switch (a.verb) {
            case SessionVerb::Click: return click(a);
            case SessionVerb::Key: return key(a);
            case SessionVerb::Select: return select(a) ? Result::Done : Result::Failed;
            case SessionVerb::Tcxo: return tcxo(a);
            case SessionVerb::Menu: return menu(a);
            case SessionVerb::WaitLine: return waitLine(a);
            case SessionVerb::WaitState: return waitState(a);
            case SessionVerb::Wait:
                return clock_.elapsed() - startedAt_ >= static_cast<qint64>(a.seconds * 1000)
                           ? Result::Done
                           : Result::Pending;
            case SessionVerb::Timeout: timeoutS_ = a.seconds; return Result::Done;
            case SessionVerb::Screenshot: return screenshot(a);
            case SessionVerb::Print: printWindow(); return Result::Done;
            case SessionVerb::Device: return device(a);
            case SessionVerb::SaveImage:
            case SessionVerb::SaveCurrent:
            case SessionVerb::WriteImage: return imageAction(a);
            case SessionVerb::Report:
            case SessionVerb::SweepData: return saveRecord(a);
        }
        return Result::Failed;
    }

    // A control the technician cannot reach makes the script fail: it expected otherwise.
    bool usable(const SessionAction& a, QWidget* w, const std::string& name) {
        if (!w->isVisible()) {
            fail(a, name + " is not shown");
            return false;
        }
        if (!w->isEnabled()) {
            fail(a, name + " is disabled");
            return false;
        }
        return true;
    }

    Result click(const SessionAction& a) {
        QPushButton* b = window_.buttonWidget(a.button);
        if (!usable(a, b, "the button \"" + b->text().toStdString() + "\"")) return Result::Failed;
        b->click();
        return Result::Done;
    }

    // The console list gets the focus as a click into it would give it.
    bool focusConsole(const SessionAction& a) {
        QListWidget* console = window_.consoleWidget();
        if (!usable(a, console, "the console")) return false;
        window_.activateWindow();
        console->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        if (QApplication::focusWidget() != console) {
            fail(a, "the console cannot take the focus");
            return false;
        }
        return true;
    }

    bool select(const SessionAction& a) {
        if (!focusConsole(a)) return false;
        std::vector<std::string> titles;
        clsConsole& c = program_.console();
        for (int16_t i = 0; i < c.ListCount(); ++i) titles.push_back(c.Title(i));
        const int16_t line = findConsoleLine(*a.target, titles);
        if (line < 0) {
            fail(a, a.target->index ? "the console has no line " + std::to_string(*a.target->index)
                                    : "no console line is titled \"" + a.target->title + "\"");
            return false;
        }
        window_.consoleWidget()->setCurrentRow(line);
        return true;
    }

    // The key goes where a keyboard's goes: to the window, which sees it before the focused
    // control does (F5 anywhere, Enter on a button).
    Result key(const SessionAction& a) {
        if (a.target) {
            if (!select(a)) return Result::Failed;
        } else if (window_.consoleWidget()->isVisible() && window_.consoleWidget()->isEnabled()) {
            if (!focusConsole(a)) return Result::Failed;
        } else {
            window_.activateWindow();
            QCoreApplication::processEvents();
        }
        const QPointer<QWindow> target = window_.windowHandle();
        if (target == nullptr) {
            fail(a, "the window is not shown");
            return Result::Failed;
        }
        int qtKey = Qt::Key_Return;
        QString text;
        switch (a.key) {
            case SessionKey::Left: qtKey = Qt::Key_Left; break;
            case SessionKey::Right: qtKey = Qt::Key_Right; break;
            case SessionKey::Up: qtKey = Qt::Key_Up; break;
            case SessionKey::Down: qtKey = Qt::Key_Down; break;
            case SessionKey::F5: qtKey = Qt::Key_F5; break;
            case SessionKey::Enter:
                qtKey = Qt::Key_Return;
                text = QStringLiteral("\r");
                break;
        }
        const Qt::KeyboardModifiers mods = a.shift ? Qt::ShiftModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, qtKey, mods, text);
        QApplication::sendEvent(target, &press);
        // The press may have closed the program (a failure report).
        if (ended_ || target == nullptr) return Result::Done;
        QKeyEvent release(QEvent::KeyRelease, qtKey, mods, text);
        QApplication::sendEvent(target, &release);
        return Result::Done;
    }

    Result tcxo(const SessionAction& a) {
        QCheckBox* box = window_.checkWidget();
        if (!usable(a, box, "the TCXO box")) return Result::Failed;
        if (box->isChecked() != a.tcxoOn) box->click();
        return Result::Done;
    }

    Result menu(const SessionAction& a) {
        QAction* item = nullptr;
        switch (a.menu) {
            case SessionMenu::Port: item = window_.portAction(a.menuIndex); break;
            case SessionMenu::Release: item = window_.releaseAction(a.menuIndex); break;
            case SessionMenu::Exit: item = window_.exitAction(); break;
            case SessionMenu::KeepImages:
                imageMenus_.refresh();
                item = imageMenus_.keepAction();
                if (item->isChecked() == a.menuOn) return Result::Done;
                break;
        }
        if (item == nullptr || !item->isEnabled()) {
            fail(a, "the menu item is not available");
            return Result::Failed;
        }
        item->trigger();
        return Result::Done;
    }

    // The File menu's image items with the file given instead of chosen in a dialog.
    Result imageAction(const SessionAction& a) {
        ImageBackup& backup = program_.imageBackup();
        if (a.verb == SessionVerb::WriteImage && imageWriteStarted_) {
            if (backup.writing()) {
                return timedOut() ? timeout(a, "end of the image write") : Result::Pending;
            }
            imageWriteStarted_ = false;
            return Result::Done;
        }
        if (a.verb == SessionVerb::SaveCurrent && changesUnsent()) {
            return timedOut() ? timeout(a, "sending of the console's changes") : Result::Pending;
        }
        imageMenus_.refresh();
        QAction* item = a.verb == SessionVerb::SaveImage     ? imageMenus_.saveAsReadAction()
                        : a.verb == SessionVerb::SaveCurrent ? imageMenus_.saveCurrentAction()
                                                             : imageMenus_.writeAction();
        if (!item->isEnabled()) {
            fail(a, "the menu item \"" + item->text().toStdString() + "\" is not available");
            return Result::Failed;
        }
        switch (a.verb) {
            case SessionVerb::SaveImage:
            case SessionVerb::SaveCurrent: {
                const bool asRead = a.verb == SessionVerb::SaveImage;
                if (!(asRead ? imageMenus_.saveAsRead(a.text) : imageMenus_.saveCurrent(a.text))) {
                    fail(a, "the image was not saved");
                    return Result::Failed;
                }
                say(stamp() + "  saved " + a.text);
                return Result::Done;
            }
            default:
                if (!imageMenus_.writeImage(a.text)) {
                    fail(a, "the image was not written");
                    return Result::Failed;
                }
                imageWriteStarted_ = true;
                return Result::Pending;
        }
    }

    // An item changed with the keys is in the image only once the controller has sent it.
    bool changesUnsent() {
        if (!program_.controller().RigKV7Prop_EditEnabled()) return false;
        clsConsole& c = program_.console();
        for (int16_t i = 0; i < c.ListCount(); ++i) {
            if (c.flgChanged(i)) return true;
        }
        return program_.sequencer().OpRunning();
    }

    bool timedOut() const { return clock_.elapsed() - startedAt_ > timeoutMs(); }
    qint64 timeoutMs() const { return static_cast<qint64>(timeoutS_ * 1000); }

    Result timeout(const SessionAction& a, const std::string& what) {
        std::ostringstream s;
        s << "no " << what << " within " << timeoutS_ << " s";
        fail(a, s.str());
        return Result::Failed;
    }

    Result waitLine(const SessionAction& a) {
        const QString wanted = QString::fromStdString(a.text);
        const QListWidget* lists[] = {window_.consoleWidget(), window_.monitorWidget(0),
                                      window_.monitorWidget(1)};
        for (const QListWidget* list : lists) {
            if (!list->isVisible()) continue;
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->text().contains(wanted)) {
                    say(stamp() + "  seen: " + list->item(i)->text().toStdString());
                    return Result::Done;
                }
            }
        }
        return timedOut() ? timeout(a, "line showing \"" + a.text + "\"") : Result::Pending;
    }

    Result waitState(const SessionAction& a) {
        const clsIndOp_RigKV7& c = program_.controller();
        bool reached = false;
        switch (a.state) {
            case SessionState::Connected: reached = c.RigKV7Prop_EditEnabled(); break;
            case SessionState::Idle: reached = c.connectionState() == ConnectionState::Idle; break;
            case SessionState::DispPara: reached = c.RigKV7Prop_DispPara(); break;
        }
        if (reached) return Result::Done;
        return timedOut() ? timeout(a, std::string("state ") + sessionStateName(a.state))
                          : Result::Pending;
    }

    Result screenshot(const SessionAction& a) {
        const QPixmap shot = window_.grab();
        if (shot.isNull() || !shot.save(QString::fromStdString(a.text), "PNG")) {
            fail(a, "cannot save the screenshot as " + a.text);
            return Result::Failed;
        }
        say(stamp() + "  saved " + a.text + " (" + std::to_string(shot.width()) + "x" +
            std::to_string(shot.height()) + ")");
        return Result::Done;
    }

    Result device(const SessionAction& a) {
        const PortAssignment outcome = devices_.assignPath(a.text);
        if (!outcome.done) {
            fail(a, outcome.message);
            return Result::Failed;
        }
        say(stamp() + "  " + outcome.message);
        return Result::Done;
    }

    // The File menu's report entries, without the file dialog.
    Result saveRecord(const SessionAction& a) {
        const bool report = a.verb == SessionVerb::Report;
        if (!reports_.refresh()) {
            fail(a, "the menu item is not available (no clone read yet)");
            return Result::Failed;
        }
        const QString path = QString::fromStdString(a.text);
        const QString error = report ? reports_.saveReport(path) : reports_.saveSweepData(path);
        if (!error.isEmpty()) {
            fail(a, error.toStdString());
            return Result::Failed;
        }
        say(stamp() + "  saved " + a.text);
        return Result::Done;
    }

    const std::vector<SessionAction>& actions_;
    Program& program_;
    QtMainWindow& window_;
    PortDeviceChooser& devices_;
    QtImageMenus& imageMenus_;
    ServiceReportActions& reports_;
    double timeoutS_;
    QTimer poll_;
    QElapsedTimer clock_;
    size_t index_ = 0;
    bool started_ = false;
    qint64 startedAt_ = 0;
    bool busy_ = false;
    bool finished_ = false;
    bool ended_ = false;
    bool imageWriteStarted_ = false;
    int exitCode_ = kExitOk;
};

// The offscreen platform says at every window that it cannot pass size hints on; that is no
// news for the technician reading the transcript. Everything else Qt says goes through.
QtMessageHandler qtDefaultHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support propagateSizeHints")))
        return;
    if (qtDefaultHandler != nullptr) qtDefaultHandler(type, context, message);
}

int run(int argc, char** argv) {
    // Never a display: the window is drawn offscreen whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv7-session"));

    Options o;
    bool help = false;
    if (!parseOptions(QCoreApplication::arguments(), o, help)) {
        std::cerr << kUsageStart << sessionVerbUsage() << kUsageEnd;
        return kExitBadInput;
    }
    if (help) {
        std::cout << kUsageStart << sessionVerbUsage() << kUsageEnd;
        return kExitOk;
    }
    if (o.listPorts) {
        for (const PortListEntry& e :
             buildPortList(enumerateSerialDevices(), systemDeviceFiles(), std::string())) {
            say(portListLine(e));
        }
        return kExitOk;
    }
    std::string text;
    if (!readScript(o, text)) return kExitBadInput;
    const SessionScript script = parseSessionScript(text);
    if (!script.ok()) {
        const std::string name = o.scriptFile.empty() ? "<stdin>" : o.scriptFile;
        for (const SessionScriptError& e : script.errors)
            std::cerr << name << ":" << e.line << ": " << e.message << "\n";
        return kExitBadInput;
    }

    QTemporaryDir programDir;
    if (!programDir.isValid() ||
        !WritePresetSettings(programDir.path().toStdString(), o.com, o.port)) {
        std::cerr << "kv7-session: cannot prepare a program directory\n";
        return kExitNoStart;
    }

    QtMainWindow window;
    QtMessageBox messages(&window);
    messages.setAutoAnswer(true);
    messages.setObserver([](const std::string& shown) {
        say("=== message box");
        QString t = QString::fromStdString(shown);
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        for (const std::string& l : textLines(t + QLatin1Char('\n'))) say("| " + l);
    });
    SessionBeeper beeper;
    QtSerialPort port;
    SteadyTickSource ticks;
    QtHeartbeat heartbeat;
    Program program(port, ticks, messages, beeper, window, programDir.path().toStdString(),
                    o.constFile, &heartbeat);
    port.setSettingsFile(program.link().profMain().FullPath());
    PortDeviceChooser devices(window, program, port);
    SessionRunner* startRunner = nullptr;
    // The script begins once the shown window has had its first tick, as a technician would
    // see it: port label written, controls shown or hidden by the controller.
    heartbeat.setOnTick([&program, &window, &startRunner] {
        program.heartbeat();
        if (startRunner != nullptr && window.isVisible()) {
            SessionRunner* r = startRunner;
            startRunner = nullptr;
            QTimer::singleShot(0, &window, [r] { r->start(); });
        }
    });
    window.setLogic(&program.window());
    window.setEventBoundary(&program.boundary());

    QtImageMenus imageMenus(window, program.imageBackup(), program.boundary());
    imageMenus.confirmBox().setAutoAnswer(true);
    imageMenus.confirmBox().setObserver([](const std::string& asked) {
        say("=== question, answered OK");
        QString t = QString::fromStdString(asked);
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        for (const std::string& l : textLines(t + QLatin1Char('\n'))) say("| " + l);
    });
    ServiceReportActions reports(window, program, port);
    SessionRunner runner(script, o, program, window, devices, imageMenus, reports);
    window.setOnUnloaded([&runner] {
        runner.programEnded();
        QCoreApplication::quit();
    });

    // A settings file that could not be written at the end is told whatever else happened.
    const auto settingsStatus = [&program](int code) {
        const std::string failure = program.settingsSaveFailure();
        if (failure.empty()) return code;
        std::cerr << "kv7-session: " << failure << "\n";
        return code == kExitOk ? kExitSettingsNotSaved : code;
    };
    if (program.Main([] { return false; }) != StartResult::Running) {
        say("=== the program did not start");
        return settingsStatus(kExitNoStart);
    }
    window.show();
    window.activateWindow();
    startRunner = &runner;
    app.exec();

    int code = runner.finished() ? runner.exitCode() : kExitOk;
    if (code == kExitOk && program.boundary().failures() > 0) {
        say("=== the program reported " + std::to_string(program.boundary().failures()) +
            " internal error(s)");
        code = kExitInternal;
    }
    return settingsStatus(code);
}

}  // namespace
}  // namespace kv7

int main(int argc, char** argv) {
    return kv7::run(argc, argv);
}
