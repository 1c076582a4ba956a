#pragma once
#include <QObject>
#include <QString>
#include <string>

class QAction;
class QMenu;

namespace kv7 {

class Program;
class QtMainWindow;

// The "Help" menu at the end of the menu bar. "About…" names the program and the folders its
// files are in, so a technician can find the settings, the kept images and the test-set
// profiles wherever the program had to put them.
class QtHelpMenu : public QObject {
  public:
    QtHelpMenu(QtMainWindow& window, Program& program, std::string constantsFile);

    QMenu* menu() const { return menu_; }
    QAction* aboutAction() const { return about_; }
    // What "About…" shows.
    QString aboutText() const;

  private:
    QtMainWindow& window_;
    Program& program_;
    std::string constantsFile_;
    QMenu* menu_ = nullptr;
    QAction* about_ = nullptr;
};

}  // namespace kv7
