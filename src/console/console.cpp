#include "console/console.h"

#include <cmath>
#include <stdexcept>

#include "store/common.h"

namespace kv7 {

namespace {

constexpr int16_t kMaxItems = 32767;

// Nearest integer, halves to the even neighbour, whatever the floating-point rounding mode.
int32_t roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    int32_t n = static_cast<int32_t>(lower);
    if (diff > 0.5 || (diff == 0.5 && n % 2 != 0)) ++n;
    return n;
}

}  // namespace

ConsoleItem ConsoleItem::Defaults() {
    ConsoleItem it{};
    it.Max = 255;
    it.WaitAfterE8 = 200;
    it.EeAdr = -1;
    it.E8Command = -1;
    it.Event_Disp = -1;
    it.Event_Changed = -1;
    it.Event_SendE8 = -1;
    it.Event_Enter = -1;
    return it;
}

ConsoleItem& clsConsole::item(int16_t index) {
    if (index < 0 || index >= ListCount()) {
        throw SubscriptError("console item " + std::to_string(index) + " does not exist");
    }
    return items_[static_cast<size_t>(index)];
}

const ConsoleItem& clsConsole::item(int16_t index) const {
    return const_cast<clsConsole*>(this)->item(index);
}

ConsoleEventClass& clsConsole::eventClass(const char* what) {
    if (myEventClass == nullptr) {
        throw std::logic_error(std::string("console has no event class for ") + what);
    }
    return *myEventClass;
}

bool clsConsole::limitValue(ConsoleItem& it) {
    const int16_t before = it.Value;
    if (it.Value < it.Min) it.Value = it.Min;
    if (it.Value > it.Max) it.Value = it.Max;
    return it.Value != before;
}

void clsConsole::Clear() {
    items_.clear();
    if (myListBox != nullptr) myListBox->Clear();
}

void clsConsole::AddItem() {
    if (ListCount() == kMaxItems) throw OverflowError("console is full");
    items_.push_back(ConsoleItem::Defaults());
    // Lines beyond the items stay; the list box only has to reach the new item.
    if (myListBox != nullptr) {
        while (myListBox->ListCount() < ListCount()) myListBox->AddItem("");
    }
    Disp(static_cast<int16_t>(ListCount() - 1));
}

const std::string& clsConsole::Title(int16_t index) const {
    return item(index).Title;
}
void clsConsole::setTitle(int16_t index, const std::string& v) {
    item(index).Title = v;
    Disp(index);
}

int16_t clsConsole::Value(int16_t index) const {
    return item(index).Value;
}
void clsConsole::setValue(int16_t index, int16_t v) {
    ConsoleItem& it = item(index);
    const int16_t before = it.Value;
    it.Value = v;
    limitValue(it);
    if (it.Value != before) Disp(index);
    // Marked even when unchanged: a step against a limit still asks for the value to be sent.
    it.flgChanged = true;
}

int16_t clsConsole::Min(int16_t index) const {
    return item(index).Min;
}
void clsConsole::setMin(int16_t index, int16_t v) {
    ConsoleItem& it = item(index);
    it.Min = v;
    if (it.Max < it.Min) it.Max = it.Min;
    limitValue(it);
    Disp(index);
}

int16_t clsConsole::Max(int16_t index) const {
    return item(index).Max;
}
void clsConsole::setMax(int16_t index, int16_t v) {
    ConsoleItem& it = item(index);
    it.Max = v;
    if (it.Max < it.Min) it.Min = it.Max;
    limitValue(it);
    Disp(index);
}

bool clsConsole::BarExist(int16_t index) const {
    return item(index).BarExist;
}
void clsConsole::setBarExist(int16_t index, bool v) {
    item(index).BarExist = v;
}

bool clsConsole::LoopVal(int16_t index) const {
    return item(index).LoopVal;
}
void clsConsole::setLoopVal(int16_t index, bool v) {
    item(index).LoopVal = v;
}

int32_t clsConsole::WaitAfterE8(int16_t index) const {
    return item(index).WaitAfterE8;
}
void clsConsole::setWaitAfterE8(int16_t index, int32_t v) {
    item(index).WaitAfterE8 = v;
}

bool clsConsole::flgChanged(int16_t index) const {
    return item(index).flgChanged;
}
void clsConsole::setFlgChanged(int16_t index, bool v) {
    ConsoleItem& it = item(index);
    it.flgChanged = v;
    if (v) {
        limitValue(it);
        Disp(index);
    }
}

bool clsConsole::flgEnterOn(int16_t index) const {
    return item(index).flgEnterOn;
}
void clsConsole::setFlgEnterOn(int16_t index, bool v) {
    ConsoleItem& it = item(index);
    // Only one Enter action can be pending.
    if (v) {
        for (ConsoleItem& other : items_) other.flgEnterOn = false;
    }
    it.flgEnterOn = v;
}

int32_t clsConsole::EeAdr(int16_t index) const {
    return item(index).EeAdr;
}
void clsConsole::setEeAdr(int16_t index, int32_t v) {
    item(index).EeAdr = v;
}

bool clsConsole::EeDataSigned(int16_t index) const {
    return item(index).EeDataSigned;
}
void clsConsole::setEeDataSigned(int16_t index, bool v) {
    item(index).EeDataSigned = v;
}

