// The two measuring runs of the line benchmark and what they bring back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv7::bench {

#ifdef KV7_RADIO_SIM
constexpr const char* kDefaultSim = KV7_RADIO_SIM;
#else
constexpr const char* kDefaultSim = "kv7-radio-sim";
#endif
#ifdef KV7_CONST_INI
constexpr const char* kDefaultConst = KV7_CONST_INI;
#else
constexpr const char* kDefaultConst = "Const.ini";
#endif

struct Options {
    std::string sim = kDefaultSim;
    std::string constFile = kDefaultConst;
    std::string parserCsv;  // kv7_parser_bench --benchmark_format=csv output
    int refreshes = 10;
    int presses = 1000;
    int idleSeconds = 30;
    uint32_t seed = 7;
};

struct WallResults {
    double cloneMs = 0;
    int64_t cloneBytes = 0;
    double cloneStartMs = 0;   // Connect to the first request on the line
    double cloneFinishMs = 0;  // last byte read to the console loaded
    std::vector<double> refreshMs;
    std::vector<int64_t> refreshBytes;
    std::vector<double> sweepPointMs;  // from one setting on the line to the next
    double txfEntryMs = 0;  // the whole table, first entry written to last echo in, per entry
    double idleCpuPercent = 0;
    double idleSeconds = 0;
    long maxRssKiB = 0;
    std::vector<std::string> messages;
    bool toldToEnd = false;
};

struct Press {
    int64_t latencyMs;  // key to the first byte of the item's adjustment command
    int64_t pendingMs;  // the wait still owed to the previous command at the key
};

// The whole program against kv7-radio-sim on a pseudo-terminal, in wall time.
bool runWall(const Options& o, WallResults& r, std::string& error);
// Key-to-line latency against the in-process radio, in virtual time.
bool runLatency(const Options& o, std::vector<Press>& presses, std::string& error);

}  // namespace kv7::bench
