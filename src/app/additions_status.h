#pragma once
#include <string>

#include "view/status_line.h"

namespace kv7 {

// The status line as every part of the program reaches it: keeps the latest text, so a part
// built before the window (or a test without one) can still say and read it, and passes each
// text on to the platform's line once there is one.
class AdditionsStatus : public StatusLine {
  public:
    void setTarget(StatusLine* target) {
        target_ = target;
        if (target_ != nullptr && !text_.empty()) target_->showStatus(text_);
    }
    void showStatus(const std::string& text) override {
        text_ = text;
        if (target_ != nullptr) target_->showStatus(text);
    }
    const std::string& text() const { return text_; }

  private:
    StatusLine* target_ = nullptr;
    std::string text_;
};

}  // namespace kv7
