#include "model/eeprom_map.h"

#include <cstdio>
#include <stdexcept>

#include "store/common.h"

namespace kv7 {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int32_t kDumpSize = 5120;

// The last n characters of s (all of s when shorter).
std::string rightChars(const std::string& s, size_t n) {
    return s.size() <= n ? s : s.substr(s.size() - n);
}

std::string formatDec4(int16_t v) {
    return rightChars("    " + std::to_string(v), 4);
}

std::string formatSignedDec4(int16_t v) {
    return formatDec4(v >= 128 ? static_cast<int16_t>(v - 256) : v);
}

// The name part right-aligned in 23 columns, then ": ".
std::string label(const std::string& name) {
    return std::string(name.size() < 23 ? 23 - name.size() : 0, ' ') + name + ": ";
}

std::string hex2(int v) {
    return HexByte(static_cast<int16_t>(v & 0xFF));
}

}  // namespace

int16_t RxFreqBlockAdr(int16_t n) {
    return checkedAdd16(kChAreaStart, checkedMul16(20, n));
}
int16_t TxFreqBlockAdr(int16_t n) {
    return checkedAdd16(kChAreaStart + 3, checkedMul16(20, n));
}
int16_t RfPowerAdr(int16_t n) {
    return checkedAdd16(kChAreaStart + 9, checkedMul16(20, n));
}

int16_t clsIndEep_RigKV7::byteAt(int32_t adr) const {
    return eep_->ReadByte(adr);
}

bool clsIndEep_RigKV7::RigKV7Eep_GetChGroupAppear(int16_t /*group*/) const {
    return false;
}

std::string clsIndEep_RigKV7::RigKV7Eep_GetChName(int16_t n) {
    if (n < 0 || n >= static_cast<int16_t>(chName_.size()))
        throw SubscriptError("channel name index out of range");
    chName_[static_cast<size_t>(n)] = std::to_string(n + 1);
    return chName_[static_cast<size_t>(n)];
}

int32_t clsIndEep_RigKV7::RigKV7Eep_GetChFreqTxReal(int16_t n) const {
    return ReadFreqBlock(TxFreqBlockAdr(n));
}

int32_t clsIndEep_RigKV7::RigKV7Eep_GetChFreqRxReal(int16_t n) const {
    return ReadFreqBlock(RxFreqBlockAdr(n));
}

bool clsIndEep_RigKV7::RigKV7Eep_GetChRFPower(int16_t n) const {
    return eep_->ReadBit(RfPowerAdr(n), 1) != 0;
}

bool clsIndEep_RigKV7::RigKV7Eep_GetChAppear(int16_t n) const {
    if (n < 0) return false;
    return Check_MRCH(RxFreqBlockAdr(n));
}

int32_t clsIndEep_RigKV7::ReadFreqBlock(int16_t address) const {
    int32_t f = 0;
    for (int16_t i = 0; i < 3; ++i) {
        const int16_t b = byteAt(checkedAdd16(address, i));
        const int hi = b >> 4;
        const int lo = b & 0x0F;
        if (hi > 9 || lo > 9) throw std::invalid_argument("type mismatch");
        f = (f + hi * 10 + lo) * 100;
    }
    return f * 10;
}

bool clsIndEep_RigKV7::Check_MRCH(int16_t address) const {
    return byteAt(address) != 0xFF;
}

bool clsIndEep_RigKV7::Check_Inh(int16_t address) const {
    return eep_->ReadBit(address, 7) != 0;
}

std::string clsIndEep_RigKV7::RigKV7Eep_DispParaText(const TempBorderFn& tempBorder) const {
    std::string t;
    auto line = [&t](const std::string& name, const std::string& value) {
        t += label(name) + value + kCrLf;
    };
    auto dec = [this](int32_t adr) { return formatDec4(byteAt(adr)); };
    auto sdec = [this](int32_t adr) { return formatSignedDec4(byteAt(adr)); };

    line("POW HI Level", dec(49));
    line("POW LOW Level", dec(48));
    line("DTCS Bal Level", dec(63));
    line("MOD Level", dec(62));
    line("SQL Level", dec(135));
    for (int i = 0; i < 4; ++i) line("BPF T" + std::to_string(i + 1) + " Level", sdec(68 + i));
    for (int i = 0; i < 5; ++i) line("MOD Level(Div) " + std::to_string(i), sdec(52 + i));
    for (int i = 0; i < 5; ++i) line("Power Level(Div) " + std::to_string(i), sdec(57 + i));
    line("MOD Slant", sdec(64));
    line("SQL Slant", sdec(65));
    const int16_t b = byteAt(67);
    line("Base Frequency", formatDec4(static_cast<int16_t>((b / 16) * 10 + b % 16)) + "0.000MHz");
    for (int16_t i = 0; i <= 20; ++i)
        line("REF Area " + std::to_string(i), formatDec4(tempBorder(i)));
    for (int i = 0; i < 20; ++i) line("REF Initial " + std::to_string(i), dec(92 + i));
    for (int i = 0; i < 20; ++i) line("REF Slant " + std::to_string(i), sdec(72 + i));
    return t;
}

void clsIndEep_RigKV7::RigKV7Eep_DispPara(const TextSink& textBox,
                                          const TempBorderFn& tempBorder) const {
    const std::string text = RigKV7Eep_DispParaText(tempBorder);
    textBox(text);
}

void clsIndEep_RigKV7::RigKV7Eep_DispDebug(std::string& text) const {
    std::string t = kCrLf;
    t += std::string("       EEPROM Data") + kCrLf;
    t += "       ";
    for (int k = 0; k < 16; ++k) t += (k ? "  " : "") + hex2(k);
    t += kCrLf;
    t += "      -----";
    for (int k = 0; k < 14; ++k) t += "----";
    t += std::string("---") + kCrLf;
    for (int32_t row = 0; row < kDumpSize / 16; ++row) {
        // A three-digit row number takes one of the two blanks before the first byte.
        if (row < 0x100) {
            t += hex2(row) + "h |  ";
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03X", static_cast<unsigned>(row));
            t += std::string(buf) + "h | ";
        }
        for (int k = 0; k < 16; ++k) t += (k ? "  " : "") + hex2(byteAt(row * 16 + k));
        t += kCrLf;
    }
    text += t;
}

}  // namespace kv7
