#include "sim/sim_radio.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "sim/sim_physics.h"

namespace kv7::sim {

namespace {

constexpr uint8_t kPreamble = 0xFE;
constexpr uint8_t kEnd = 0xFD;
constexpr uint8_t kRadio = 0xEE;
constexpr uint8_t kController = 0xEF;
constexpr int64_t kUnitsPerMs = kLineUnitsPerSecond / 1000;
constexpr int64_t kUnitsPerByte = kLineUnitsPerByte;
constexpr size_t kMaxRecord = 512;
constexpr int32_t kBlockSize = 16;
constexpr uint8_t kSignature[] = {'V', 'e', 'x', 'o', ' ', 'I', 'n', 'c', '.'};

const char kHexDigits[] = "0123456789ABCDEF";

void appendAsciiHex(ByteString& out, uint8_t b) {
    out.push_back(static_cast<uint8_t>(kHexDigits[b >> 4]));
    out.push_back(static_cast<uint8_t>(kHexDigits[b & 15]));
}

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two ASCII hex characters at pos; -1 when they are not that.
int asciiHexByte(const ByteString& s, size_t pos) {
    if (pos + 1 >= s.size()) return -1;
    const int hi = hexValue(s[pos]), lo = hexValue(s[pos + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// EEPROM byte of each adjustment command that has one.
int adjustAddress(uint8_t number) {
    switch (number) {
        case 4: return 135;  // SQL
        case 5: return kEePowerHi;
        case 7: return kEePowerLo;
        case 8: return kEeMod;
        case 11: return 63;  // DTCS BAL
        default: break;
    }
    if (number >= 12 && number <= 15) return 68 + (number - 12);  // BPF T1..T4
    if (number >= 16 && number <= 35) return 92 + (number - 16);  // TXF band values
    if (number >= 36 && number <= 55) return 72 + (number - 36);  // TXF band slopes
    return -1;
}

}  // namespace

SimRadio::SimRadio(TickSource& ticks, SimOptions options, ByteString image)
    : ticks_(ticks), options_(std::move(options)) {
    if (!parseCode(options_.modelCode, model_) || !parseCode(options_.subName, sub_))
        throw std::invalid_argument("model code and sub name are four hex digits");
    setImage(image);
    now();
}

SimRadio::SimRadio(TickSource& ticks, SimOptions options)
    : SimRadio(ticks, options, sampleImage(options)) {}

void SimRadio::setImage(const ByteString& image) {
    if (image.size() != static_cast<size_t>(kImageSize))
        throw std::invalid_argument("an EEPROM image has 5120 bytes");
    image_ = image;
}

int64_t SimRadio::now() {
    if (unitsNow_) return lastUnits_ = unitsNow_();
    const int32_t t = ticks_.GetTickCount();
    if (!clockStarted_) {
        clockStarted_ = true;
        lastTick_ = t;
    }
    // The tick count wraps; a step back (a test resetting its clock) is not time running.
    const auto d =
        static_cast<int32_t>(static_cast<uint32_t>(t) - static_cast<uint32_t>(lastTick_));
    if (d > 0) {
        nowMs_ += d;
        lastTick_ = t;
    }
    return lastUnits_ = nowMs_ * kUnitsPerMs;
}

// ---- line ----

bool SimRadio::lineCut() const {
    if (offAt_ >= 0 && lastUnits_ >= offAt_) return true;
    return options_.faults.cutAfterBytes >= 0 && bytesSent_ >= options_.faults.cutAfterBytes;
}

void SimRadio::queueByte(uint8_t b, int64_t start) {
    if (lineCut()) return;
    int64_t t = std::max(start, lineFree_);
    if (options_.pacing) t += kUnitsPerByte;
    line_.push_back({b, t});
    lineFree_ = t;
    ++bytesSent_;
}

void SimRadio::queueEcho(uint8_t b) {
    if (!options_.faults.noEcho) queueByte(b, rxTime_);
}

ByteString SimRadio::frame(const ByteString& payload) const {
    ByteString f;
    f.reserve(payload.size() + 5);
    for (uint8_t b : {kPreamble, kPreamble, kController, kRadio}) f.push_back(b);
    for (uint8_t b : payload) f.push_back(b);
    f.push_back(kEnd);
    return f;
}

void SimRadio::queueFrame(const ByteString& payload, int32_t delayMs) {
    if (options_.faults.noAnswer) return;
    const int64_t start = std::max(rxTime_, lineFree_) + int64_t{delayMs} * kUnitsPerMs;
    if (options_.faults.noise) {
        for (int i = 0; i < 3; ++i) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            auto b = static_cast<uint8_t>(noiseSeed_ >> 16);
            if (b >= kEnd) b = static_cast<uint8_t>(b - 0x10);  // never a frame boundary
            queueByte(b, start);
        }
    }
    for (uint8_t b : frame(payload)) queueByte(b, start);
}

ByteString SimRadio::takeDue(size_t max) {
    advance();
    const int64_t t = now();
    ByteString out;
    while (!line_.empty() && out.size() < max && line_.front().due <= t) {
        out.push_back(line_.front().value);
        line_.pop_front();
    }
    return out;
}

int64_t SimRadio::unitsUntilNext() {
    advance();
    const int64_t t = now();
    int64_t next = -1;
    for (const std::deque<LineByte>* q : {&line_, &inbound_}) {
        if (q->empty()) continue;
        const int64_t wait = std::max<int64_t>(q->front().due - t, 0);
        next = next < 0 ? wait : std::min(next, wait);
    }
    return next;
}

int32_t SimRadio::msUntilNext() {
    const int64_t wait = unitsUntilNext();
    if (wait < 0) return -1;
    return static_cast<int32_t>((wait + kUnitsPerMs - 1) / kUnitsPerMs);
}

void SimRadio::dropLine() {
    line_.clear();
    inbound_.clear();
    lineFree_ = now();
    inboundFree_ = lineFree_;
    rx_ = Rx::Outside;
    record_.clear();
    writeOpen_ = false;
}

// ---- receiving ----

void SimRadio::receive(const ByteString& bytes, bool backToBack) {
    advance();
    const int64_t t = now();
    for (uint8_t b : bytes) {
        if (!options_.pacedIntake) {
            rxTime_ = t;
            takeIn(b);
            continue;
        }
        int64_t begin = std::max(t, inboundFree_);
        if (backToBack && inboundFree_ < t && t - inboundFree_ <= kUnitsPerByte)
            begin = inboundFree_;
        inboundFree_ = begin + kUnitsPerByte;
        inbound_.push_back({b, inboundFree_});
    }
    advance();
}

size_t SimRadio::inboundPending() {
    advance();
    return inbound_.size();
}

void SimRadio::flushInbound() {
    advance();
    const int64_t t = now();
    // The byte already on the wire is beyond the reach of a flush.
    const bool onWire = !inbound_.empty() && inbound_.front().due - kUnitsPerByte <= t;
    inbound_.erase(inbound_.begin() + (onWire ? 1 : 0), inbound_.end());
    inboundFree_ = onWire ? inbound_.front().due : std::min(inboundFree_, t);
}

void SimRadio::advance() {
    const int64_t t = now();
    while (!inbound_.empty() && inbound_.front().due <= t) {
        const LineByte in = inbound_.front();
        inbound_.pop_front();
        rxTime_ = in.due;
        takeIn(in.value);
    }
}

void SimRadio::takeIn(uint8_t b) {
    if (lineCut()) return;  // a dead line carries nothing either way
    queueEcho(b);
    rxByte(b);
}

void SimRadio::rxByte(uint8_t b) {
    switch (rx_) {
        case Rx::Outside:
            if (b == kPreamble) rx_ = Rx::Preamble;
            break;
        case Rx::Preamble:
            if (b == kPreamble) break;
            if (b == kEnd) {
                rx_ = Rx::Outside;
                frameDone({}, true);
                break;
            }
            record_.assign(1, b);
            rx_ = Rx::Body;
            break;
        case Rx::Body:
            if (b == kEnd) {
                rx_ = Rx::Outside;
                onRecord(record_);
            } else if (b == kPreamble) {
                rx_ = Rx::Preamble;  // a new frame starts; the broken one is dropped
                frameDone(record_, true);
            } else if (record_.size() >= kMaxRecord) {
                rx_ = Rx::Outside;
                frameDone(record_, true);
            } else {
                record_.push_back(b);
            }
            break;
    }
}

void SimRadio::frameDone(const ByteString& record, bool malformed) {
    if (malformed) ++malformedFrames_;
    if (frameListener_) frameListener_(record, malformed);
}

bool SimRadio::identityMatches(const ByteString& r) const {
    if (!options_.strictIdentity) return true;
    return r.size() >= 7 && r[3] == model_[0] && r[4] == model_[1] && r[5] == sub_[0] &&
           r[6] == sub_[1];
}

void SimRadio::onRecord(const ByteString& record) {
    // An adjustment command has a fixed length and its value in two hex digits.
    const bool badAdjust = record.size() >= 3 && record[2] == 0xE8 &&
                           (record.size() != 10 || asciiHexByte(record, 8) < 0);
    if (record.size() < 3 || record[0] != kRadio || record[1] != kController || badAdjust) {
        frameDone(record, true);
        return;
    }
    requests_.push_back(record);
    frameDone(record, false);
    const uint8_t command = record[2];
    // Any other request ends a clone write that was never closed.
    if (command != 0xE4 && command != 0xE5) writeOpen_ = false;
    switch (command) {
        case 0xE0: answerIdentification(); break;
        case 0xE2:
            if (identityMatches(record)) streamClone();
            break;
        case 0xE3:
            if (!identityMatches(record)) break;
            writeOpen_ = true;
            writeBad_ = false;
            staged_ = image_;
            writePackets_ = 0;
            break;
        case 0xE4:
            if (writeOpen_) takeClonePacket(record);
            break;
        case 0xE5:
            if (writeOpen_) endCloneWrite(record);
            break;
        case 0xE8:
            if (identityMatches(record)) adjust(record);
            break;
        default: break;
    }
}

// ---- requests ----

void SimRadio::answerIdentification() {
    ByteString p = {0xE1, model_[0], model_[1], sub_[0], sub_[1]};
    const char* more =
        "QT-KV7"
        "00012345";  // type and serial number, data bytes 5 to 18
    for (const char* c = more; *c; ++c) p.push_back(static_cast<uint8_t>(*c));
    p.resize(1 + 38, 0x00);
    p.push_back(options_.channelType ? 0x21 : 0x01);  // data byte 39: bit 5 channel type
    p.push_back(0x00);                                // data byte 40
    queueFrame(p, options_.answerDelayMs);
}

void SimRadio::streamClone() {
    ++cloneReads_;
    const SimFaults& f = options_.faults;
    for (int32_t k = 0; k < kImageSize / kBlockSize; ++k) {
        const int32_t adr = k * kBlockSize;
        // A radio of another memory size: the block claims addresses past the end of the image.
        const int32_t sentAdr = k == f.beyondImageBlock ? kImageSize - kBlockSize / 2 : adr;
        ByteString rec = {static_cast<uint8_t>(sentAdr >> 8), static_cast<uint8_t>(sentAdr & 0xFF),
                          static_cast<uint8_t>(kBlockSize)};
        rec.insert(rec.end(), image_.begin() + adr, image_.begin() + adr + kBlockSize);
        uint8_t sum = 0;
        for (uint8_t b : rec) sum = static_cast<uint8_t>(sum + b);
        uint8_t check = static_cast<uint8_t>(0x100 - sum);
        if (k == f.badChecksumBlock) ++check;
        rec.push_back(check);
        ByteString p = {0xE4};
        for (uint8_t b : rec) appendAsciiHex(p, b);
        const int32_t delay =
            (k == 0 ? options_.answerDelayMs : 0) + (k == f.gapBeforeBlock ? f.gapMs : 0);
        queueFrame(p, delay);
    }
    ByteString end = {0xE5};
    end.insert(end.end(), std::begin(kSignature), std::end(kSignature));
    queueFrame(end, 0);
    if (f.offAfterReadS >= 0 && offAt_ < 0) {
        offAt_ = lineFree_ + std::llround(f.offAfterReadS * 1000.0) * kUnitsPerMs;
    }
}

void SimRadio::takeClonePacket(const ByteString& record) {
    ++writePackets_;
    // Address (2), count (1), data, checksum (1), two characters each.
    const size_t chars = record.size() - 3;
    if (chars % 2 != 0 || chars < 8) {
        writeBad_ = true;
        return;
    }
    ByteString rec;
    uint8_t sum = 0;
    for (size_t i = 3; i < record.size(); i += 2) {
        const int v = asciiHexByte(record, i);
        if (v < 0) {
            writeBad_ = true;
            return;
        }
        rec.push_back(static_cast<uint8_t>(v));
        sum = static_cast<uint8_t>(sum + v);
    }
    const int32_t adr = rec[0] << 8 | rec[1];
    const size_t count = rec[2];
    if (sum != 0 || count != rec.size() - 4 || adr + static_cast<int32_t>(count) > kImageSize) {
        writeBad_ = true;
        return;
    }
    std::copy(rec.begin() + 3, rec.begin() + 3 + static_cast<long>(count), staged_.begin() + adr);
}

void SimRadio::endCloneWrite(const ByteString& record) {
    writeOpen_ = false;
    const bool signed_ =
        record.size() == 3 + sizeof(kSignature) &&
        std::equal(std::begin(kSignature), std::end(kSignature), record.begin() + 3);
    // A write with a damaged packet is refused whole rather than half applied.
    uint8_t result = 0x00;
    if (options_.faults.refuseWrite)
        result = options_.faults.refuseResult;
    else if (!signed_)
        result = 0x03;
    else if (writeBad_)
        result = 0x02;
    if (result == 0x00) {
        image_ = staged_;
        ++cloneWrites_;
    }
    lastWriteResult_ = result;
    queueFrame({0xE6, result}, options_.answerDelayMs);
}

void SimRadio::adjust(const ByteString& record) {
    // Model (2), sub name (2), command number, value as two ASCII hex digits.
    if (record.size() != 10) return;
    const int value = asciiHexByte(record, 8);
    if (value < 0) return;
    const uint8_t number = record[7];
    AdjustCommand cmd{number, static_cast<uint8_t>(value), false};
    if (number == 3) {
        const int16_t reading = monitorReading(value);
        if (reading >= 0) {
            ByteString p = {0xE8, model_[0], model_[1], sub_[0], sub_[1], number};
            appendAsciiHex(p, static_cast<uint8_t>(reading));
            queueFrame(p, options_.answerDelayMs);
            cmd.answered = true;
        }
    } else {
        applyAdjustment(number, static_cast<uint8_t>(value));
    }
    adjustLog_.push_back(cmd);
}

void SimRadio::applyAdjustment(uint8_t number, uint8_t value) {
    if (number == 0) {
        selectedChannel_ = static_cast<int16_t>(value) - 1;
        return;
    }
    if (number == 2) {
        adjustMode_ = value != 0;
        return;
    }
    const int adr = adjustAddress(number);
    if (adr >= 0) image_[static_cast<size_t>(adr)] = value;
}

// ---- state ----

int16_t SimRadio::bpfSetting(int stage) const {
    if (stage < 0 || stage > 3) throw std::out_of_range("BPF stage 0 to 3");
    return static_cast<int8_t>(image_[68 + static_cast<size_t>(stage)]);
}

uint8_t SimRadio::txfEntry(int entry) const {
    if (entry < 0 || entry > 39) throw std::out_of_range("TXF entry 0 to 39");
    return image_[static_cast<size_t>(entry < 20 ? 92 + entry : 52 + entry)];
}

uint8_t SimRadio::sdReading() const {
    // Each stage adds most on its plateau and less the further its setting is from it.
    int sd = 20;
    for (int s = 0; s < 4; ++s) {
        const Plateau& p = options_.plateaus[static_cast<size_t>(s)];
        const int v = bpfSetting(s);
        const int hi = p.lo + std::max<int>(p.width, 1) - 1;
        const int distance = v < p.lo ? p.lo - v : v > hi ? v - hi : 0;
        sd += std::max(0, 50 - distance);
    }
    return static_cast<uint8_t>(sd);
}

int16_t SimRadio::monitorReading(int number) const {
    switch (number) {
        case 0: return options_.vin;
        case 1: return thermistorRaw(options_.temperatureC);
        case 2: return options_.lvin;
        case 3: return sdReading();
        case 4: return options_.remot;
        case 5: return options_.bdet;
        case 6:
        case 7:
        case 8:
        case 9: return static_cast<int16_t>(bpfSetting(number - 6) + 128);
        case 10: return static_cast<int16_t>(std::clamp(std::round(txfCompensation()), 0.0, 255.0));
        case 11: return image_[63];
        case 12: return image_[62];
        case 13: return image_[135];
        default: return -1;
    }
}

double SimRadio::txfCompensation() const {
    const int16_t r = thermistorRaw(options_.temperatureC);
    const int16_t b = temperatureBand(r);
    const double value = image_[92 + static_cast<size_t>(b)];
    const double slope = static_cast<int8_t>(image_[72 + static_cast<size_t>(b)]);
    return value + (r - kTempBorders[static_cast<size_t>(b)]) * slope / 32.0;
}

double SimRadio::txfErrorPpm() const {
    const bool older = (sub_[0] << 8 | sub_[1]) < 0x0200;
    const double drift = crystalDriftPpm(thermistorReading(options_.temperatureC), older);
    return drift + options_.crystalOffsetPpm +
           (txfCompensation() - options_.txfCenter) / options_.txfUnitsPerPpm;
}

double SimRadio::txFrequencyHz() const {
    if (selectedChannel_ < 0 || selectedChannel_ >= 40) return 0;
    const size_t at = kEeChannels + kChannelRecordSize * static_cast<size_t>(selectedChannel_);
    if (image_[at] == 0xFF || (image_[at + 3] & 0x80) != 0) return 0;
    double khz = 0;
    for (size_t i = 0; i < 3; ++i) {
        const uint8_t b = image_[at + 3 + i];
        if ((b >> 4) > 9 || (b & 15) > 9) return 0;
        khz = khz * 100 + (b >> 4) * 10 + (b & 15);
    }
    return khz * 1000.0 * (1.0 + txfErrorPpm() * 1e-6);
}

bool SimRadio::lowPowerSelected() const {
    if (selectedChannel_ < 0 || selectedChannel_ >= 40) return false;
    const size_t at = kEeChannels + kChannelRecordSize * static_cast<size_t>(selectedChannel_);
    return (image_[at + 9] & 0x02) != 0;
}

}  // namespace kv7::sim
