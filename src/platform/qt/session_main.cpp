// kv7-session: the program with its real window on the offscreen platform, driven by a
// technician's script instead of a technician, printing what the window shows.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>
#include <string>

#include "platform/qt/close_requests.h"
#include "platform/qt/port_devices.h"
#include "platform/qt/qt_file_locations.h"
#include "platform/qt/qt_program.h"
#include "platform/qt/session_options.h"
#include "platform/qt/session_runner.h"
#include "platform/qt/window_transcript.h"
#include "session/session_script.h"

namespace kv7 {
namespace {

// The offscreen platform says at every window that it cannot pass size hints on or raise it;
// that is no news for the technician reading the transcript. Everything else Qt says goes through.
QtMessageHandler qtDefaultHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support propagateSizeHints")) ||
        message.startsWith(QLatin1String("This plugin does not support raise")))
        return;
    if (qtDefaultHandler != nullptr) qtDefaultHandler(type, context, message);
}

// The profiles of --testsets go where the program looks for them.
bool putTestSetProfiles(const std::string& from, const std::string& folder) {
    if (from.empty()) return true;
    const QDir source(QString::fromStdString(from));
    if (!source.exists()) {
        std::cerr << "kv7-session: no folder " << from << "\n";
        return false;
    }
    const QDir target(QString::fromStdString(folder));
    if (!target.mkpath(QStringLiteral("."))) return false;
    for (const QString& name : source.entryList({QStringLiteral("*.testset")}, QDir::Files)) {
        if (!QFile::copy(source.filePath(name), target.filePath(name))) {
            std::cerr << "kv7-session: cannot copy " << source.filePath(name).toStdString() << "\n";
            return false;
        }
    }
    return true;
}

int run(int argc, char** argv) {
    // Never a display: the window is drawn offscreen whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv7-session"));

    SessionOptions o;
    bool help = false;
    if (!parseSessionOptions(QCoreApplication::arguments(), o, help)) {
        std::cerr << sessionUsage();
        return kSessionExitBadInput;
    }
    if (help) {
        std::cout << sessionUsage();
        return kSessionExitOk;
    }
    if (o.listPorts) {
        for (const PortListEntry& e :
             buildPortList(enumerateSerialDevices(), systemDeviceFiles(), std::string())) {
            say(portListLine(e));
        }
        return kSessionExitOk;
    }
    std::string text;
    if (!readSessionScript(o, text)) return kSessionExitBadInput;
    const SessionScript script = parseSessionScript(text);
    if (!script.ok()) {
        const std::string name = o.scriptFile.empty() ? "<stdin>" : o.scriptFile;
        for (const SessionScriptError& e : script.errors)
            std::cerr << name << ":" << e.line << ": " << e.message << "\n";
        return kSessionExitBadInput;
    }

    QTemporaryDir programDir;
    if (!programDir.isValid() ||
        !WritePresetSettings(programDir.path().toStdString(), o.com, o.port)) {
        std::cerr << "kv7-session: cannot prepare a program directory\n";
        return kSessionExitNoStart;
    }

    SessionBeeper beeper;
    QtProgramOptions options;
    options.programDirectory = programDir.path().toStdString();
    const FileLocations where = qtFileLocations();
    options.constantsFile = o.constFile.empty() ? nativePathText(where.constantsFile) : o.constFile;
    // The session's settings live in a folder of its own that goes at its end; what it keeps
    // goes where the program's own settings are.
    options.reportsFolder =
        o.reportsDir.empty() ? nativePathText(where.settingsFolder / "reports") : o.reportsDir;
    options.beeper = &beeper;
    QtProgram qt(std::move(options));
    if (!putTestSetProfiles(o.testSetsDir, qt.program().testSet().profileFolder())) {
        return kSessionExitBadInput;
    }
    qt.messages().setAutoAnswer(true);
    qt.messages().setObserver(sayMessageBox);
    qt.imageMenus().confirmBox().setAutoAnswer(true);
    qt.imageMenus().confirmBox().setObserver(sayQuestion);
    qt.alignView().setAutoAnswer(true);
    qt.alignView().setObserver(sayQuestion);
    Program& program = qt.program();
    QtMainWindow& window = qt.window();
    // What the additions say on the window's status line goes on the transcript too.
    window.setStatusObserver([](const std::string& text) { say("status: " + text); });

    SessionRunner runner(script, o, qt);
    window.setOnUnloaded([&runner] {
        runner.programEnded();
        QCoreApplication::quit();
    });
    // The script begins once the shown window has had its first tick, as a technician would
    // see it: port label written, controls shown or hidden by the controller.
    SessionRunner* startRunner = nullptr;
    qt.setAfterHeartbeat([&window, &startRunner] {
        if (startRunner != nullptr && window.isVisible()) {
            SessionRunner* r = startRunner;
            startRunner = nullptr;
            QTimer::singleShot(0, &window, [r] { r->start(); });
        }
    });

    // A settings file that could not be written at the end is told whatever else happened.
    const auto settingsStatus = [&program](int code) {
        const std::string failure = program.settingsSaveFailure();
        if (failure.empty()) return code;
        std::cerr << "kv7-session: " << failure << "\n";
        return code == kSessionExitOk ? kSessionExitSettingsNotSaved : code;
    };
    if (qt.start() != StartResult::Running) {
        say("=== the program did not start");
        return settingsStatus(kSessionExitNoStart);
    }
    // Told to end (a signal, a closed console): the window closes as its close box would,
    // putting an alignment's item back first, and the session fails as one cut short.
    CloseRequests requests([&window] { window.close(); });
    window.show();
    window.activateWindow();
    startRunner = &runner;
    app.exec();

    int code = runner.finished() ? runner.exitCode() : kSessionExitOk;
    if (requests.requested() && !runner.finished()) {
        say("=== told to end before the script was done");
        code = kSessionExitFailed;
    }
    if (code == kSessionExitOk && program.boundary().failures() > 0) {
        say("=== the program reported " + std::to_string(program.boundary().failures()) +
            " internal error(s)");
        code = kSessionExitInternal;
    }
    return settingsStatus(code);
}

}  // namespace
}  // namespace kv7

int main(int argc, char** argv) {
    return kv7::run(argc, argv);
}
