#include "model/session_record.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace kv7 {

int64_t SessionRecord::systemClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int SessionRecord::Txf::entriesWritten() const {
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](int16_t e) { return e >= 0; }));
}

SessionRecord::SessionRecord(Clock clock) : clock_(std::move(clock)) {}

const SessionRecord::Reading& SessionRecord::reading(int16_t list, int16_t row) const {
    if (list == 0 && row >= 0 && row < 6) return ad_[static_cast<size_t>(row)];
    if (list == 1 && row >= 0 && row < 8) return da_[static_cast<size_t>(row)];
    throw std::out_of_range("no such monitor reading");
}

bool SessionRecord::holdsWork() const {
    return changedItems_ || !sweeps_.empty() || !txf_.empty() || !alignments_.empty();
}

void SessionRecord::startNew() {
    Clock clock = std::move(clock_);
    SessionRecordListener* listener = listener_;
    const int16_t port = pendingComPortNo_;
    const int64_t ms = pendingConnectMs_;
    *this = SessionRecord(std::move(clock));
    listener_ = listener;
    connected_ = true;
    comPortNo_ = port;
    connectMs_ = ms;
}

void SessionRecord::connectStarted(int16_t comPortNo) {
    pendingComPortNo_ = comPortNo;
    pendingConnectMs_ = clock_();
    // Until a clone read there is nothing of the earlier connection to keep.
    if (!cloneRead_) {
        startNew();
        return;
    }
    const bool first = !connectPending_;
    connectPending_ = true;
    if (first && listener_ != nullptr) listener_->connectionEnding(*this);
}

void SessionRecord::alignmentDone(AlignmentRecord record) {
    record.ms = clock_();
    alignments_.push_back(std::move(record));
    ++revision_;
}

void SessionRecord::cloneReadDone(const std::string& modelCode, const std::string& subName,
                                  const std::vector<ItemAsRead>& items) {
    if (cloneRead_) {
        if (!connectPending_) {
            pendingComPortNo_ = comPortNo_;
            pendingConnectMs_ = clock_();
        }
        if (listener_ != nullptr) listener_->recordEnding(*this);
        startNew();
    }
    cloneRead_ = true;
    cloneReadMs_ = clock_();
    modelCode_ = modelCode;
    subName_ = subName;
    items_.clear();
    for (const ItemAsRead& it : items) {
        items_.push_back(Item{it.title, it.eeAdr, it.sendsCommand, it.value, it.value});
    }
}

void SessionRecord::itemSent(int16_t index, int16_t value, bool onLine, SendCause cause) {
    // Every item goes out once after the clone read as it was read: that is no change.
    bool changed = false;
    if (index >= 0 && static_cast<size_t>(index) < items_.size()) {
        Item& item = items_[static_cast<size_t>(index)];
        changed = item.now != value;
        item.now = value;
    }
    adjustments_.push_back(Adjustment{clock_(), index, value, onLine, cause});
    if (!changed) return;
    changedItems_ = true;
    ++revision_;
}

void SessionRecord::monitorRead(int16_t list, int16_t row, int16_t value) {
    Reading* r = nullptr;
    if (list == 0 && row >= 0 && row < 6) r = &ad_[static_cast<size_t>(row)];
    if (list == 1 && row >= 0 && row < 8) r = &da_[static_cast<size_t>(row)];
    if (r == nullptr) return;
    const int64_t now = clock_();
    if (r->count == 0) {
        r->first = value;
        r->firstMs = now;
    }
    r->latest = value;
    r->latestMs = now;
    ++r->count;
}

SessionRecord::Sweep* SessionRecord::openSweep(int16_t stage) {
    if (sweeps_.empty()) return nullptr;
    Sweep& s = sweeps_.back();
    return s.stage == stage && !s.finished ? &s : nullptr;
}

void SessionRecord::sweepStageStarted(int16_t stage, bool all, int16_t lvin) {
    Sweep s;
    s.startedMs = clock_();
    s.stage = stage;
    s.all = all;
    s.lvin = lvin;
    sweeps_.push_back(std::move(s));
    ++revision_;
}

void SessionRecord::sweepPoint(int16_t stage, int16_t setting, int16_t sd) {
    if (Sweep* s = openSweep(stage)) {
        s->points.push_back(SweepPoint{setting, sd});
        ++revision_;
    }
}

void SessionRecord::sweepStageEnded(int16_t stage, int16_t best, int16_t plateauLo,
                                    int16_t plateauHi, int16_t chosen) {
    Sweep* s = openSweep(stage);
    if (s == nullptr) return;
    s->finished = true;
    s->best = best;
    s->plateauLo = plateauLo;
    s->plateauHi = plateauHi;
    s->chosen = chosen;
    ++revision_;
}

void SessionRecord::txfStarted(bool tcxo) {
    Txf t;
    t.startedMs = clock_();
    t.tcxo = tcxo;
    t.entries.fill(-1);
    txf_.push_back(t);
    ++revision_;
}

void SessionRecord::txfFirstConfirmed(int16_t setting, int16_t temps, int16_t band) {
    if (txf_.empty()) return;
    Txf& t = txf_.back();
    t.firstConfirmed = true;
    t.firstSetting = setting;
    t.temps = temps;
    t.band = band;
    ++revision_;
}

void SessionRecord::txfTablePlanned(int16_t firstSetting, int16_t secondSetting, int16_t temps,
                                    int16_t band, bool flat) {
    if (txf_.empty()) return;
    Txf& t = txf_.back();
    t.firstConfirmed = true;
    t.firstSetting = firstSetting;
    t.secondSetting = flat ? -1 : secondSetting;
    t.temps = temps;
    t.band = band;
    t.planned = true;
    t.entries.fill(-1);
    ++revision_;
}

void SessionRecord::txfEntryWritten(int16_t entry, uint8_t value) {
    // Writes while the technician adjusts (before the table is planned) are not the table.
    if (txf_.empty() || !txf_.back().planned || entry < 0 || entry >= 40) return;
    txf_.back().entries[static_cast<size_t>(entry)] = value;
    ++revision_;
}

}  // namespace kv7
