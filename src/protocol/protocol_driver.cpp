#include "protocol/protocol_driver.h"

#include <algorithm>

#include "protocol/frame_format.h"

namespace kv7 {

namespace {

constexpr size_t kRxBufferMax = 256;
constexpr int32_t kMinFreeOutBuffer = 256;
constexpr size_t kAdrListEntry = 10;  // "0000-13FF,"

// A hex field of the clone write list, digits read up to the first non-digit, unsigned.
int32_t hexField(const std::string& text, size_t pos, size_t len) {
    int32_t value = 0;
    for (size_t i = pos; i < pos + len && i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            break;
        }
        value = value * 16 + d;
    }
    return value;
}

}  // namespace

clsCmcQkv3Drv::clsCmcQkv3Drv(TickSource& ticks) : waitTick_(ticks) {
    Reset();
}

void clsCmcQkv3Drv::setWorkMode(int16_t mode) {
    workMode_ = mode;
    varLastE8Answer_.clear();
    lastEeAdr_ = 0;
    waitAnswer_ = (mode == 1 || mode == 2 || mode == 4);
}

void clsCmcQkv3Drv::setCloneWriteAdrList(const std::string& list) {
    cloneWriteAdrList_ = list;
    selectCloneWriteEntry();
}

void clsCmcQkv3Drv::selectCloneWriteEntry() {
    // Ranges whose end lies before their start hold nothing to send.
    while (cloneWriteAdrList_.size() >= kAdrListEntry &&
           hexField(cloneWriteAdrList_, 5, 4) < hexField(cloneWriteAdrList_, 0, 4)) {
        cloneWriteAdrList_.erase(0, kAdrListEntry);
    }
    cloneWriteAdr_ =
        cloneWriteAdrList_.size() >= kAdrListEntry ? hexField(cloneWriteAdrList_, 0, 4) : -1;
}

void clsCmcQkv3Drv::setNowError(int16_t v) {
    nowError_ = v;
    if (v != 0) lastError_ = v;
    goIdle();
}

bool clsCmcQkv3Drv::SendEnable() const {
    return sendReady_ && myObjCom != nullptr && myObjCom->comSendEnable() &&
           myObjCom->outBufferFree() > kMinFreeOutBuffer;
}

void clsCmcQkv3Drv::goIdle() {
    waitState_ = 0;
    txFrame_.clear();
    running_ = false;
    retryCount_ = 0;
    sendReady_ = true;
}

void clsCmcQkv3Drv::setWaitState(int16_t s) {
    waitState_ = s;
    // A frame written behind others in the port's transmit queue leaves only after them: its
    // wait counts from then, not from the write.
    if (s == 1) waitTick_.setCounter(echoTimeout_ + queuedAheadMs_);
    if (s == 2) waitTick_.setCounter(answerTimeout_ + queuedAheadMs_);
}

int16_t clsCmcQkv3Drv::RealSend(const ByteString& payload) {
    if (!txFrame_.empty() || !SendEnable()) return 1;
    lastPayload_ = payload;
    txFrame_ = buildFrame(payload);
    if (workMode_ == 5) e8SubCommand_ = payload.size() >= 6 ? payload[5] : 0;
    queuedAheadMs_ = myObjCom->queuedLineMs();
    myObjCom->output(txFrame_);
    sendReady_ = false;
    if (waitEcho()) {
        setWaitState(1);
        running_ = true;
    } else if (waitAnswer_) {
        setWaitState(2);
        running_ = true;
    } else {
        goIdle();
    }
    // A request without an answer ends once written; its echo is then unsolicited input.
    // A clone write packet stays in echo wait: its echo paces the next packet.
    if (!waitAnswer_ && workMode_ != 3) goIdle();
    return 0;
}

int16_t clsCmcQkv3Drv::Send(const ByteString& payload) {
    const int16_t result = RealSend(payload);
    // A refused request changes nothing, not even the re-sends of the exchange under way.
    if (result == 0) retriesLeft_ = retryCount_;
    return result;
}

int16_t clsCmcQkv3Drv::RetrySend() {
    if (retriesLeft_ < 1) return 1;
    goIdle();
    const int16_t result = RealSend(lastPayload_);
    --retriesLeft_;
    return result;
}

void clsCmcQkv3Drv::task() {
    switch (waitState_) {
        case 1:
            if (waitTick_.counter() < 1) setNowError(1);
            break;
        case 2:
            if (waitTick_.counter() < 1 && RetrySend() != 0) setNowError(2);
            break;
        default: break;
    }
}

void clsCmcQkv3Drv::Reset() {
    goIdle();
    ClearRxBuffer();
    cloneWriteAdr_ = 0;
    nowError_ = 0;
}

void clsCmcQkv3Drv::ClearRxBuffer() {
    rxBuffer_.clear();
    outsideFrame_ = true;
}

void clsCmcQkv3Drv::appendRx(const uint8_t* begin, const uint8_t* end) {
    rxBuffer_.insert(rxBuffer_.end(), begin, end);
    if (rxBuffer_.size() > kRxBufferMax) {
        rxBuffer_.erase(rxBuffer_.begin(),
                        rxBuffer_.end() - static_cast<std::ptrdiff_t>(kRxBufferMax));
    }
}

void clsCmcQkv3Drv::read(const ByteString& data) {
    ByteString carry;  // bytes after an echo, taken back out of the receive buffer
    Bytes rest{data.data(), data.data() + data.size()};
    while (rest.begin != rest.end) {
        switch (waitState_) {
            case 1: rest = readEchoWait(rest, carry); break;
            case 2: rest = readAnswerWait(rest); break;
            default: rest.begin = rest.end; break;
        }
    }
}

