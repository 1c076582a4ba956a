#pragma once
#include <filesystem>
#include <string>

#include "serial/serial_link.h"

namespace kv7::test {

// The sample constants file of the repository.
inline std::string constIniPath() {
    return (std::filesystem::path(__FILE__)
                .parent_path()
                .parent_path()
                .parent_path()
                .parent_path() /
            "data" / "Const.ini")
        .string();
}

// A heartbeat that never fires by itself: the test runs each tick.
class NullTimer : public HeartbeatTimer {
  public:
    void setEnabled(bool on) override { on_ = on; }
    bool enabled() const override { return on_; }

  private:
    bool on_ = false;
};

}  // namespace kv7::test
