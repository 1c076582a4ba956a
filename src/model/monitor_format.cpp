#include "model/monitor_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "model/constants_file.h"
#include "store/common.h"

namespace kv7 {

namespace {

// |x| as decimal digits with `decimals` places, rounded half away from zero on its
// 15-significant-digit form; returns integer digits (no leading zeros) and fraction digits.
void roundDecimal(double x, int decimals, std::string& intDigits, std::string& fracDigits) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(x));
    std::string mant;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') mant += *p;
    const int exp10 = std::atoi(p + 1);
    // digits holds the value with the decimal point after `point` digits.
    std::string digits = mant;
    int point = exp10 + 1;
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    const size_t keep = static_cast<size_t>(point + decimals);
    if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
        size_t i = keep;
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) {
            digits.insert(0, 1, '1');
            ++point;
        } else {
            ++digits[i - 1];
        }
    }
    intDigits = digits.substr(0, static_cast<size_t>(point));
    fracDigits = digits.substr(static_cast<size_t>(point));
    const size_t nz = intDigits.find_first_not_of('0');
    intDigits = nz == std::string::npos ? "" : intDigits.substr(nz);
}

struct AdDef {
    const char* label;
    double fullScale;  // volts at v = 255; 0 for TEMPS
    const char* format;
    size_t width;
};

constexpr AdDef kAd[6] = {
    {"VIN  :", 10.0, "##0.#0V", 7}, {"TEMPS:", 0.0, "###.#0'C", 8}, {"LVIN :", 5.0, "##0.#0V", 7},
    {"SD   :", 5.0, "##0.#0V", 7},  {"REMOT:", 5.0, "##0.#0V", 7},  {"BDET :", 5.0, "##0.#0V", 7},
};

struct DaDef {
    const char* label;
    bool percent;
};

constexpr DaDef kDa[8] = {
    {"BPF T1 :", false}, {"BPF T2 :", false}, {"BPF T3 :", false}, {"T4/POW :", false},
    {"REF    :", false}, {"DTCS BL:", true},  {"Dev    :", false}, {"SQL Lev:", true},
};

std::string linePrefix(const char* label, uint8_t v) {
    return std::string(label) + RightField(std::to_string(v), 3) + ":" + HexByte(v) + "h:";
}

