#include "platform/qt/session_runner.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QWindow>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>

#include "model/alignment_record.h"
#include "platform/qt/qt_program.h"
#include "platform/qt/session_options.h"
#include "platform/qt/test_set_window.h"
#include "platform/qt/window_transcript.h"

namespace kv7 {

namespace {

constexpr int kPollMs = 10;

// The point the Align menu names so; the session's names are the menu's.
std::optional<AlignPoint> alignPoint(const std::string& name) {
    for (AlignPoint p : kAlignPoints) {
        if (name == AlignPointName(p)) return p;
    }
    return std::nullopt;
}

}  // namespace

SessionRunner::SessionRunner(const SessionScript& script, const SessionOptions& o, QtProgram& qt)
    : actions_(script.actions),
      program_(qt.program()),
      window_(qt.window()),
      devices_(qt.devices()),
      imageMenus_(qt.imageMenus()),
      reports_(qt.reports()),
      alignMenu_(qt.alignMenu()),
      alignView_(qt.alignView()),
      messageBox_(qt.messages()),
      testSetWindow_(qt.testSetWindow()),
      testSetDialog_(qt.testSetDialog()),
      timeoutS_(o.timeoutS) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { step(); });
}

void SessionRunner::start() {
    clock_.start();
    poll_.start(kPollMs);
    QTimer::singleShot(0, [this] { step(); });
}

// The program ended (menu exit or the close at the end of the script).
void SessionRunner::programEnded() {
    ended_ = true;
    poll_.stop();
}

std::string SessionRunner::stamp() const {
    std::ostringstream s;
    s << "[" << std::fixed << std::setprecision(2) << std::setw(7)
      << static_cast<double>(clock_.elapsed()) / 1000.0 << " s] ";
    return s.str();
}

void SessionRunner::step() {
    if (busy_ || finished_ || ended_) return;
    // A message box is open (its OK comes by itself): the program is inside a handler.
    if (program_.modalDepth().modal()) return;
    busy_ = true;
    while (!finished_ && !ended_ && index_ < actions_.size()) {
        const SessionAction& a = actions_[index_];
        firstPoll_ = !started_;
        if (!started_) {
            started_ = true;
            startedAt_ = clock_.elapsed();
            say(stamp() + "> " + a.source);
        }
        const Result r = perform(a);
        if (r == Result::Pending) break;
        if (r == Result::Failed) {
            finish(kSessionExitFailed);
            break;
        }
        started_ = false;
        ++index_;
    }
    if (!finished_ && (ended_ || index_ >= actions_.size())) finish(kSessionExitOk);
    busy_ = false;
}

void SessionRunner::fail(const SessionAction& a, const std::string& why) {
    std::cerr << "kv7-session: line " << a.line << ": " << why << std::endl;
    say(stamp() + "line " + std::to_string(a.line) + " failed: " + why);
}

void SessionRunner::finish(int code) {
    finished_ = true;
    // Points that failed while the script went on still make it a failed one.
    if (!failedPoints_.empty()) {
        std::cerr << "kv7-session: failed points: " << failedPoints_ << std::endl;
        say(stamp() + "failed points: " + failedPoints_);
        if (code == kSessionExitOk) code = kSessionExitFailed;
    }
    exitCode_ = code;
    poll_.stop();
    if (code != kSessionExitOk) printAll();
    // The end of the script is the end of the program: the window closes the normal way.
    if (!ended_) QTimer::singleShot(0, &window_, [this] { window_.close(); });
}

SessionRunner::Result SessionRunner::perform(const SessionAction& a) {
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
        case SessionVerb::Print: printAll(); return Result::Done;
        case SessionVerb::Device: return device(a);
        case SessionVerb::SaveImage:
        case SessionVerb::SaveCurrent:
        case SessionVerb::WriteImage: return imageAction(a);
        case SessionVerb::Report:
        case SessionVerb::SweepData:
        case SessionVerb::AlignData: return saveRecord(a);
        case SessionVerb::Align: return align(a);
        case SessionVerb::TestSet: return testSet(a);
        case SessionVerb::WaitReading: return waitReading(a);
        case SessionVerb::ContinueOnFail: continueOnFail_ = true; return Result::Done;
    }
    return Result::Failed;
}

void SessionRunner::printAll() {
    printWindow(window_, program_.controller(), &testSetWindow_,
                {testSetDialogLine(testSetDialog_, program_.testSet())});
}

