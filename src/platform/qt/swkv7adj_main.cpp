// swkv7adj: the adjustment program with its window, its serial port and its heartbeat.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "app/program.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_image_menus.h"
#include "platform/qt/qt_instance_lock.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/service_report_actions.h"
#include "protocol/tick.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#endif

namespace kv7 {
namespace {

// Exit codes besides 0 (a normal end).
constexpr int kExitFailed = 1;            // an internal error during start-up
constexpr int kExitConstantsMissing = 2;  // "Const.ini" unreadable
constexpr int kExitSecondInstance = 3;    // another copy runs
constexpr int kExitSettingsNotSaved = 4;  // the settings could not be saved at the end

constexpr const char* kConstantsFile = "Const.ini";

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &c, 1);
}

// Being told to end (Ctrl+C, kill, a closed terminal) ends like closing the window: the
// port is closed and the settings are saved.
void closeOnTerminationSignals(QtMainWindow& window) {
    if (pipe(signalPipe) != 0) return;
    for (int fd : signalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char buf[16];
        while (read(signalPipe[0], buf, sizeof buf) > 0) {
        }
        notifier->setEnabled(false);
        window.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}
#endif

int run(QApplication& app) {
    const std::string programDir =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");

    QtMessageBox messages;
    // Nobody can press OK on the offscreen platform: each box is told on the terminal instead.
    if (offscreen) {
        messages.setAutoAnswer(true);
        messages.setObserver([](const std::string& text) {
            std::fprintf(stderr, "swkv7adj message: %s\n", text.c_str());
        });
    }
    QtBeeper beeper;
    QtInstanceLock lock;
    QtSerialPort port;
    SteadyTickSource ticks;
    QtHeartbeat heartbeat;
    QtMainWindow window;
    messages.setParent(&window);

    Program program(port, ticks, messages, beeper, window, programDir, kConstantsFile, &heartbeat);
    port.setSettingsFile(program.link().profMain().FullPath());
    PortDeviceChooser devices(window, program, port);
    heartbeat.setOnTick([&program] { program.heartbeat(); });
    window.setLogic(&program.window());
    window.setEventBoundary(&program.boundary());
    QtImageMenus imageMenus(window, program.imageBackup(), program.boundary());
    ServiceReportActions reports(window, program, port);
    // The window and the program go before the lock and the port; nothing may call back then.
    struct Detach {
        QtMainWindow& w;
        QtHeartbeat& h;
        ~Detach() {
            h.setEnabled(false);
            h.setOnTick({});
            w.setLogic(nullptr);
            w.setEventBoundary(nullptr);
        }
    } detach{window, heartbeat};

    int code = 0;
    switch (program.Main([&lock] { return lock.anotherInstanceRunning(); })) {
        case StartResult::Running: break;
        case StartResult::SecondInstance: return kExitSecondInstance;
        case StartResult::ConstantsMissing: code = kExitConstantsMissing; break;
        case StartResult::Failed: code = kExitFailed; break;
    }
    if (code == 0) {
#ifdef Q_OS_UNIX
        closeOnTerminationSignals(window);
#endif
        window.show();
        // Every way out (close box, File > Exit, the session ending, a signal) runs the window's
        // close sequence, which ends this loop; the loop's own end runs it for what is left.
        if (!window.unloaded()) code = app.exec();
    }
    // A technician who lost the port setting should not learn it only at the next start.
    const std::string failure = program.settingsSaveFailure();
    if (!failure.empty()) {
        std::fprintf(stderr, "swkv7adj: %s\n", failure.c_str());
        if (code == 0) code = kExitSettingsNotSaved;
    }
    return code;
}

}  // namespace
}  // namespace kv7

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("swkv7adj"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    return kv7::run(app);
}