int16_t clsConsole::E8Command(int16_t index) const {
    return item(index).E8Command;
}
void clsConsole::setE8Command(int16_t index, int16_t v) {
    item(index).E8Command = v;
}

int16_t clsConsole::Event_Disp(int16_t index) const {
    return item(index).Event_Disp;
}
void clsConsole::setEvent_Disp(int16_t index, int16_t v) {
    item(index).Event_Disp = v;
    Disp(index);
}

int16_t clsConsole::Event_Changed(int16_t index) const {
    return item(index).Event_Changed;
}
void clsConsole::setEvent_Changed(int16_t index, int16_t v) {
    item(index).Event_Changed = v;
}

int16_t clsConsole::Event_SendE8(int16_t index) const {
    return item(index).Event_SendE8;
}
void clsConsole::setEvent_SendE8(int16_t index, int16_t v) {
    item(index).Event_SendE8 = v;
}

int16_t clsConsole::Event_Enter(int16_t index) const {
    return item(index).Event_Enter;
}
void clsConsole::setEvent_Enter(int16_t index, int16_t v) {
    item(index).Event_Enter = v;
}

std::string clsConsole::DefaultString(int16_t index) const {
    const ConsoleItem& it = item(index);
    const std::string padded = "   " + std::to_string(it.Value);
    std::string s = it.Title + ":" + padded.substr(padded.size() - 4);
    if (it.BarExist) s += BarString(index);
    return s;
}

std::string clsConsole::BarString(int16_t index) const {
    const ConsoleItem& it = item(index);
    const int16_t d = checkedSub16(it.Value, it.Min);
    const int16_t p = checkedMul16(d, kBarWidth);
    const int16_t r = checkedSub16(it.Max, it.Min);
    int32_t n = 0;
    // A range of one value has no place to show: the bar stays empty.
    if (r != 0) n = roundHalfEven(static_cast<double>(p) / static_cast<double>(r));
    if (n < 0) n = 0;
    if (n > kBarWidth) n = kBarWidth;
    return " [" + std::string(static_cast<size_t>(n), '#') +
           std::string(static_cast<size_t>(kBarWidth - n), '-') + "]";
}

void clsConsole::Disp(int16_t index) {
    const ConsoleItem& it = item(index);
    std::string text;
    if (it.Event_Disp < 0) {
        text = DefaultString(index);
    } else {
        int16_t handlerIndex = index;
        text =
            eventClass("a display event").ConsEv_Disp(*this, handlerIndex, it.Event_Disp, it.Value);
    }
    if (myListBox != nullptr) myListBox->setList(index, text);
}

void clsConsole::UpDown(int16_t index, int16_t step) {
    ConsoleItem& it = item(index);
    int16_t next;
    if (it.LoopVal && it.Value >= it.Max && step > 0) {
        next = it.Min;
    } else if (it.LoopVal && it.Value <= it.Min && step < 0) {
        next = it.Max;
    } else {
        next = checkedAdd16(it.Value, step);
    }
    setValue(index, next);
}

void clsConsole::ReadFromEe(int16_t index) {
    const ConsoleItem& it = item(index);
    if (it.EeAdr < 0) return;
    if (myEeprom == nullptr) throw std::logic_error("console has no EEPROM image");
    int16_t b = myEeprom->ReadByte(it.EeAdr);
    if (it.EeDataSigned && b > 127) b = static_cast<int16_t>(b - 256);
    setValue(index, b);
}

void clsConsole::WriteToEe(int16_t index) {
    const ConsoleItem& it = item(index);
    if (it.EeAdr < 0) return;
    if (myEeprom == nullptr) throw std::logic_error("console has no EEPROM image");
    myEeprom->WriteByte(it.EeAdr, static_cast<uint8_t>(it.Value & 255));
}

void clsConsole::SendE8(int16_t index) {
    const ConsoleItem& it = item(index);
    if (it.Event_SendE8 < 0) {
        if (it.E8Command >= 0) {
            ConsoleEventClass& events = eventClass("the pause after a command");
            if (myQkv3Seq == nullptr) throw std::logic_error("console has no sequencer");
            const std::string text =
                HexByte(it.E8Command) + ByteToAsciiHexText(static_cast<int16_t>(it.Value & 255));
            myQkv3Seq->easySendE8NoAnswer(text);
            events.setWaitE8Required(it.WaitAfterE8);
        }
    } else {
        int16_t handlerIndex = index;
        eventClass("a send event").ConsEv_SendE8(*this, handlerIndex, it.Event_SendE8, it.Value);
    }
    // The image always holds the value last sent, also when no command went out.
    WriteToEe(index);
}

void clsConsole::EnterPushed(int16_t index) {
    setFlgEnterOn(index, true);
}

void clsConsole::EnterExec(int16_t index) {
    const ConsoleItem& it = item(index);
    if (it.Event_Enter < 0) return;
    int16_t handlerIndex = index;
    eventClass("an Enter event").ConsEv_Enter(*this, handlerIndex, it.Event_Enter, it.Value);
    Disp(index);
}

}  // namespace kv7
