#pragma once
#include <string>

namespace kv7 {

// A question the technician answers with OK or Cancel before the program does something that
// cannot be undone. True for OK.
class ConfirmSink {
  public:
    virtual ~ConfirmSink() = default;
    virtual bool confirm(const std::string& text) = 0;
};

}  // namespace kv7
