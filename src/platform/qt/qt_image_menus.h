#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <utility>

#include "app/event_boundary.h"
#include "app/image_backup.h"
#include "app/save_folders.h"
#include "platform/qt/qt_message_box.h"

class QAction;

namespace kv7 {

class QtMainWindow;

// The image items of the window's menus: File > "Save image as read…", "Save current image…"
// and "Write image to radio…" above "Exit", and Option > "Keep a copy of every image read".
// Each runs through the event boundary like every other menu.
class QtImageMenus : public QObject {
  public:
    QtImageMenus(QtMainWindow& window, ImageBackup& backup, EventBoundary& boundary);

    QtConfirmBox& confirmBox() { return confirm_; }
    // The image dialogs start in the folder remembered there, and remember where they went.
    void setSaveFolders(SaveFolders* folders) { folders_ = folders; }

    // Whether a radio is connected now; "Write image to radio…" waits for one. None: not asked.
    void setRadioConnected(std::function<bool()> connected) {
        radioConnected_ = std::move(connected);
    }

    // Enables the items by what the backup can do now (a grey one says why in its tooltip) and
    // sets the check mark.
    void refresh();

    QAction* saveAsReadAction() const { return saveAsRead_; }
    QAction* saveCurrentAction() const { return saveCurrent_; }
    QAction* writeAction() const { return write_; }
    QAction* keepAction() const { return keep_; }

    // The items' work once a file is chosen; false when it was not done (a message was shown).
    bool saveAsRead(const std::string& path);
    bool saveCurrent(const std::string& path);
    bool writeImage(const std::string& path);
    void setKeepImages(bool on);

  private:
    QString askSavePath(const QString& title, SavedFileKind kind);
    // `input`: the work changes the radio, so it is refused while the inputs are locked.
    bool run(const char* what, const std::function<bool()>& work, bool input = false);
    // Where an image dialog went: the next one of any image starts there.
    void chose(const QString& path);
    // Where the next image dialog starts: the remembered folder while it is there.
    QString startFolder();

    QtMainWindow& window_;
    ImageBackup& backup_;
    EventBoundary& boundary_;
    QtConfirmBox confirm_;
    QAction* saveAsRead_ = nullptr;
    QAction* saveCurrent_ = nullptr;
    QAction* write_ = nullptr;
    QAction* keep_ = nullptr;
    QString lastFolder_;
    SaveFolders* folders_ = nullptr;
    std::function<bool()> radioConnected_;
};

}  // namespace kv7
