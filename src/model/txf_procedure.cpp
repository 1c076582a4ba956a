#include "model/txf_procedure.h"

#include "store/common.h"

namespace kv7 {

namespace {
constexpr int kTableEntries = 40;
constexpr int32_t kFirstTxfSetting = 92;  // EEPROM address of the setting of the first band
}  // namespace

bool TxfProcedure::readConstants(const std::string& path) {
    return ReadConstantsFile(path, constRev20_, constRev10_);
}

int16_t TxfProcedure::tempBorder(int16_t index) const {
    if (index < 0 || index > 21) throw SubscriptError("temperature border index out of range");
    return tempBorder_[static_cast<size_t>(index)];
}

void TxfProcedure::reset() {
    step_ = TxfStep::Off;
    readingSent_ = false;
    lastBand_ = 0;
    lastSetting_ = 0;
    writeIdx_ = 0;
    writeEnd_ = 0;
    writeStart_ = 0;
    enterSeen_ = false;
    restoring_ = false;
}

bool TxfProcedure::tracking(int16_t setting) const {
    return (step_ == TxfStep::Track || step_ == TxfStep::Confirm) && !restoring_ && !enter_ &&
           lastSetting_ == setting;
}

void TxfProcedure::restoreTable() {
    reset();
    second_ = false;
    tableReady_ = false;
    restoring_ = true;
    writeIdx_ = 0;
    writeEnd_ = kTableEntries - 1;
    step_ = TxfStep::WriteTable;
}

void TxfProcedure::start(bool tcxo) {
    tcxo_ = tcxo;
    for (int16_t j = 0; j < kTableEntries; ++j) {
        startTable_[static_cast<size_t>(j)] =
            static_cast<uint8_t>(eep().ReadByte(TxfEntryEeAdr(j)));
    }
    tableReady_ = false;
    second_ = false;
    step_ = TxfStep::Start;
    if (observer_ != nullptr) observer_->txfStarted(tcxo);
}

bool TxfProcedure::run() {
    if (parts_.seq.OpRunning()) return false;
    auto next = static_cast<TxfStep>(static_cast<int16_t>(step_) + 1);
    bool done = false;
    switch (step_) {
        case TxfStep::Off: break;
        case TxfStep::Start:
            lastBand_ = -1;
            enter_ = false;
            done = true;
            break;
        case TxfStep::StartValue: done = startValue(); break;
        case TxfStep::Track: done = track(next); break;
        case TxfStep::WriteTable: done = writeStep(next); break;
        case TxfStep::Confirm:
            next = afterConfirm();
            done = true;
            break;
    }
    if (done) {
        step_ = next;
        readingSent_ = false;
    }
    return done;
}

bool TxfProcedure::startValue() {
    const bool done = parts_.monitor.readAd(1, !readingSent_);
    readingSent_ = true;
    if (!done || parts_.monitor.commError()) return done;
    int16_t v;
    if (tcxo_) {
        v = eep().ReadByte(kFirstTxfSetting);
    } else if (!second_) {
        v = eep().ReadByte(kFirstTxfSetting + band(parts_.monitor.lastAd(1)));
    } else {
        v = TxfSecondStartValue(parts_.console.Value(item_), ref1_);
    }
    parts_.console.setValue(item_, v);
    return true;
}

bool TxfProcedure::track(TxfStep& next) {
    const bool done = parts_.monitor.readAd(1, !readingSent_);
    readingSent_ = true;
    if (!done || parts_.monitor.commError()) return done;
    const int16_t b = band(parts_.monitor.lastAd(1));
    const int16_t v = parts_.console.Value(item_);
    if (v == lastSetting_ && !enter_ && b == lastBand_) {
        next = TxfStep::Confirm;
        return true;
    }
    lastBand_ = b;
    plan(b, v);
    next = TxfStep::WriteTable;
    return true;
}

TxfStep TxfProcedure::afterConfirm() {
    if (!enterSeen_) return TxfStep::Track;
    if (second_ || tcxo_) {
        second_ = false;
        enter_ = false;
        parts_.beeper.beep();
        return TxfStep::Off;
    }
    second_ = true;
    return TxfStep::Start;
}

void TxfProcedure::plan(int16_t b, int16_t v) {
    const int16_t temps = parts_.monitor.lastAd(1);
    if (!enter_) {
        writeIdx_ = static_cast<int16_t>(b - 1);
        writeEnd_ = static_cast<int16_t>(b + 4);
    } else if (!second_ && tcxo_) {
        writeIdx_ = 0;
        writeEnd_ = 39;
        tableReady_ = true;
        ref1_ = v;
    } else if (!second_) {
        writeIdx_ = static_cast<int16_t>(b - 1);
        writeEnd_ = static_cast<int16_t>(b + 4);
        ref1_ = v;
    } else {
        writeIdx_ = 0;
        writeEnd_ = 39;
        tableReady_ = true;
        ref2_ = v;
        const ConstTable& constants =
            UsesRev10Constants(radio_.radionameS()) ? constRev10_ : constRev20_;
        table_ = ComputeTxfTable(ref1_, ref2_, constants, tempBorder_, temps);
    }
    if (writeIdx_ < 0) writeIdx_ = 0;
    if (writeIdx_ > 19) writeIdx_ = 19;
    writeStart_ = writeIdx_;
    enterSeen_ = enter_;
    lastSetting_ = v;
    if (observer_ != nullptr && enter_) {
        if (tableReady_) {
            observer_->txfTablePlanned(ref1_, ref2_, temps, b, !second_);
        } else {
            observer_->txfFirstConfirmed(ref1_, temps, b);
        }
    }
}

bool TxfProcedure::writeStep(TxfStep& next) {
    if (restoring_) return restoreStep(next);
    const bool full = tableReady_ && second_;
    const bool flat = tableReady_ && !second_ && tcxo_;
    TxfWrite w{-1, 0};
    if (writeIdx_ <= writeEnd_) {
        if (full) {
            w = TxfFullPlanEntry(table_, writeIdx_);
        } else if (flat) {
            w = TxfFlatPlanEntry(ref1_, writeIdx_);
        } else {
            const std::vector<TxfWrite> window =
                TxfWindowPlan(lastBand_, parts_.console.Value(item_));
            const auto pos = static_cast<size_t>(writeIdx_ - writeStart_);
            if (pos < window.size()) w = window[pos];
        }
    }
    if (w.entry < 0 || w.entry >= kTableEntries) {
        next = enterSeen_ ? TxfStep::Confirm : TxfStep::Track;
        return true;
    }
    sendTableEntry(w.entry, w.value);
    ++writeIdx_;
    return false;
}

// One entry that differs from the image per call; entries already equal cost no command.
bool TxfProcedure::restoreStep(TxfStep& next) {
    while (writeIdx_ <= writeEnd_) {
        const int16_t entry = writeIdx_++;
        const uint8_t want = startTable_[static_cast<size_t>(entry)];
        if (eep().ReadByte(TxfEntryEeAdr(entry)) == want) continue;
        sendTableEntry(entry, want);
        return false;
    }
    restoring_ = false;
    next = TxfStep::Off;
    return true;
}

void TxfProcedure::sendTableEntry(int16_t entry, int16_t value) {
    const auto byte = static_cast<uint8_t>(value & 0xFF);
    parts_.seq.easySendE8NoAnswer(CommandText(TxfEntryCommand(entry), value));
    eep().WriteByte(TxfEntryEeAdr(entry), byte);
    if (observer_ != nullptr) observer_->txfEntryWritten(entry, byte);
}

}  // namespace kv7
