#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/console_events.h"
#include "console/list_box.h"
#include "protocol/sequencer.h"
#include "store/eeprom.h"

namespace kv7 {

// One adjustment point of the console. A value-initialised record is all zero; AddItem gives
// a new item the defaults below.
struct ConsoleItem {
    std::string Title;
    int16_t Value = 0;
    int16_t Min = 0;
    int16_t Max = 0;
    bool BarExist = false;
    bool LoopVal = false;
    int32_t WaitAfterE8 = 0;
    int32_t EeAdr = 0;
    bool EeDataSigned = false;
    int16_t E8Command = 0;
    int16_t Event_Disp = 0;
    int16_t Event_Changed = 0;
    int16_t Event_SendE8 = 0;
    int16_t Event_Enter = 0;
    bool flgChanged = false;
    bool flgEnterOn = false;

    // The record of a freshly added item.
    static ConsoleItem Defaults();
};

// The list of adjustment items shown in the console list box; item i is line i.
//
// Every indexed operation throws SubscriptError for an index outside 0..ListCount()-1 and then
// changes nothing. The four references are wired by the operation controller; an operation that
// needs one that is missing throws std::logic_error. Without a list box nothing is drawn.
class clsConsole {
  public:
    ListBox* myListBox = nullptr;
    ConsoleEventClass* myEventClass = nullptr;
    clsCmcQkv3Sequence* myQkv3Seq = nullptr;
    clsCmcEeprom* myEeprom = nullptr;

    // Removes every item, then every line of the list box.
    void Clear();
    // Appends an item with the defaults and draws it; OverflowError at 32767 items.
    void AddItem();

    const std::string& Title(int16_t index) const;
    void setTitle(int16_t index, const std::string& v);
    int16_t Value(int16_t index) const;
    void setValue(int16_t index, int16_t v);
    int16_t Min(int16_t index) const;
    void setMin(int16_t index, int16_t v);
    int16_t Max(int16_t index) const;
    void setMax(int16_t index, int16_t v);
    bool BarExist(int16_t index) const;
    void setBarExist(int16_t index, bool v);
    bool LoopVal(int16_t index) const;
    void setLoopVal(int16_t index, bool v);
    int32_t WaitAfterE8(int16_t index) const;
    void setWaitAfterE8(int16_t index, int32_t v);
    bool flgChanged(int16_t index) const;
    void setFlgChanged(int16_t index, bool v);
    bool flgEnterOn(int16_t index) const;
    void setFlgEnterOn(int16_t index, bool v);
    int32_t EeAdr(int16_t index) const;
    void setEeAdr(int16_t index, int32_t v);
    bool EeDataSigned(int16_t index) const;
    void setEeDataSigned(int16_t index, bool v);
    int16_t E8Command(int16_t index) const;
    void setE8Command(int16_t index, int16_t v);
    int16_t Event_Disp(int16_t index) const;
    void setEvent_Disp(int16_t index, int16_t v);
    int16_t Event_Changed(int16_t index) const;
    void setEvent_Changed(int16_t index, int16_t v);
    int16_t Event_SendE8(int16_t index) const;
    void setEvent_SendE8(int16_t index, int16_t v);
    int16_t Event_Enter(int16_t index) const;
    void setEvent_Enter(int16_t index, int16_t v);

    int16_t ListCount() const { return static_cast<int16_t>(items_.size()); }

    // Title, ":", the value right-aligned in four columns, and the bar when the item has one.
    std::string DefaultString(int16_t index) const;
    // " [" + cells of "#" and "-" for the value's place between Min and Max + "]".
    std::string BarString(int16_t index) const;
    // Redraws line index of the list box.
    void Disp(int16_t index);

    // Steps the value; wraps to the other limit only from a limit when LoopVal is set.
    void UpDown(int16_t index, int16_t step);
    void ReadFromEe(int16_t index);
    void WriteToEe(int16_t index);
    // Sends the value as an adjustment command (or hands it to the event class), then stores it.
    void SendE8(int16_t index);
    void EnterPushed(int16_t index);
    void EnterExec(int16_t index);

    static constexpr int16_t kBarWidth = 20;

  private:
    ConsoleItem& item(int16_t index);
    const ConsoleItem& item(int16_t index) const;
    ConsoleEventClass& eventClass(const char* what);
    // Brings Value into Min..Max, lower limit first; true when it moved.
    static bool limitValue(ConsoleItem& it);

    std::vector<ConsoleItem> items_;
};

}  // namespace kv7
