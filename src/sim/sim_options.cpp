#include "sim/sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace kv7::sim {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool parseInt(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// STAGE:LO:WIDTH with stage 1 to 4.
bool parsePlateau(const std::string& text, std::array<Plateau, 4>& plateaus) {
    const auto c1 = text.find(':');
    const auto c2 = c1 == std::string::npos ? c1 : text.find(':', c1 + 1);
    if (c2 == std::string::npos) return false;
    int64_t stage = 0, lo = 0, width = 0;
    if (!parseInt(text.substr(0, c1), 1, 4, stage) ||
        !parseInt(text.substr(c1 + 1, c2 - c1 - 1), -128, 127, lo) ||
        !parseInt(text.substr(c2 + 1), 1, 256, width))
        return false;
    plateaus[static_cast<size_t>(stage - 1)] = {static_cast<int16_t>(lo),
                                                static_cast<int16_t>(width)};
    return true;
}

// Q:K[:X] of the test set's answer faults; X is required when `needsValue`.
bool parseAnswerFault(const std::string& option, const std::string& text, SimAnswerFault& out) {
    std::vector<std::string> parts;
    for (size_t from = 0;;) {
        const size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    using Kind = SimAnswerFault::Kind;
    const std::pair<const char*, Kind> kinds[] = {{"--test-set-stray", Kind::Stray},
                                                  {"--test-set-late", Kind::Late},
                                                  {"--test-set-outlier", Kind::Outlier},
                                                  {"--test-set-absurd", Kind::Absurd}};
    for (const auto& [name, kind] : kinds) {
        if (option == name) out.kind = kind;
    }
    const bool needsValue = out.kind == Kind::Late || out.kind == Kind::Outlier;
    if (parts.size() < 2 || parts.size() > 3 || (needsValue && parts.size() != 3)) return false;
    bool known = false;
    for (SimQuantity q : {SimQuantity::Power, SimQuantity::Frequency, SimQuantity::FreqError,
                          SimQuantity::Deviation}) {
        if (parts[0] == SimQuantityName(q)) out.quantity = q, known = true;
    }
    int64_t k = 0;
    if (!known || !parseInt(parts[1], 1, 1000000, k)) return false;
    out.answer = static_cast<int32_t>(k);
    out.number = 1.7e308;
    if (parts.size() < 3) return true;
    const std::string& v = parts[2];
    switch (out.kind) {
        case Kind::Stray: out.text = v; return !v.empty();
        case Kind::Late:
            if (!parseInt(v, 0, 600000, k)) return false;
            out.lateMs = static_cast<int32_t>(k);
            return true;
        case Kind::Outlier:
        case Kind::Absurd: return parseDouble(v, out.number);
    }
    return false;
}

}  // namespace

const char* SimQuantityName(SimQuantity q) {
    switch (q) {
        case SimQuantity::Power: return "power";
        case SimQuantity::Frequency: return "freq";
        case SimQuantity::FreqError: return "freq-error";
        case SimQuantity::Deviation: return "deviation";
    }
    return "?";
}

bool parseCode(const std::string& text, std::array<uint8_t, 2>& out) {
    if (text.size() != 4) return false;
    int d[4];
    for (size_t i = 0; i < 4; ++i) {
        d[i] = hexDigit(text[i]);
        if (d[i] < 0) return false;
    }
    out[0] = static_cast<uint8_t>(d[0] * 16 + d[1]);
    out[1] = static_cast<uint8_t>(d[2] * 16 + d[3]);
    return true;
}

