#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace kv7 {

class Program;

// Esc cancels a running alignment from any window the run shows in (the main window, the
// test-set window). It sees the key before the window's own key handling, and only while a run
// goes on; otherwise Esc keeps its meaning there (the cancel button). A question box open on
// top has the key to itself.
class QtAlignEscape : public QObject {
  public:
    explicit QtAlignEscape(Program& program);
    ~QtAlignEscape() override;

    // A window whose Esc cancels the run.
    void watch(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool isWatchedWindow(QObject* receiver) const;

    Program& program_;
    std::vector<QPointer<QWidget>> windows_;
};

}  // namespace kv7
