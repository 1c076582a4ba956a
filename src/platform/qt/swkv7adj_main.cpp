// swkv7adj: the adjustment program with its window, its serial port and its heartbeat.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "platform/qt/close_requests.h"
#include "platform/qt/qt_file_locations.h"
#include "platform/qt/qt_program.h"

namespace kv7 {
namespace {

// Exit codes besides 0 (a normal end).
constexpr int kExitFailed = 1;            // an internal error during start-up
constexpr int kExitConstantsMissing = 2;  // "Const.ini" unreadable
constexpr int kExitSecondInstance = 3;    // another copy runs
constexpr int kExitSettingsNotSaved = 4;  // the settings could not be saved at the end

int run(QApplication& app) {
    const FileLocations where = qtFileLocations();
    // The user's own folder is made on first use, so the first save finds it.
    QDir().mkpath(qtPath(where.settingsFolder));
    QtProgramOptions options;
    options.programDirectory = nativePathText(where.settingsFolder);
    options.constantsFile = nativePathText(where.constantsFile);
    options.singleInstance = true;
    QtProgram qt(std::move(options));
    // Nobody can press OK on the offscreen platform: each box is told on the terminal instead.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        qt.messages().setAutoAnswer(true);
        qt.messages().setObserver([](const std::string& text) {
            std::fprintf(stderr, "swkv7adj message: %s\n", text.c_str());
        });
    }
    QtMainWindow& window = qt.window();

    int code = 0;
    switch (qt.start()) {
        case StartResult::Running: break;
        case StartResult::SecondInstance: return kExitSecondInstance;
        case StartResult::ConstantsMissing: code = kExitConstantsMissing; break;
        case StartResult::Failed: code = kExitFailed; break;
    }
    if (code == 0) {
        // Being told to end (Ctrl+C, kill, a closed terminal or console, the session's end)
        // ends like closing the window: the port is closed and the settings are saved.
        CloseRequests requests([&window] { window.close(); });
        window.show();
        // Every way out (close box, File > Exit, the session ending, a signal) runs the window's
        // close sequence, which ends this loop; the loop's own end runs it for what is left.
        if (!window.unloaded()) code = app.exec();
        // The window is gone: a record kept now is named where a terminal shows it.
        AdditionsStatus& status = qt.program().additionsStatus();
        const std::string before = status.text();
        qt.program().recordKeeper().programEnding();
        if (status.text() != before) std::fprintf(stderr, "swkv7adj: %s\n", status.text().c_str());
    }
    // A technician who lost the port setting should not learn it only at the next start.
    const std::string failure = qt.program().settingsSaveFailure();
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
    QCoreApplication::setApplicationName(QString::fromLatin1(kv7::kUserFolderName));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    return kv7::run(app);
}
