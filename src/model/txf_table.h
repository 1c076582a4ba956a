#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/constants_file.h"

namespace kv7 {

// Temperature borders of the TXF compensation table in raw TEMPS units: entries 0..20 are
// 0, 16, 24, ..., 48, 64, ..., 208, 216, ..., 240, 255; entry 21 is 0.
using TempBorderTable = std::array<int16_t, 22>;
TempBorderTable DefaultTempBorders();

// The band 0..19 of a TEMPS reading t: the largest b with border[b] <= t (0 when none).
int16_t TempBand(int16_t t, const TempBorderTable& border);

// Rounding to a 16-bit integer with halves to even; OverflowError outside -32768..32767.
int16_t VbCInt(double x);

// The constants of older radios are used for sub names below "0200" (ordinal comparison).
bool UsesRev10Constants(const std::string& radionameS);

// The compensation table computed from the settings at the two frequencies (10 ppm apart)
// and the TEMPS reading at the time of the second confirmation, in single precision.
struct TxfTable {
    float k = 0;                           // (txfRef2 - txfRef1) / 10
    std::array<float, 22> txfBandValue{};  // 0..20: value at each border
    std::array<float, 22> txfBandSlope{};  // 0..19: slope to the next border, x 32
    int16_t band = 0;                      // TempBand of the reading
    float txfInterp = 0;                   // computed value at the reading
    int16_t txfOffset = 0;                 // makes the table give txfRef1 at the reading
};
// OverflowError when an intermediate does not fit 16 bits (only with absurd constants).
TxfTable ComputeTxfTable(int16_t txfRef1, int16_t txfRef2, const ConstTable& constants,
                         const TempBorderTable& border, int16_t temps);

// Band values (0..19) and slopes (0..19) of the full table as the radio gets them: rounded
// and limited to 0..255 and -128..127.
int16_t TxfFullBandValue(const TxfTable& t, int16_t band);
int16_t TxfFullBandSlope(const TxfTable& t, int16_t band);

// One entry of the radio's 40-entry TXF table: 0..19 band values, 20..39 band slopes.
struct TxfWrite {
    int16_t entry = 0;
    uint8_t value = 0;  // slopes in two's complement
    bool operator==(const TxfWrite&) const = default;
};
// Adjustment command of an entry (16 + entry) and its EEPROM byte (92.. values, 72.. slopes).
int16_t TxfEntryCommand(int16_t entry);
int32_t TxfEntryEeAdr(int16_t entry);

// Plans as lists of writes in the order they go to the radio.
TxfWrite TxfFullPlanEntry(const TxfTable& t, int16_t entry);  // entry 0..39
std::vector<TxfWrite> TxfFullPlan(const TxfTable& t);
// TCXO mode: every band value txfRef1 (limited to a byte), every slope 0.
TxfWrite TxfFlatPlanEntry(int16_t txfRef1, int16_t entry);
std::vector<TxfWrite> TxfFlatPlan(int16_t txfRef1);
// While adjusting: bands band-1..band+1 within 0..19 get the current setting (limited to a
// byte), then the same bands' slopes get 0.
std::vector<TxfWrite> TxfWindowPlan(int16_t band, int16_t value);

// Starting setting at the second frequency: 255 from a current value of 205 on, otherwise
// txfRef1 + 60, never above 255.
int16_t TxfSecondStartValue(int16_t currentValue, int16_t txfRef1);

}  // namespace kv7
