#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "sim/sim_radio.h"
#include "store/byte_string.h"

namespace kv7::simtest {

ByteString hex(const std::string& text);  // "FE FE EE" or "FEFEEE"
// A frame as the program writes it: FE FE EE EF payload FD.
ByteString request(const ByteString& payload);
ByteString request(const std::string& payloadHex);
// Each upper-case hex digit of the bytes as one ASCII character.
ByteString asciiHex(const ByteString& bytes);
// An 0xE4 payload for data at address, with the checksum made right (plus skew).
ByteString clonePacket(int32_t address, const ByteString& data, int skew = 0);
ByteString cloneEnd();  // 0xE5 with the signature

// Records between the last 0xFE of a preamble and 0xFD; bytes outside frames are skipped.
std::vector<ByteString> records(const ByteString& stream);
// Only those addressed EF from EE (the radio's answers).
std::vector<ByteString> answers(const ByteString& stream);

// A radio on a virtual clock that collects everything it puts on the line.
struct Bench {
    explicit Bench(sim::SimOptions o = unpaced());
    Bench(sim::SimOptions o, const ByteString& image);
    static sim::SimOptions unpaced() {
        sim::SimOptions o;
        o.pacing = false;
        o.pacedIntake = false;
        o.answerDelayMs = 0;
        return o;
    }
    // Sends the bytes, then lets ms of virtual time pass 1 ms at a time; returns what came back.
    ByteString exchange(const ByteString& bytes, int32_t ms = 0);
    // Lets time pass, collecting into line; returns the bytes that came due.
    ByteString run(int32_t ms);

    ManualTickSource clock{5000};
    sim::SimRadio radio;
    ByteString line;                 // everything received from the radio so far
    std::vector<int64_t> arrivalMs;  // virtual time each byte of line became due
};

// A monitor request for value n (adjustment command 3) with the default codes.
ByteString monitorRequest(int n, const std::string& codes = "22510200");
ByteString adjustRequest(uint8_t number, uint8_t value, const std::string& codes = "22510200");

}  // namespace kv7::simtest
