#pragma once
#include <string>

namespace kv7 {

// The one line under the window's own controls that belongs to the additions (saved files,
// a record kept, a device gone): the program says there what it did, without asking.
class StatusLine {
  public:
    virtual ~StatusLine() = default;
    virtual void showStatus(const std::string& text) = 0;
};

}  // namespace kv7