bool parseSimArguments(const std::vector<std::string>& args, SimCommandLine& out,
                       std::string& error) {
    SimOptions& o = out.options;
    SimFaults& f = o.faults;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // Options that take a value read it from the next argument.
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            error = "bad value for " + a + ": " + v;
            return false;
        };
        std::string v;
        int64_t n = 0;
        std::array<uint8_t, 2> code{};
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--verbose") {
            out.verbose = true;
        } else if (a == "--no-pacing") {
            o.pacing = false;
        } else if (a == "--instant-intake") {
            o.pacedIntake = false;
        } else if (a == "--log-measurements") {
            out.logMeasurements = true;
        } else if (a == "--frame-log") {
            if (!value(v)) return false;
            out.frameLogFile = v;
        } else if (a == "--image") {
            if (!value(v)) return false;
            out.imageFile = v;
        } else if (a == "--model" || a == "--sub-name") {
            if (!value(v)) return false;
            if (!parseCode(v, code)) return bad(v);
            (a == "--model" ? o.modelCode : o.subName) = v;
        } else if (a == "--channel-type") {
            if (!value(v)) return false;
            if (v != "0" && v != "1") return bad(v);
            o.channelType = v == "1";
        } else if (a == "--temperature") {
            if (!value(v)) return false;
            if (!parseDouble(v, o.temperatureC) || o.temperatureC < -100 || o.temperatureC > 200)
                return bad(v);
        } else if (a == "--lvin" || a == "--vin" || a == "--remot" || a == "--bdet") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, 255, n)) return bad(v);
            const auto b = static_cast<uint8_t>(n);
            if (a == "--lvin") o.lvin = b;
            if (a == "--vin") o.vin = b;
            if (a == "--remot") o.remot = b;
            if (a == "--bdet") o.bdet = b;
        } else if (a == "--plateau") {
            if (!value(v)) return false;
            if (!parsePlateau(v, o.plateaus)) return bad(v);
        } else if (a == "--answer-delay") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, 60000, n)) return bad(v);
            o.answerDelayMs = static_cast<int32_t>(n);
        } else if (a == "--lenient-identity") {
            o.strictIdentity = false;
        } else if (a == "--fault-no-echo") {
            f.noEcho = true;
        } else if (a == "--fault-no-answer") {
            f.noAnswer = true;
        } else if (a == "--fault-bad-checksum" || a == "--fault-gap" ||
                   a == "--fault-beyond-image") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, 319, n)) return bad(v);
            int32_t& block = a == "--fault-gap"            ? f.gapBeforeBlock
                             : a == "--fault-beyond-image" ? f.beyondImageBlock
                                                           : f.badChecksumBlock;
            block = static_cast<int32_t>(n);
        } else if (a == "--gap-ms") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, 600000, n)) return bad(v);
            f.gapMs = static_cast<int32_t>(n);
        } else if (a == "--fault-refuse-write") {
            f.refuseWrite = true;
        } else if (a == "--fault-noise") {
            f.noise = true;
        } else if (a == "--fault-cut-after") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, INT64_MAX, n)) return bad(v);
            f.cutAfterBytes = n;
        } else if (a == "--off-after-read") {
            if (!value(v)) return false;
            if (!parseDouble(v, f.offAfterReadS) || f.offAfterReadS < 0 || f.offAfterReadS > 86400)
                return bad(v);
        } else if (a == "--ptt") {
            if (!value(v)) return false;
            if (v != "on" && v != "off") return bad(v);
            o.ptt = v == "on";
        } else if (a == "--ptt-release-after") {
            if (!value(v)) return false;
            if (!parseDouble(v, o.pttReleaseAfterS) || o.pttReleaseAfterS < 0 ||
                o.pttReleaseAfterS > 86400)
                return bad(v);
        } else if (a == "--test-set") {
            if (!value(v)) return false;
            if (!parseInt(v, 0, 65535, n)) return bad(v);
            out.testSetPort = static_cast<int32_t>(n);
        } else if (a == "--test-set-silent") {
            out.testSetFault = SimTestSetFault::Silent;
        } else if (a == "--test-set-garbage") {
            out.testSetFault = SimTestSetFault::Garbage;
        } else if (a == "--test-set-error") {
            out.testSetFault = SimTestSetFault::Error;
        } else if (a == "--test-set-stray" || a == "--test-set-late" || a == "--test-set-outlier" ||
                   a == "--test-set-absurd") {
            if (!value(v)) return false;
            SimAnswerFault fault;
            if (!parseAnswerFault(a, v, fault)) return bad(v);
            out.bench.answers.push_back(fault);
        } else if (a == "--test-set-noise") {
            if (!value(v)) return false;
            if (!parseDouble(v, out.bench.noiseFactor) || out.bench.noiseFactor < 0 ||
                out.bench.noiseFactor > 1000)
                return bad(v);
        } else if (a == "--fault-wrong-model") {
            o.modelCode = "2252";
        } else if (a == "--fault-sub-name") {
            o.subName = "0300";
        } else {
            error = "unknown option: " + a;
            return false;
        }
    }
    return true;
}

