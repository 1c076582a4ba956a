#include "sim/sim_serial_port.h"

#include <algorithm>

namespace kv7::sim {

bool SimSerialPort::setPortOpen(bool open) {
    if (open == open_) return true;
    if (open) {
        if (failOpen_) return false;
        open_ = true;
        ++openCount_;
        return true;
    }
    // What was waiting is gone with the handle, in both directions; the radio does not notice
    // the port closing.
    open_ = false;
    in_.clear();
    radio_.flushInbound();
    return true;
}

bool SimSerialPort::clearOutBuffer() {
    if (open_) {
        lostInFlush_ += static_cast<int64_t>(radio_.inboundPending());
        radio_.flushInbound();
        lostInFlush_ -= static_cast<int64_t>(radio_.inboundPending());
    }
    return true;
}

int32_t SimSerialPort::outBufferCount() const {
    return open_ ? static_cast<int32_t>(radio_.inboundPending()) : 0;
}

ByteString SimSerialPort::input() {
    const size_t n =
        inputLen_ > 0 ? std::min(in_.size(), static_cast<size_t>(inputLen_)) : in_.size();
    ByteString out(in_.begin(), in_.begin() + static_cast<long>(n));
    in_.erase(in_.begin(), in_.begin() + static_cast<long>(n));
    // The cable pulled right after this read: the bytes read are still delivered, but the port
    // is gone before the program can answer them.
    if (!out.empty() && vanishAfterReads_ > 0 && --vanishAfterReads_ == 0) {
        open_ = false;
        in_.clear();
    }
    return out;
}

void SimSerialPort::output(const ByteString& bytes) {
    if (!open_) {
        ++writesWhileClosed_;
        return;
    }
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    radio_.receive(bytes);
}

void SimSerialPort::fire(int event) {
    if (handler_) handler_(event);
}

size_t SimSerialPort::pump() {
    if (pumping_) return 0;  // a handler that pumps again gets nothing new
    pumping_ = true;
    size_t total = 0;
    for (;;) {
        const ByteString chunk = radio_.takeDue(chunkSize_);
        if (chunk.empty()) break;
        total += chunk.size();
        if (!open_) continue;
        const size_t cap = static_cast<size_t>(std::max(inBufferSize_, 1));
        const size_t room = cap > in_.size() ? cap - in_.size() : 0;
        const size_t taken = std::min(room, chunk.size());
        in_.insert(in_.end(), chunk.begin(), chunk.begin() + static_cast<long>(taken));
        if (taken < chunk.size()) fire(kEvRxOver);
        if (open_ && rThreshold_ > 0 && inBufferCount() >= rThreshold_) fire(kEvReceive);
    }
    pumping_ = false;
    return total;
}

}  // namespace kv7::sim