bool SessionRunner::usable(const SessionAction& a, QWidget* w, const std::string& name) {
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

SessionRunner::Result SessionRunner::click(const SessionAction& a) {
    QPushButton* b = window_.buttonWidget(a.button);
    if (!usable(a, b, "the button \"" + b->text().toStdString() + "\"")) return Result::Failed;
    b->click();
    return Result::Done;
}

// The console list gets the focus as a click into it would give it.
bool SessionRunner::focusConsole(const SessionAction& a) {
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

bool SessionRunner::select(const SessionAction& a) {
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
SessionRunner::Result SessionRunner::key(const SessionAction& a) {
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

SessionRunner::Result SessionRunner::tcxo(const SessionAction& a) {
    QCheckBox* box = window_.checkWidget();
    if (!usable(a, box, "the TCXO box")) return Result::Failed;
    if (box->isChecked() != a.tcxoOn) box->click();
    return Result::Done;
}

SessionRunner::Result SessionRunner::menu(const SessionAction& a) {
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
SessionRunner::Result SessionRunner::imageAction(const SessionAction& a) {
    ImageBackup& backup = program_.imageBackup();
    if (a.verb == SessionVerb::WriteImage && !firstPoll_) {
        if (backup.writing()) {
            return timedOut() ? timeout(a, "end of the image write") : Result::Pending;
        }
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
            return Result::Pending;
    }
}

// An item changed with the keys is in the image only once the controller has sent it.
bool SessionRunner::changesUnsent() {
    return program_.controller().RigKV7Prop_EditEnabled() && program_.controller().changesPending();
}

bool SessionRunner::timedOut() const {
    return clock_.elapsed() - startedAt_ > timeoutMs();
}

qint64 SessionRunner::timeoutMs() const {
    return static_cast<qint64>(timeoutS_ * 1000);
}

SessionRunner::Result SessionRunner::timeout(const SessionAction& a, const std::string& what,
                                             const std::string& why) {
    std::ostringstream s;
    s << "no " << what << " within " << timeoutS_ << " s";
    if (!why.empty()) s << ": " << why;
    fail(a, s.str());
    return Result::Failed;
}

SessionRunner::Result SessionRunner::waitLine(const SessionAction& a) {
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

SessionRunner::Result SessionRunner::waitState(const SessionAction& a) {
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

SessionRunner::Result SessionRunner::screenshot(const SessionAction& a) {
    const QPixmap shot = window_.grab();
    if (shot.isNull() || !shot.save(QString::fromStdString(a.text), "PNG")) {
        fail(a, "cannot save the screenshot as " + a.text);
        return Result::Failed;
    }
    say(stamp() + "  saved " + a.text + " (" + std::to_string(shot.width()) + "x" +
        std::to_string(shot.height()) + ")");
    return Result::Done;
}

SessionRunner::Result SessionRunner::device(const SessionAction& a) {
    const PortAssignment outcome = devices_.assignPath(a.text);
    if (!outcome.done) {
        fail(a, outcome.message);
        return Result::Failed;
    }
    say(stamp() + "  " + outcome.message);
    return Result::Done;
}

// The File menu's report entries, without the file dialog.
SessionRunner::Result SessionRunner::saveRecord(const SessionAction& a) {
    if (!reports_.refresh()) {
        fail(a, "the menu item is not available (no clone read yet)");
        return Result::Failed;
    }
    const QString path = QString::fromStdString(a.text);
    const QString error = a.verb == SessionVerb::Report      ? reports_.saveReport(path)
                          : a.verb == SessionVerb::SweepData ? reports_.saveSweepData(path)
                                                             : reports_.saveAlignmentData(path);
    if (!error.isEmpty()) {
        fail(a, error.toStdString());
        return Result::Failed;
    }
    say(stamp() + "  saved " + a.text);
    return Result::Done;
}

// The Align menu's entry, its questions answered by the auto-answering box; then the wait for
// the run's end.
SessionRunner::Result SessionRunner::align(const SessionAction& a) {
    if (firstPoll_) return startAlign(a);
    if (program_.align().run().running()) {
        return timedOut() ? timeout(a, "end of the alignment") : Result::Pending;
    }
    return alignEnded(a);
}

SessionRunner::Result SessionRunner::startAlign(const SessionAction& a) {
    alignMenu_.refresh();
    const std::optional<AlignPoint> point = alignPoint(a.text);
    QAction* item = point ? alignMenu_.pointAction(*point) : alignMenu_.allAction();
    const std::string name = "Align > " + item->text().remove(QLatin1Char('&')).toStdString();
    if (!item->isVisible()) {
        const QString notice = alignMenu_.noticeAction()->text();
        fail(a, name + " is not offered: " +
                    (notice.isEmpty() ? "Align.ini has no section for it" : notice.toStdString()));
        return Result::Failed;
    }
    if (!item->isEnabled()) {
        fail(a, name + " is not available: " + item->statusTip().toStdString());
        return Result::Failed;
    }
    const size_t shown = messageBox_.shown().size();
    alignView_.setAutoAnswer(true, a.cancel);
    item->trigger();
    if (!program_.align().run().running()) {
        const bool told = messageBox_.shown().size() > shown;
        fail(a, "the alignment did not start" + (told ? ": " + messageBox_.shown().back() : ""));
        return Result::Failed;
    }
    return Result::Pending;
}

SessionRunner::Result SessionRunner::alignEnded(const SessionAction& a) {
    alignView_.setAutoAnswer(true);
    const std::vector<AlignmentRecord>& results = program_.align().run().results();
    const AlignmentRecord* failed = nullptr;
    for (const AlignmentRecord& r : results) {
        say(stamp() + "  " + AlignResultLine(r));
        if (!r.passed && failed == nullptr) failed = &r;
    }
    if (results.empty()) {
        fail(a, "no point was aligned");
        return Result::Failed;
    }
    // A point cancelled as the script asked is what it wanted.
    if (a.cancel && failed != nullptr && failed->cancelled) return Result::Done;
    if (failed == nullptr) return Result::Done;
    fail(a, failed->point + (failed->cancelled ? " was cancelled" : " failed: " + failed->outcome));
    if (!continueOnFail_) return Result::Failed;
    for (const AlignmentRecord& r : results) {
        if (r.passed) continue;
        if (!failedPoints_.empty()) failedPoints_ += ", ";
        failedPoints_ += r.point + " (line " + std::to_string(a.line) + ")";
    }
    return Result::Done;
}

// Connects as Option > Test set… does and waits until the test set is ready or has failed.
SessionRunner::Result SessionRunner::testSet(const SessionAction& a) {
    TestSetStation& station = program_.testSet();
    const TestSet& ts = station.testSet();
    if (firstPoll_) {
        bool started = false;
        program_.event("test-set", [&] { started = station.connect(a.text, a.profile); });
        if (!started) {
            fail(a, ts.message());
            return Result::Failed;
        }
    }
    const TestSet::State state = ts.state();
    // Over once the test-set window shows how it went, on the heartbeat after.
    const bool over = state == TestSet::State::Ready || state == TestSet::State::Failed ||
                      state == TestSet::State::Disconnected;
    if (!over || testSetWindow_.readings().state != state) {
        if (!timedOut()) return Result::Pending;
        return timeout(a, "connection to the test set", ts.stateText());
    }
    if (state != TestSet::State::Ready) {
        fail(a, ts.stateText());
        return Result::Failed;
    }
    say(stamp() + "  identity: " + ts.identity());
    say(stamp() + "  profile: " + ts.profile()->name);
    return Result::Done;
}

// Waits until the window has shown a good reading of the quantity taken after the wait began.
SessionRunner::Result SessionRunner::waitReading(const SessionAction& a) {
    const TestSet::State state = program_.testSet().testSet().state();
    if (state == TestSet::State::Disconnected || state == TestSet::State::Failed) {
        fail(a, "the test set is not connected: " + program_.testSet().testSet().stateText());
        return Result::Failed;
    }
    if (firstPoll_) readingsFrom_ = testSetWindow_.readyUpdates();
    const TestSetReadings& r = testSetWindow_.readings();
    const Reading& reading = a.quantity == SessionQuantity::Power       ? r.power
                             : a.quantity == SessionQuantity::Frequency ? r.frequency
                                                                        : r.deviation;
    const std::string name = sessionQuantityName(a.quantity);
    // Without a carrier a power reading is only the noise floor.
    const bool good = reading.valid && (a.quantity != SessionQuantity::Power || r.carrier);
    if (testSetWindow_.readyUpdates() - readingsFrom_ >= 3 && good) {
        std::string text;
        switch (a.quantity) {
            case SessionQuantity::Power:
                text = AlignReadingText(AlignMeasure::Power, reading.value);
                break;
            case SessionQuantity::Frequency:
                text = AlignReadingText(AlignMeasure::Frequency, reading.value) + " (" +
                       (r.freqError.valid ? "error " + FrequencyErrorText(r.freqError.value)
                                          : "no error: " + r.freqError.reason) +
                       ")";
                break;
            case SessionQuantity::Deviation:
                text = AlignReadingText(AlignMeasure::Deviation, reading.value);
                break;
        }
        say(stamp() + "  " + name + " " + text);
        return Result::Done;
    }
    if (!timedOut()) return Result::Pending;
    return timeout(a, name + " reading", r.status);
}

}  // namespace kv7
