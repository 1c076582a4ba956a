#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "model/eeprom_map.h"
#include "store/byte_string.h"

namespace kv7 {

// Number formats of the monitor and console lines. A pattern is integer placeholders ('#'
// optional digit, '0' required digit), an optional '.' with decimal placeholders (every one is
// shown), then literal text; a '%' in it multiplies by 100. Rounding is half away from zero on
// the value's 15-significant-digit decimal form, so 2.5098 gives "2.51" and 146.501465 with
// five decimals "146.50147". All-'#' integer parts drop a lone zero (0.45 as "###.#0" is
// ".45"); a value that rounds to zero has no minus sign; infinity or NaN is "Invalid".
std::string VbFormat(double value, std::string_view pattern);

// The last `width` characters of three blanks followed by s: the monitor lines' fields.
std::string RightField(const std::string& s, size_t width);

// Temperature in degrees Celsius of the TEMPS reading v (1..254): a 47 kOhm thermistor,
// B = 4000 K at 25 'C, below 100 kOhm to 5 V.
double TempsCelsius(int16_t v);

// Monitor lines: label, v in three columns, ':', two hex digits, "h:", reading, suffix.
// A/D channels 0..5 (VIN, TEMPS, LVIN, SD, REMOT, BDET), D/A values 0..7; another channel
// number throws SubscriptError.
std::string AdLine(int16_t channel, uint8_t v);
std::string DaLine(int16_t number, uint8_t v);

// Line of the "    CH No." item for memory channel ch: number, receive and transmit
// frequency (or "Inhibit", or "  <-   " when equal) and power. A frequency block with a non-BCD
// byte shows "Invalid" instead of failing.
std::string ChannelLine(const std::string& title, clsIndEep_RigKV7& eep, int16_t ch);

// Line of the "       TXF" item: the start prompt unless procStep is 1..5, otherwise the
// transmit frequency of curCh (x 1.00001 at the second frequency), the setting and the bar.
std::string TxfLine(const std::string& title, int16_t procStep, bool txfSecond,
                    const clsIndEep_RigKV7& eep, int16_t curCh, int16_t val,
                    const std::string& barString);

// Line of "   BPF ALL": "Sweeping" only while a sweep (procStep 6..10) runs that it started.
std::string BpfAllLine(const std::string& title, int16_t procStep, int16_t index,
                       int16_t idxSweepStarter);
// Line of a BPF stage: its built-in line, then the sweep prompt when idle, or " Sweeping"
// while the running sweep has the stage selected.
std::string BpfStageLine(const std::string& defaultString, int16_t procStep, bool stageSelected);

// The 32-cell progress caption of a clone transfer: one 'o' per 33rd of imageSize that the
// driver's last address has passed, '.' for the rest.
std::string ProgressCaption(int32_t lastEeAdr, double imageSize);

// A monitor answer is valid when it is 7 bytes, starts with radioIdBytes and ends with two
// ASCII hex digits.
bool AnswerInvalid(const ByteString& answer, const ByteString& radioIdBytes);
// The reading of a valid answer, 0..255; std::invalid_argument for an answer that is not.
int16_t AnswerValue(const ByteString& answer);

}  // namespace kv7
