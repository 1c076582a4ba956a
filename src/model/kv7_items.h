#pragma once
#include <array>
#include <cstdint>

#include "console/console.h"

namespace kv7 {

// What an item's display event draws.
enum class DispEvent : int16_t { None = -1, Channel = 0, Txf = 1, BpfAll = 3, BpfStage = 4 };
// What an item's send event sends: the selected channel, as the radio counts it.
enum class SendEvent : int16_t { None = -1, Channel = 0 };
// What Enter on an item starts or confirms.
enum class EnterEvent : int16_t {
    None = -1,
    Txf = 0,
    BpfT1 = 2,
    BpfT2 = 3,
    BpfT3 = 4,
    BpfT4 = 5,
    BpfAll = 6
};

// One adjustment point of the QT-KV7 console.
struct Kv7ItemRow {
    const char* title;
    int16_t min;
    int16_t max;
    int32_t eeAdr;  // -1: not kept in the EEPROM image
    bool eeSigned;
    int16_t command;  // adjustment command; -1: none
    bool bar;
    bool loop;
    DispEvent disp;
    SendEvent send;
    EnterEvent enter;
};

// The items in console order.
extern const std::array<Kv7ItemRow, 12> kKv7Items;

// Where the controller finds the items it drives.
struct Kv7ItemIndex {
    int16_t chNo = 0;
    int16_t powerHi = 0;
    int16_t powerLo = 0;
    int16_t mod = 0;
    int16_t sweepStarter = 0;  // "   BPF ALL"
    int16_t bpfT1 = 0;         // the first of the four BPF stages
    int16_t txf = 0;
};

// Appends the items to the console.
Kv7ItemIndex AddKv7Items(clsConsole& console);

}  // namespace kv7
