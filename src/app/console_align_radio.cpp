#include "app/console_align_radio.h"

namespace kv7 {

int16_t ConsoleLine(const Kv7ItemIndex& items, AlignItem item) {
    switch (item) {
        case AlignItem::PowerHi: return items.powerHi;
        case AlignItem::PowerLo: return items.powerLo;
        case AlignItem::Mod: return items.mod;
        case AlignItem::Txf: return items.txf;
        case AlignItem::Channel: return items.chNo;
    }
    return -1;
}

ConsoleAlignRadio::ConsoleAlignRadio(clsConsole& console, clsIndOp_RigKV7& controller,
                                     std::function<bool()> lineIdle)
    : console_(console), controller_(controller), lineIdle_(std::move(lineIdle)) {}

bool ConsoleAlignRadio::connected() const {
    return controller_.RigKV7Prop_EditEnabled();
}

bool ConsoleAlignRadio::procedureRunning() const {
    return controller_.procedureRunning();
}

int16_t ConsoleAlignRadio::value(AlignItem item) const {
    return console_.Value(line(item));
}

int16_t ConsoleAlignRadio::min(AlignItem item) const {
    return console_.Min(line(item));
}

int16_t ConsoleAlignRadio::max(AlignItem item) const {
    return console_.Max(line(item));
}

void ConsoleAlignRadio::step(AlignItem item, int16_t delta) {
    console_.UpDown(line(item), delta);
}

void ConsoleAlignRadio::confirm(AlignItem item) {
    console_.EnterPushed(line(item));
}

bool ConsoleAlignRadio::changesSent() const {
    return controller_.changesSent() && lineIdle();
}

bool ConsoleAlignRadio::txfTracking(int16_t setting) const {
    return controller_.txfTracking(setting) && lineIdle();
}

bool ConsoleAlignRadio::txfSecondSetting() const {
    return controller_.txfSecondSetting();
}

void ConsoleAlignRadio::restoreTxfTable() {
    controller_.restoreTxfTable();
}

bool ConsoleAlignRadio::tcxo() const {
    return controller_.tcxoMode();
}

int16_t ConsoleAlignRadio::transmittingChannel(std::optional<bool> lowPower,
                                               int16_t preferred) const {
    return controller_.transmittingChannel(lowPower, preferred);
}

std::optional<double> ConsoleAlignRadio::txFrequencyHz() const {
    return controller_.selectedTxFrequencyHz();
}

}  // namespace kv7
