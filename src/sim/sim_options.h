#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv7::sim {

// Faults the simulated radio injects on request. Blocks are counted from 0: block k of a clone
// read carries addresses 16k to 16k + 15.
struct SimFaults {
    bool noEcho = false;            // the cable returns nothing of what the program writes
    bool noAnswer = false;          // echoes, but never answers (no clone data, no 0xE6, no 0xE8)
    int32_t badChecksumBlock = -1;  // clone read block whose checksum is off by one
    int32_t gapBeforeBlock = -1;    // clone read block that comes only after gapMs of silence
    int32_t beyondImageBlock = -1;  // clone read block sent for addresses past the image's end
    int32_t gapMs = 1500;           // longer than the program's 1200 ms answer time-out
    bool refuseWrite = false;       // answers every clone end with a non-zero result
    uint8_t refuseResult = 0x01;    // the result byte sent then
    bool noise = false;  // a few stray bytes (never 0xFE or 0xFD) before each frame it sends
    int64_t cutAfterBytes = -1;  // after this many bytes on the line: silent and deaf
    // Switched off (silent and deaf) that many seconds after its first clone read was on the
    // line in full; negative: never.
    double offAfterReadS = -1;
};

// How the simulated test set misbehaves on request.
enum class SimTestSetFault {
    None,
    Silent,   // takes every command, answers nothing
    Garbage,  // answers every query but *OPC? with a line of random bytes
    Error,    // SYST:ERR? always reports -113,"Undefined header"
};

// What the simulated test set measures, as its fault options name it.
enum class SimQuantity { Power, Frequency, FreqError, Deviation };
const char* SimQuantityName(SimQuantity q);  // "power", "freq", "freq-error", "deviation"

// One answer of the simulated test set that goes wrong on request: the K-th answer (from 1) to
// one quantity's measurement of a carrier on a connection (a noise floor does not count).
struct SimAnswerFault {
    enum class Kind {
        Stray,    // an extra line nobody asked for follows the answer: text, or a copy of it
        Late,     // the answer comes lateMs late (and what follows it waits behind it)
        Outlier,  // the answer is off by offset (W or Hz)
        Absurd,   // the answer is the number given, whatever the unit
    };
    Kind kind = Kind::Stray;
    SimQuantity quantity = SimQuantity::Power;
    int32_t answer = 1;
    std::string text;   // Stray; empty: a copy of the answer
    double number = 0;  // Outlier: the offset; Absurd: the number
    int32_t lateMs = 0;
};

// How the simulated test set's readings go wrong beside its fault.
struct SimBenchFaults {
    std::vector<SimAnswerFault> answers;
    double noiseFactor = 1;  // the seeded noise multiplied by this
};

// The BPF stage's best SD reading is given by settings lo to lo + width - 1.
struct Plateau {
    int16_t lo = 10;
    int16_t width = 5;
};

struct SimOptions {
    std::string modelCode = "2251";  // four hex digits, sent as two bytes
    std::string subName = "0200";
    bool channelType = false;  // bit 5 of identification data byte 39
    bool pacing = true;        // 960 bytes/s (9600 baud 8N1); off: everything is due at once
    // The program's bytes are taken off the line at 960 bytes/s too, so what the program wrote
    // but the line has not carried yet can still be destroyed by a flush of the port. Off: the
    // line swallows every byte at once (which hides every fault of that kind).
    bool pacedIntake = true;
    int32_t answerDelayMs = 5;  // turnaround between the end of a request and the answer
    // Requests other than identification are ignored unless they carry this radio's codes.
    bool strictIdentity = true;

    double temperatureC = 25.0;
    uint8_t vin = 189;    // A/D VIN raw (7.41 V)
    uint8_t lvin = 100;   // A/D LVIN raw
    uint8_t remot = 230;  // A/D REMOT raw
    uint8_t bdet = 120;   // A/D BDET raw (Li-ion)
    std::array<Plateau, 4> plateaus{};

    // Transmit oscillator: error (ppm) = drift(temperature) + crystalOffsetPpm
    //                                    + (compensation - txfCenter) / txfUnitsPerPpm.
    double txfUnitsPerPpm = 4.0;
    double txfCenter = 128.0;
    double crystalOffsetPpm = -1.5;

    // The transmitter: keyed from the start (the push-to-talk held down), released after that
    // many seconds when not negative.
    bool ptt = false;
    double pttReleaseAfterS = -1;

    SimFaults faults;
};

// Two bytes from four hex digits; false when the text is not exactly that.
bool parseCode(const std::string& text, std::array<uint8_t, 2>& out);

// Command line of kv7-radio-sim. Returns false with a one-line reason in error.
struct SimCommandLine {
    SimOptions options;
    std::string imageFile;  // empty: the built-in sample image
    bool help = false;
    bool verbose = false;      // frames received, on standard error
    std::string frameLogFile;  // every frame received, one line each; empty: none
    // The frame log also holds each reading the test set answers and, at the end, what is on
    // the air.
    bool logMeasurements = false;
    int32_t testSetPort = -1;  // the simulated test set on 127.0.0.1; 0: any free port; -1: none
    SimTestSetFault testSetFault = SimTestSetFault::None;
    SimBenchFaults bench;
};
bool parseSimArguments(const std::vector<std::string>& args, SimCommandLine& out,
                       std::string& error);
std::string simUsage();

}  // namespace kv7::sim
