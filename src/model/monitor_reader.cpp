#include "model/monitor_reader.h"

#include "model/monitor_format.h"
#include "model/procedure_parts.h"

namespace kv7 {

namespace {
constexpr int16_t kCmdMonitor = 3;
}

void MonitorReader::reset() {
    for (int i = 0; i <= 5; ++i) lastAd_[static_cast<size_t>(i)] = -1;
    for (int i = 0; i <= 7; ++i) lastDa_[static_cast<size_t>(i)] = -1;
    commError_ = false;
}

bool MonitorReader::readAd(int16_t channel, bool first) {
    return read(0, channel, channel, lastAd_[static_cast<size_t>(channel)], first);
}

bool MonitorReader::readDa(int16_t number, bool first) {
    return read(1, number, static_cast<int16_t>(number + 6), lastDa_[static_cast<size_t>(number)],
                first);
}

bool MonitorReader::read(int16_t listNo, int16_t row, int16_t requestValue, int16_t& last,
                         bool first) {
    if (first) {
        seq_.easySendE8ReqAnswer(CommandText(kCmdMonitor, requestValue));
        return false;
    }
    if (seq_.OpRunning()) return false;
    const ByteString& answer = seq_.driver().varLastE8Answer();
    if (AnswerInvalid(answer, radioIdBytes_)) {
        commError_ = true;
        return true;
    }
    const int16_t v = AnswerValue(answer);
    if (observer_ != nullptr) observer_->monitorRead(listNo, row, v);
    if (v == last) return true;
    last = v;
    const auto byte = static_cast<uint8_t>(v);
    const std::string line = listNo == 0 ? AdLine(row, byte) : DaLine(row, byte);
    view_.lbo01(listNo).setList(static_cast<int16_t>(row + 1), line);
    return true;
}

}  // namespace kv7