bool isHexDigit(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(uint8_t c) {
    if (c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// The frequency of a block in Hz, or nothing when a byte is not BCD.
std::optional<int32_t> freqOf(const clsIndEep_RigKV7& eep, int16_t adr) {
    try {
        return eep.ReadFreqBlock(adr);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::string freqText(std::optional<int32_t> hz) {
    return hz ? VbFormat(*hz / 1000000.0, "#000.##0") : "Invalid";
}

bool txfRunning(int16_t procStep) {
    return procStep >= 1 && procStep <= 5;
}
bool sweepRunning(int16_t procStep) {
    return procStep >= 6 && procStep <= 10;
}

}  // namespace

std::string VbFormat(double value, std::string_view pattern) {
    if (!std::isfinite(value)) return "Invalid";
    size_t i = 0;
    int minInt = 0;
    for (; i < pattern.size() && (pattern[i] == '#' || pattern[i] == '0'); ++i)
        if (pattern[i] == '0') ++minInt;
    int decimals = 0;
    if (i < pattern.size() && pattern[i] == '.') {
        for (++i; i < pattern.size() && (pattern[i] == '#' || pattern[i] == '0'); ++i) ++decimals;
    }
    const std::string_view suffix = pattern.substr(i);
    if (suffix.find('%') != std::string_view::npos) value *= 100.0;

    std::string intDigits, fracDigits;
    roundDecimal(value, decimals, intDigits, fracDigits);
    const bool zero = intDigits.empty() && fracDigits.find_first_not_of('0') == std::string::npos;
    if (intDigits.size() < static_cast<size_t>(minInt))
        intDigits.insert(0, static_cast<size_t>(minInt) - intDigits.size(), '0');
    std::string out = (value < 0 && !zero) ? "-" : "";
    out += intDigits;
    if (decimals > 0) out += "." + fracDigits;
    out += suffix;
    return out;
}

std::string RightField(const std::string& s, size_t width) {
    const std::string t = "   " + s;
    return t.size() <= width ? t : t.substr(t.size() - width);
}

double TempsCelsius(int16_t v) {
    const double x = v * 5.0 / 255.0;
    const double r = (500000.0 - 100000.0 * x) / x;
    return 1.0 / (std::log(r / 47000.0) / 4000.0 + 1.0 / 298.15) - 273.15;
}

std::string AdLine(int16_t channel, uint8_t v) {
    if (channel < 0 || channel > 5) throw SubscriptError("A/D channel out of range");
    const AdDef& d = kAd[channel];
    std::string t = linePrefix(d.label, v);
    if (channel == 1) {
        // The ends of the range mean an open or shorted sensor.
        if (v == 0 || v == 255) return t + "*Error";
        return t + RightField(VbFormat(TempsCelsius(v), d.format), d.width);
    }
    t += RightField(VbFormat(v * d.fullScale / 255.0, d.format), d.width);
    if (channel == 5) t += v < 83 ? "(Ni-Cd,Ni-MH)" : v < 174 ? "(Li-ion)" : "(Dry Battery)";
    return t;
}

std::string DaLine(int16_t number, uint8_t v) {
    if (number < 0 || number > 7) throw SubscriptError("D/A value number out of range");
    const DaDef& d = kDa[number];
    const std::string reading =
        d.percent ? VbFormat(v / 255.0, "0.00%") : VbFormat(v * 5.0 / 255.0, "##0.#0V");
    return linePrefix(d.label, v) + RightField(reading, 7);
}

std::string ChannelLine(const std::string& title, clsIndEep_RigKV7& eep, int16_t ch) {
    std::string t = title + ": ";
    std::string name = eep.RigKV7Eep_GetChName(ch);
    const size_t nb = name.find_first_not_of(' ');
    const std::string trimmed = nb == std::string::npos ? "" : name.substr(nb);
    t += (VbVal(name) >= 10 ? "" : "0") + trimmed;

    const int16_t rxAdr = RxFreqBlockAdr(ch);
    const int16_t txAdr = TxFreqBlockAdr(ch);
    const bool rxInh = eep.Check_Inh(rxAdr);
    std::optional<int32_t> rx;
    t += " (RX Freq = ";
    if (rxInh) {
        t += "Inhibit";
    } else {
        rx = freqOf(eep, rxAdr);
        t += freqText(rx);
    }
    t += ", TX Freq = ";
    if (eep.Check_Inh(txAdr)) {
        t += "Inhibit";
    } else {
        const std::optional<int32_t> tx = freqOf(eep, txAdr);
        t += (!rxInh && rx && tx && *rx == *tx) ? "  <-   " : freqText(tx);
    }
    t += ")   RF Power: ";
    t += eep.RigKV7Eep_GetChRFPower(ch) ? "Low" : "High";
    return t;
}

std::string TxfLine(const std::string& title, int16_t procStep, bool txfSecond,
                    const clsIndEep_RigKV7& eep, int16_t curCh, int16_t val,
                    const std::string& barString) {
    std::string t = title;
    if (!txfRunning(procStep)) return t + ": [Enter] to Start";
    t += txfSecond ? ": 2nd TX Freq = " : ": 1st TX Freq = ";
    const int16_t txAdr = TxFreqBlockAdr(curCh);
    if (eep.Check_Inh(txAdr)) {
        t += "Inhibit";
    } else if (const std::optional<int32_t> f = freqOf(eep, txAdr)) {
        double hz = *f;
        if (txfSecond) hz *= 1.00001;
        t += VbFormat(hz / 1000000.0, "#000.####0MHz");
    } else {
        t += "Invalid";
    }
    return t + ", Setting = " + RightField(std::to_string(val), 3) + barString;
}

std::string BpfAllLine(const std::string& title, int16_t procStep, int16_t index,
                       int16_t idxSweepStarter) {
    return title + (sweepRunning(procStep) && index == idxSweepStarter ? ": Sweeping"
                                                                       : ": [Enter] to Sweep");
}

std::string BpfStageLine(const std::string& defaultString, int16_t procStep, bool stageSelected) {
    if (!sweepRunning(procStep)) return defaultString + " [Enter] to Sweep";
    return stageSelected ? defaultString + " Sweeping" : defaultString;
}

bool AnswerInvalid(const ByteString& answer, const ByteString& radioIdBytes) {
    if (answer.size() != 7) return true;
    if (radioIdBytes.size() > answer.size() ||
        !std::equal(radioIdBytes.begin(), radioIdBytes.end(), answer.begin()))
        return true;
    return !(isHexDigit(answer[5]) && isHexDigit(answer[6]));
}

int16_t AnswerValue(const ByteString& answer) {
    if (answer.size() < 7 || !isHexDigit(answer[5]) || !isHexDigit(answer[6]))
        throw std::invalid_argument("type mismatch");
    return static_cast<int16_t>(hexValue(answer[5]) * 16 + hexValue(answer[6]));
}

std::string ProgressCaption(int32_t lastEeAdr, double imageSize) {
    const double n = std::floor(lastEeAdr / imageSize * 33.0);
    const int cells = n < 0 ? 0 : n > 32 ? 32 : static_cast<int>(n);
    return std::string(static_cast<size_t>(cells), 'o') +
           std::string(static_cast<size_t>(32 - cells), '.');
}

}  // namespace kv7
