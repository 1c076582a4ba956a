#include "platform/qt/qt_heartbeat.h"

namespace kv7 {

QtHeartbeat::QtHeartbeat(std::function<void()> onTick) : onTick_(std::move(onTick)) {
    timer_.setInterval(kIntervalMs);
    // The timer's expiries are delivered on time rather than coalesced into coarse slots.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
        if (onTick_) onTick_();
    });
}

QtHeartbeat::~QtHeartbeat() {
    timer_.stop();
}

void QtHeartbeat::setEnabled(bool on) {
    if (on && !timer_.isActive()) timer_.start();
    if (!on) timer_.stop();
}

bool QtHeartbeat::enabled() const {
    return timer_.isActive();
}

}  // namespace kv7
