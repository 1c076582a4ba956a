#pragma once
#include <string>

namespace kv7 {
// The one way the program tells the technician something: a modal box with one OK button.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the text (line breaks already expanded) and returns when OK is pressed.
    virtual void showMessage(const std::string& text) = 0;
};

// A short system beep, sounded at the end of an adjustment procedure.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};
}  // namespace kv7
