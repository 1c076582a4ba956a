#pragma once
#include <QTimer>
#include <functional>

#include "serial/serial_link.h"

namespace kv7 {

// The link's 50 ms heartbeat on a Qt timer of the user-interface thread.
class QtHeartbeat : public HeartbeatTimer {
  public:
    static constexpr int kIntervalMs = 50;

    explicit QtHeartbeat(std::function<void()> onTick = {});
    ~QtHeartbeat() override;

    void setOnTick(std::function<void()> onTick) { onTick_ = std::move(onTick); }
    void setEnabled(bool on) override;
    bool enabled() const override;

  private:
    QTimer timer_;
    std::function<void()> onTick_;
};

}  // namespace kv7
