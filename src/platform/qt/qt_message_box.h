#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/confirm_sink.h"
#include "store/message_sink.h"

namespace kv7 {

// The program's message box: modal, exclamation icon (information for good news), one OK
// button, the application title.
class QtMessageBox : public MessageSink {
  public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }
    // When on, each box is still shown but its OK is pressed at once, so a session without a
    // technician (tests, the offscreen platform) never waits on it.
    void setAutoAnswer(bool on) { autoAnswer_ = on; }
    bool autoAnswer() const { return autoAnswer_; }
    // Told every text as it is shown.
    void setObserver(std::function<void(const std::string&)> observer) {
        observer_ = std::move(observer);
    }
    // Every text shown so far, in order.
    const std::vector<std::string>& shown() const { return shown_; }
    // Says which texts are good news, shown with the information icon instead.
    void setGoodNews(std::function<bool(const std::string&)> goodNews) {
        goodNews_ = std::move(goodNews);
    }

    void showMessage(const std::string& text) override;

  private:
    QPointer<QWidget> parent_;
    bool autoAnswer_ = false;
    std::function<void(const std::string&)> observer_;
    std::function<bool(const std::string&)> goodNews_;
    std::vector<std::string> shown_;
};

// The program's question box: modal, question icon, OK and Cancel (Cancel the default, so a
// stray Enter never overwrites a radio), the application title.
class QtConfirmBox : public ConfirmSink {
  public:
    explicit QtConfirmBox(QWidget* parent = nullptr) : parent_(parent) {}

    // When on, each box is still shown but answered at once (the scripted session): with OK, or
    // with Cancel when `cancel`.
    void setAutoAnswer(bool on, bool cancel = false) {
        autoAnswer_ = on;
        autoCancel_ = cancel;
    }
    // Told every question as it is asked.
    void setObserver(std::function<void(const std::string&)> observer) {
        observer_ = std::move(observer);
    }

    bool confirm(const std::string& text) override;

  private:
    QPointer<QWidget> parent_;
    bool autoAnswer_ = false;
    bool autoCancel_ = false;
    std::function<void(const std::string&)> observer_;
};

// The system's short beep.
class QtBeeper : public Beeper {
  public:
    void beep() override;
    int count() const { return count_; }

  private:
    int count_ = 0;
};

}  // namespace kv7
