#pragma once
#include <functional>
#include <string>
#include <vector>

#include "store/message_sink.h"

namespace kv7::test {

// Records every message box; onShow runs while the box is "open" (a nested event loop).
class FakeMessageSink : public MessageSink {
  public:
    std::vector<std::string> shown;
    std::function<void(const std::string&)> onShow;

    void showMessage(const std::string& text) override {
        shown.push_back(text);
        if (onShow) onShow(text);
    }
};

class FakeBeeper : public Beeper {
  public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

}  // namespace kv7::test
