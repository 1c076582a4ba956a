#pragma once
#include <QObject>
#include <functional>
#include <string>

#include "align/align_view.h"
#include "platform/qt/qt_message_box.h"

class QWidget;

namespace kv7 {

class Program;

// What an alignment shows and asks on Qt. The key-up question is a box of its own, opened once
// the run's step is over and answered back through the event boundary; progress and the end go
// to whoever shows them (the test-set window), or nowhere.
class QtAlignView : public QObject, public AlignView {
  public:
    using ProgressHook = std::function<void(const AlignProgress&)>;

    QtAlignView(Program& program, QWidget* parent);

    // The scripted session: each question is still shown, and answered at once with OK (or
    // Cancel).
    void setAutoAnswer(bool on, bool cancel = false) { box_.setAutoAnswer(on, cancel); }
    // Told every question as it is asked.
    void setObserver(std::function<void(const std::string&)> observer) {
        box_.setObserver(std::move(observer));
    }
    void setOnProgress(ProgressHook hook) { onProgress_ = std::move(hook); }
    void setOnEnded(std::function<void()> hook) { onEnded_ = std::move(hook); }

    // AlignView
    void askKeyUp(const std::string& text) override;
    void showProgress(const AlignProgress& progress) override;
    void runEnded() override;

  private:
    void ask(const std::string& text, unsigned run);

    Program& program_;
    QtConfirmBox box_;
    ProgressHook onProgress_;
    std::function<void()> onEnded_;
    // Counts the runs that ended: a question of an earlier run is neither shown nor answered.
    unsigned runs_ = 0;
};

}  // namespace kv7
