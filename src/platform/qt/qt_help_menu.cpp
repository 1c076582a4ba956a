#include "platform/qt/qt_help_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <filesystem>

#include "app/program.h"
#include "platform/qt/qt_file_locations.h"
#include "platform/qt/qt_main_window.h"
#include "store/common.h"

namespace kv7 {

namespace {

QString shown(const std::string& path) {
    return QDir::toNativeSeparators(
        QFileInfo(qtPath(std::filesystem::path(path))).absoluteFilePath());
}

}  // namespace

QtHelpMenu::QtHelpMenu(QtMainWindow& window, Program& program, std::string constantsFile)
    : window_(window), program_(program), constantsFile_(std::move(constantsFile)) {
    menu_ = window_.menuBar()->addMenu(QStringLiteral("&Help"));
    about_ = menu_->addAction(QStringLiteral("&About…"));
    connect(about_, &QAction::triggered, this, [this] {
        // Plain text a technician can select, so a path can be copied into a file manager.
        QMessageBox box(QMessageBox::Information,
                        QStringLiteral("About %1").arg(QLatin1String(kAppTitle)), aboutText(),
                        QMessageBox::Ok, &window_);
        box.setTextFormat(Qt::PlainText);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.exec();
    });
}

QString QtHelpMenu::aboutText() const {
    const std::string settings = program_.link().profMain().FullPath();
    QString text =
        QStringLiteral("%1\nAdjust Utility for QT-KV7\n\n").arg(QLatin1String(kAppTitle));
    const QString settingsFolder =
        QDir::toNativeSeparators(QFileInfo(shown(settings)).absolutePath());
    if (QFileInfo(settingsFolder) != QFileInfo(QCoreApplication::applicationDirPath())) {
        text += QStringLiteral("Files are kept in %1, not in the program's folder %2.\n\n")
                    .arg(settingsFolder,
                         QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    }
    text += QStringLiteral("Settings: %1\n").arg(shown(settings));
    text +=
        QStringLiteral("Kept images: %1\n").arg(shown(program_.imageBackup().keptImagesFolder()));
    text +=
        QStringLiteral("Test-set profiles: %1\n").arg(shown(program_.testSet().profileFolder()));
    text += QStringLiteral("Constants: %1\n").arg(shown(constantsFile_));
    text += QStringLiteral("Alignment targets: %1").arg(shown(program_.align().path()));
    return text;
}

}  // namespace kv7
