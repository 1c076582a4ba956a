#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

class QAction;
class QDialog;
class QMenu;

namespace kv7 {

class Program;
class QtMainWindow;

// The "Help" menu at the end of the menu bar. "Manual" (F1) opens the installed README in the
// system's viewer, or in a window of its own when the system has none. "About…" names the
// program, its version, the radios it serves and the folders its files are in, so a technician
// can find the settings, the kept images and the test-set profiles wherever the program had to
// put them.
class QtHelpMenu : public QObject {
  public:
    QtHelpMenu(QtMainWindow& window, Program& program, std::string constantsFile);

    QMenu* menu() const { return menu_; }
    QAction* aboutAction() const { return about_; }
    QAction* manualAction() const { return manual_; }
    // What "About…" shows.
    QString aboutText() const;

    // How a file is handed to the system's viewer; false when none took it (tests).
    void setOpener(std::function<bool(const QUrl&)> open) { open_ = std::move(open); }
    // Opens the manual; false when there is none (a message says so).
    bool openManual();
    // The window showing the manual when the system had no viewer for it; null when none.
    QDialog* manualWindow() const { return manualWindow_; }

  private:
    void showInWindow(const QString& path);

    QtMainWindow& window_;
    Program& program_;
    std::string constantsFile_;
    QMenu* menu_ = nullptr;
    QAction* manual_ = nullptr;
    QAction* about_ = nullptr;
    std::function<bool(const QUrl&)> open_;
    QPointer<QDialog> manualWindow_;
};

}  // namespace kv7
