#include "platform/qt/qt_help_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/program.h"
#include "platform/qt/qt_file_locations.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_strings.h"
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
    manual_ = menu_->addAction(QStringLiteral("&Manual"));
    manual_->setShortcut(QKeySequence(Qt::Key_F1));
    manual_->setShortcutContext(Qt::ApplicationShortcut);
    connect(manual_, &QAction::triggered, this, [this] { openManual(); });
    open_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
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

bool QtHelpMenu::openManual() {
    const QString path = installedManual();
    if (path.isEmpty()) {
        QMessageBox::information(&window_, QStringLiteral("Manual"),
                                 QStringLiteral("The manual (README) was not installed with the "
                                                "program, beside it or in its doc folder."));
        return false;
    }
    if (open_ && open_(QUrl::fromLocalFile(path))) return true;
    showInWindow(path);
    return true;
}

// Markdown and HTML are shown formatted, anything else as it is.
void QtHelpMenu::showInWindow(const QString& path) {
    if (manualWindow_ == nullptr) {
        auto* dialog = new QDialog(&window_, Qt::Window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(QStringLiteral("Manual \u2014 %1").arg(QFileInfo(path).fileName()));
        auto* text = new QTextBrowser(dialog);
        text->setOpenExternalLinks(true);
        QFile file(path);
        const QString content =
            file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        if (path.endsWith(QLatin1String(".md"), Qt::CaseInsensitive)) {
            text->setMarkdown(content);
        } else if (path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)) {
            text->setHtml(content);
        } else {
            text->setPlainText(content);
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
        connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
        auto* layout = new QVBoxLayout(dialog);
        layout->addWidget(text);
        layout->addWidget(buttons);
        const QRect screen = window_.screen()->availableGeometry();
        dialog->resize(std::min(760, screen.width()), std::min(640, screen.height()));
        manualWindow_ = dialog;
    }
    manualWindow_->show();
    manualWindow_->raise();
    manualWindow_->activateWindow();
}

QString QtHelpMenu::aboutText() const {
    const std::string settings = program_.link().profMain().FullPath();
    QString text = QStringLiteral("%1\nAdjust Utility for QT-KV7\n").arg(QLatin1String(kAppTitle));
#ifdef KV7_VERSION
    text += QStringLiteral("Version %1\n").arg(QLatin1String(KV7_VERSION));
#endif
    const clsCmcRadio& radio = program_.radio();
    text += QStringLiteral("Radios: QT-KV7, model code %1, sub names up to %2\n\n")
                .arg(qs(radio.radioNameM()), qs(radio.radionameS()));
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
    text += QStringLiteral("Alignment targets: %1\n").arg(shown(program_.align().path()));
    const QString manual = installedManual();
    text += QStringLiteral("Manual: %1")
                .arg(manual.isEmpty() ? QStringLiteral("not installed")
                                      : QDir::toNativeSeparators(manual));
    return text;
}

}  // namespace kv7
