#include "platform/qt/qt_image_menus.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include "platform/qt/entry_reason.h"
#include "platform/qt/qt_main_window.h"

namespace kv7 {

namespace {

const QString kFilter = QStringLiteral("Radio images (*.kv7img);;All files (*)");
const QString kNoImage = QStringLiteral(
    "Nothing read yet: connect to the radio first (its clone read gives the image).");
const QString kWriting =
    QStringLiteral("An image is being written to the radio: wait until it has been checked.");
const QString kNoRadio = QStringLiteral(
    "Connect the radio first: the image is written to the connected radio and read back.");

}  // namespace

QtImageMenus::QtImageMenus(QtMainWindow& window, ImageBackup& backup, EventBoundary& boundary)
    : QObject(&window),
      window_(window),
      backup_(backup),
      boundary_(boundary),
      confirm_(&window),
      lastFolder_(QDir::homePath()) {
    backup_.setConfirmSink(&confirm_);
    QMenu* file = window.fileMenu();
    // A grey entry says why in its tooltip.
    file->setToolTipsVisible(true);
    QAction* exit = window.exitAction();
    saveAsRead_ = new QAction(QStringLiteral("Save image &as read…"), this);
    saveCurrent_ = new QAction(QStringLiteral("Save &current image…"), this);
    write_ = new QAction(QStringLiteral("&Write image to radio…"), this);
    file->insertAction(exit, saveAsRead_);
    file->insertAction(exit, saveCurrent_);
    file->insertAction(exit, write_);
    file->insertSeparator(exit);
    keep_ = new QAction(QStringLiteral("&Keep a copy of every image read"), this);
    keep_->setCheckable(true);
    window.optionMenu()->addSeparator();
    window.optionMenu()->addAction(keep_);

    connect(file, &QMenu::aboutToShow, this, [this] { refresh(); });
    connect(window.optionMenu(), &QMenu::aboutToShow, this, [this] { refresh(); });
    connect(saveAsRead_, &QAction::triggered, this, [this] {
        const QString path =
            askSavePath(QStringLiteral("Save image as read"), SavedFileKind::ImageAsRead);
        if (!path.isEmpty()) saveAsRead(path.toStdString());
    });
    connect(saveCurrent_, &QAction::triggered, this, [this] {
        const QString path =
            askSavePath(QStringLiteral("Save current image"), SavedFileKind::ImageCurrent);
        if (!path.isEmpty()) saveCurrent(path.toStdString());
    });
    connect(write_, &QAction::triggered, this, [this] {
        // Refused before the file is asked for, not after.
        if (boundary_.refuseInput()) return;
        const QString path = QFileDialog::getOpenFileName(
            &window_, QStringLiteral("Write image to radio"), startFolder(), kFilter);
        if (path.isEmpty()) return;
        chose(path);
        writeImage(path.toStdString());
    });
    connect(keep_, &QAction::triggered, this, [this](bool on) { setKeepImages(on); });
    refresh();
}

void QtImageMenus::refresh() {
    const bool read = backup_.hasAsRead();
    const bool writing = backup_.writing();
    const bool radio = !radioConnected_ || radioConnected_();
    enableWithReason(saveAsRead_, read, kNoImage);
    enableWithReason(saveCurrent_, read && !writing, writing ? kWriting : kNoImage);
    enableWithReason(write_, read && !writing && radio,
                     writing ? kWriting : (!radio ? kNoRadio : kNoImage));
    keep_->setChecked(backup_.keepImages());
}

QString QtImageMenus::askSavePath(const QString& title, SavedFileKind kind) {
    // Named by the read it holds, not by the time of saving.
    const QString name = QString::fromStdString(backup_.suggestedName(kind));
    const QString path =
        QFileDialog::getSaveFileName(&window_, title, QDir(startFolder()).filePath(name), kFilter);
    if (!path.isEmpty()) chose(path);
    return path;
}

QString QtImageMenus::startFolder() {
    if (folders_ != nullptr) {
        lastFolder_ = QString::fromStdString(
            folders_->startIn(SaveFolders::Kind::Images, lastFolder_.toStdString()));
    }
    return lastFolder_;
}

void QtImageMenus::chose(const QString& path) {
    lastFolder_ = QFileInfo(path).absolutePath();
    if (folders_ != nullptr)
        folders_->remember(SaveFolders::Kind::Images, lastFolder_.toStdString());
}

bool QtImageMenus::run(const char* what, const std::function<bool()>& work, bool input) {
    bool done = false;
    const auto handler = [&] { done = work(); };
    if (input) {
        boundary_.runInput(what, handler);
    } else {
        boundary_.run(what, handler);
    }
    refresh();
    return done;
}

bool QtImageMenus::saveAsRead(const std::string& path) {
    return run("File > Save image as read", [&] { return backup_.saveAsRead(path); });
}

bool QtImageMenus::saveCurrent(const std::string& path) {
    return run("File > Save current image", [&] { return backup_.saveCurrent(path); });
}

bool QtImageMenus::writeImage(const std::string& path) {
    return run(
        "File > Write image to radio", [&] { return backup_.writeImage(path); }, true);
}

void QtImageMenus::setKeepImages(bool on) {
    run("Option > Keep a copy of every image read", [&] {
        backup_.setKeepImages(on);
        return true;
    });
}

}  // namespace kv7
