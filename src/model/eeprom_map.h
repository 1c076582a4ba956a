#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "store/eeprom.h"

namespace kv7 {

// Where the QT-KV7 keeps its memory channels: 20-byte records from 576 on. Receive frequency
// at offset 0, transmit frequency at 3 (three BCD bytes in kHz, bit 7 of the first byte is the
// inhibit flag, a first byte of FF marks an empty channel), the low-power flag in bit 1 of
// offset 9.
inline constexpr int16_t kChAreaStart = 576;
inline constexpr int16_t kChRecordSize = 20;

// Addresses of channel n's receive/transmit frequency blocks and power byte. 16-bit arithmetic:
// a channel number whose address does not fit throws OverflowError.
int16_t RxFreqBlockAdr(int16_t n);
int16_t TxFreqBlockAdr(int16_t n);
int16_t RfPowerAdr(int16_t n);

// Reads the QT-KV7 channel data and the adjustment bytes out of the image; never writes it.
// Every answer reflects the image at the moment of the call.
class clsIndEep_RigKV7 {
  public:
    // Entry 0..20 of the controller's temperature border table.
    using TempBorderFn = std::function<int16_t(int16_t)>;
    // Receives the whole listing at once (the parameter text box).
    using TextSink = std::function<void(const std::string&)>;

    explicit clsIndEep_RigKV7(const clsCmcEeprom& eep) : eep_(&eep) {}

    // The model has no channel groups.
    bool RigKV7Eep_GetChGroupAppear(int16_t group) const;
    // n + 1 in decimal ("1" for channel 0); kept in the name table, n must be 0..41
    // (SubscriptError otherwise).
    std::string RigKV7Eep_GetChName(int16_t n);
    // Frequencies in Hz; std::invalid_argument ("type mismatch") on a non-BCD byte.
    int32_t RigKV7Eep_GetChFreqTxReal(int16_t n) const;
    int32_t RigKV7Eep_GetChFreqRxReal(int16_t n) const;
    // True: the channel transmits at low power.
    bool RigKV7Eep_GetChRFPower(int16_t n) const;
    // False for a negative n (without reading); otherwise the record is not empty.
    bool RigKV7Eep_GetChAppear(int16_t n) const;

    // The 83-line parameter listing, each line "<23-char name>: <value>" CR LF.
    std::string RigKV7Eep_DispParaText(const TempBorderFn& tempBorder) const;
    // Builds the listing first, then hands it to the text box: a failure leaves the box as is.
    void RigKV7Eep_DispPara(const TextSink& textBox, const TempBorderFn& tempBorder) const;

    // Six BCD digits at address..address+2 in kHz, returned in Hz. A nibble A..F throws
    // std::invalid_argument ("type mismatch"); an inhibit bit is decoded as part of the digit.
    int32_t ReadFreqBlock(int16_t address) const;
    bool Check_MRCH(int16_t address) const;  // the byte is not FF
    bool Check_Inh(int16_t address) const;   // bit 7 of the byte is set

    // Appends a hex dump of addresses 0..5119 (320 rows of 16 bytes). Rows 00..FF are
    // labelled "XXh |  "; rows from 100 on "XXXh | ", so the byte columns stay aligned.
    void RigKV7Eep_DispDebug(std::string& text) const;

  private:
    int16_t byteAt(int32_t adr) const;
    const clsCmcEeprom* eep_;
    std::array<std::string, 42> chName_{};
};

}  // namespace kv7