clsCmcQkv3Drv::Bytes clsCmcQkv3Drv::readEchoWait(Bytes data, ByteString& carry) {
    // The kept bytes and the whole new chunk are searched together, so an echo at the head of
    // a chunk longer than the buffer is not lost to the buffer's bound.
    ByteString joined;
    joined.reserve(rxBuffer_.size() + static_cast<size_t>(data.end - data.begin));
    joined.insert(joined.end(), rxBuffer_.begin(), rxBuffer_.end());
    joined.insert(joined.end(), data.begin, data.end);
    const auto hit = std::search(joined.begin(), joined.end(), txFrame_.begin(), txFrame_.end());
    if (txFrame_.empty() || hit == joined.end()) {
        rxBuffer_.clear();
        appendRx(joined.data(), joined.data() + joined.size());
        return {data.end, data.end};
    }
    // The echo and what came before it are consumed, so a later echo wait cannot match a
    // stale copy of an earlier frame.
    carry.assign(hit + static_cast<std::ptrdiff_t>(txFrame_.size()), joined.end());
    rxBuffer_.clear();
    onFrameEvent();
    outsideFrame_ = true;
    return {carry.data(), carry.data() + carry.size()};
}

clsCmcQkv3Drv::Bytes clsCmcQkv3Drv::readAnswerWait(Bytes data) {
    const uint8_t* s = std::find(data.begin, data.end, kFramePreamble);
    const uint8_t* e = std::find(data.begin, data.end, kFrameEnd);
    const bool hasStart = s != data.end;
    const bool hasEnd = e != data.end;

    if (hasStart && (!hasEnd || s < e)) {
        // A frame starts; each further FE of the preamble restarts it.
        outsideFrame_ = false;
        rxBuffer_.clear();
        return {s + 1, data.end};
    }
    if (outsideFrame_) {
        // Noise outside a frame; a frame start after a stray FD is still taken.
        return {hasStart ? s : data.end, data.end};
    }
    if (!hasEnd) {
        appendRx(data.begin, data.end);
        return {data.end, data.end};
    }
    appendRx(data.begin, e);
    onFrameEvent();
    rxBuffer_.clear();
    outsideFrame_ = true;
    return {e + 1, data.end};
}

void clsCmcQkv3Drv::onFrameEvent() {
    switch (waitState_) {
        case 1:
            if (waitAnswer_) {
                queuedAheadMs_ = 0;  // the echo is in: what waited ahead has gone out
                setWaitState(2);
            } else if (workMode_ == 3) {
                goIdle();
                int16_t result;
                if (cloneWriteAdr_ >= 0 && cloneWriteAdrList_.size() >= kAdrListEntry) {
                    result = Send(makeCloneWritePacket());
                } else {
                    setWorkMode(4);
                    result = Send(cloneEndPayload());
                }
                if (result != 0) setNowError(7);
            } else {
                goIdle();
            }
            break;
        case 2: {
            varLastE8Answer_ = rxBuffer_;
            const ByteString record = rxBuffer_;
            if (parseAnswer(record) == 0) goIdle();
            break;
        }
        default: break;
    }
}

int16_t clsCmcQkv3Drv::parseAnswer(const ByteString& record) {
    if (!isAnswerAddressed(record)) return 1;
    const uint8_t command = record[2];
    if (!answerBelongsToMode(command, workMode_)) return 1;
    if (!checkAnswer(record)) {
        setNowError(3);
        return 1;
    }
    switch (command) {
        case kCmdIdentAnswer: ansInfo_ = record; return 0;
        case kCmdCloneData:
            waitTick_.setCounter(answerTimeout_);
            if (!storeCloneData(record)) setNowError(4);
            return 1;
        case kCmdCloneEnd: return 0;
        case kCmdCloneWriteResult:
            if (record[3] == 0x00) return 0;
            setNowError(6);
            return 1;
        case kCmdAdjust: varLastE8Answer_.assign(record.begin() + 3, record.end()); return 0;
        default: return 1;
    }
}

bool clsCmcQkv3Drv::checkAnswer(const ByteString& record) const {
    return kv7::checkAnswer(record, e8SubCommand_);
}

bool clsCmcQkv3Drv::storeCloneData(const ByteString& record) {
    const auto block = readCloneDataRecord(record);
    if (!block || myEep_ == nullptr) return false;
    // WriteBlock checks both ends before it stores a byte: a refused block changes nothing.
    if (myEep_->WriteBlock(block->address, block->data) != 0) return false;
    lastEeAdr_ = block->address + static_cast<int32_t>(block->data.size()) - 1;
    return true;
}

ByteString clsCmcQkv3Drv::makeCloneWritePacket() {
    const int32_t end = hexField(cloneWriteAdrList_, 5, 4);
    const int32_t a = cloneWriteAdr_;
    // The record's count is one byte.
    const int32_t size = std::clamp<int32_t>(sizDataOfPacket_, 1, 255);
    const int32_t n = std::max<int32_t>((a + size - 1 <= end) ? size : end - a + 1, 0);

    ByteString data;
    data.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        // Addresses outside the image read as 0, so the packet always holds n bytes.
        data.push_back(myEep_ ? static_cast<uint8_t>(myEep_->ReadByte(a + i)) : 0);
    }
    ByteString payload = buildCloneDataPayload(a, data);
    lastEeAdr_ = a + n - 1;

    if (a + n - 1 < end) {
        cloneWriteAdr_ = a + n;
    } else {
        cloneWriteAdrList_.erase(0, kAdrListEntry);
        selectCloneWriteEntry();
    }
    return payload;
}

}  // namespace kv7