std::string simUsage() {
    std::ostringstream s;
    s << "Usage: kv7-radio-sim [OPTION]...\n"
         "Simulated QT-KV7 radio on a pseudo-terminal. The first line printed is the path of\n"
         "the terminal to open as the serial port; the radio serves whoever opens it, again\n"
         "after each close, until SIGINT or SIGTERM.\n"
         "\n"
         "Radio:\n"
         "  --image FILE          EEPROM image: 5120 bytes bare, or a saved image file\n"
         "                        (default: built-in sample)\n"
         "  --model XXXX          model code, four hex digits (default 2251)\n"
         "  --sub-name XXXX       sub name, four hex digits (default 0200)\n"
         "  --channel-type 0|1    channel type flag in the identification (default 0)\n"
         "  --no-pacing           send at once instead of 960 bytes/s\n"
         "  --instant-intake      take the program's bytes off the line at once instead of\n"
         "                        at 960 bytes/s (unsent bytes then never meet a flush)\n"
         "  --answer-delay MS     turnaround before each answer (default 5)\n"
         "  --lenient-identity    also serve requests that carry other codes\n"
         "  --temperature C       temperature of the radio in degrees C (default 25)\n"
         "  --lvin N              LVIN reading 0..255 (default 100)\n"
         "  --vin N               VIN reading 0..255 (default 189)\n"
         "  --remot N             REMOT reading 0..255 (default 230)\n"
         "  --bdet N              BDET reading 0..255 (default 120)\n"
         "  --plateau STAGE:LO:WIDTH\n"
         "                        BPF stage 1..4 peaks for settings LO..LO+WIDTH-1\n"
         "                        (default 10:5 for every stage)\n"
         "\n"
         "Transmitter and test set:\n"
         "  --ptt on|off          key the transmitter from the start (default off); keyed, it\n"
         "                        radiates on the selected channel with the power, frequency\n"
         "                        and deviation its adjustment values give\n"
         "  --ptt-release-after S release the key after S seconds\n"
         "  --test-set PORT       serve a simulated test set (SCPI, Generic SCPI profile) on\n"
         "                        127.0.0.1:PORT that measures the transmitter; PORT 0 takes a\n"
         "                        free port. Either way the second line printed is\n"
         "                        \"test-set 127.0.0.1:PORT\"\n"
         "  --test-set-silent     the test set takes every command and answers nothing\n"
         "  --test-set-garbage    the test set answers every query but *OPC? with random bytes\n"
         "  --test-set-error      the test set's SYST:ERR? always reports -113\n"
         "  Q below is power, freq, freq-error or deviation; K counts its readings of a\n"
         "  carrier from 1 on each connection:\n"
         "  --test-set-stray Q:K[:TEXT]  after the K-th answer to Q a line nobody asked for\n"
         "                        follows (TEXT, or a copy of the answer)\n"
         "  --test-set-late Q:K:MS       the K-th answer to Q comes MS ms late\n"
         "  --test-set-outlier Q:K:OFFSET  the K-th answer to Q is off by OFFSET (W or Hz)\n"
         "  --test-set-absurd Q:K[:NUMBER]  the K-th answer to Q is NUMBER (default 1.7E+308)\n"
         "  --test-set-noise FACTOR  the test set's noise multiplied by FACTOR\n"
         "\n"
         "Faults (clone read blocks count from 0, block K holds addresses 16K..16K+15):\n"
         "  --fault-no-echo       no echo of the program's bytes\n"
         "  --fault-no-answer     echo, but never an answer\n"
         "  --fault-bad-checksum K  clone read block K with a wrong checksum\n"
         "  --fault-beyond-image K  clone read block K claims addresses past the image's end\n"
         "  --fault-gap K         silence before clone read block K (see --gap-ms)\n"
         "  --gap-ms MS           length of that silence (default 1500)\n"
         "  --fault-refuse-write  clone write answered with result 01\n"
         "  --fault-noise         stray bytes before every frame the radio sends\n"
         "  --fault-cut-after N   the line goes dead after N bytes from the radio\n"
         "  --off-after-read S    the radio is switched off (silent and deaf) S seconds\n"
         "                        after its first clone read was on the line in full\n"
         "  --fault-wrong-model   identify as model 2252\n"
         "  --fault-sub-name      identify with sub name 0300\n"
         "\n"
         "  --verbose             print the frames received on standard error\n"
         "  --frame-log FILE      write every frame received to FILE, one line each:\n"
         "                        \"frame: EE EF ...\" (the record between FE FE and FD) or\n"
         "                        \"cut: ...\" for a frame cut off or malformed\n"
         "  --log-measurements    the frame log also holds \"measure T ms QUANTITY ANSWER\" for\n"
         "                        each reading the test set answers (T since the start) and,\n"
         "                        at the end, what the radio's values put on the air:\n"
         "                        \"end: power-hi X W, power-lo Y W, deviation Z Hz,\n"
         "                        carrier N Hz (error E Hz)\"\n"
         "  --help                this text\n";
    return s.str();
}

}  // namespace kv7::sim
