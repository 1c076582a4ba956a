#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <cstddef>
#include <string>
#include <vector>

#include "session/session_script.h"

class QWidget;

namespace kv7 {

class ImageBackup;
class PortDeviceChooser;
class Program;
class QtAlignMenu;
class QtAlignView;
class QtImageMenus;
class QtMainWindow;
class QtMessageBox;
class QtProgram;
class ServiceReportActions;
class TestSetDialog;
class TestSetWindow;
struct SessionOptions;

// Performs the script's actions one after the other on the event loop. Waiting actions are
// looked at again on every poll; nothing blocks the loop, so the heartbeat and the serial port
// go on while the script waits.
class SessionRunner {
  public:
    SessionRunner(const SessionScript& script, const SessionOptions& o, QtProgram& qt);

    void start();
    // The program ended (menu exit or the close at the end of the script).
    void programEnded();

    bool finished() const { return finished_; }
    int exitCode() const { return exitCode_; }

  private:
    enum class Result { Done, Pending, Failed };

    std::string stamp() const;
    void step();
    void fail(const SessionAction& a, const std::string& why);
    void finish(int code);
    Result perform(const SessionAction& a);

    // A control the technician cannot reach makes the script fail: it expected otherwise.
    bool usable(const SessionAction& a, QWidget* w, const std::string& name);
    Result click(const SessionAction& a);
    bool focusConsole(const SessionAction& a);
    bool select(const SessionAction& a);
    Result key(const SessionAction& a);
    Result tcxo(const SessionAction& a);
    Result menu(const SessionAction& a);
    Result imageAction(const SessionAction& a);
    bool changesUnsent();
    bool timedOut() const;
    qint64 timeoutMs() const;
    // "no <what> within N s", and why when it is known.
    Result timeout(const SessionAction& a, const std::string& what, const std::string& why = {});
    Result waitLine(const SessionAction& a);
    Result waitState(const SessionAction& a);
    Result screenshot(const SessionAction& a);
    Result device(const SessionAction& a);
    Result saveRecord(const SessionAction& a);
    Result align(const SessionAction& a);
    Result startAlign(const SessionAction& a);
    Result alignEnded(const SessionAction& a);
    Result testSet(const SessionAction& a);
    Result waitReading(const SessionAction& a);
    void printAll();

    const std::vector<SessionAction>& actions_;
    Program& program_;
    QtMainWindow& window_;
    PortDeviceChooser& devices_;
    QtImageMenus& imageMenus_;
    ServiceReportActions& reports_;
    QtAlignMenu& alignMenu_;
    QtAlignView& alignView_;
    QtMessageBox& messageBox_;
    TestSetWindow& testSetWindow_;
    TestSetDialog& testSetDialog_;
    double timeoutS_;
    QTimer poll_;
    QElapsedTimer clock_;
    size_t index_ = 0;
    bool started_ = false;
    bool firstPoll_ = false;  // the action is asked for the first time: it begins now
    qint64 startedAt_ = 0;
    bool busy_ = false;
    bool finished_ = false;
    bool ended_ = false;
    int readingsFrom_ = 0;  // the test-set window's count of updates when the wait began
    int exitCode_ = 0;
    bool continueOnFail_ = false;  // a failed point does not end the script
    std::string failedPoints_;     // "Power(Hi) (line 5), TXF (line 7)"
};

}  // namespace kv7
