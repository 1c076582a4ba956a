// The program's speed against the line: a 9600-baud line carries 960 bytes/s, so a technician
// should wait for the cable and never for the program. Each wall-time figure runs the whole
// program (its real window on the offscreen platform, the Qt serial port, the 50 ms heartbeat)
// against kv7-radio-sim on a pseudo-terminal, paced at the line rate, and divides the time it
// took by the time its bytes needed on the line. The key-to-line latency runs in virtual time
// against the in-process radio. Prints one table; exit status 1 when a figure misses its target.
#include <QApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "line_rig.h"
#include "line_runs.h"

namespace kv7::bench {
namespace {

// ---- the parser figure -----------------------------------------------------------------------

struct ParserRow {
    std::string name;
    double bytesPerSecond;
};

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char ch : line) {
        if (ch == '"') {
            quoted = !quoted;
        } else if (ch == ',' && !quoted) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    out.push_back(cur);
    return out;
}

std::vector<ParserRow> readParserCsv(const std::string& path) {
    std::vector<ParserRow> rows;
    std::ifstream in(path);
    std::string line;
    int nameCol = -1, bpsCol = -1;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = splitCsv(line);
        if (nameCol < 0) {
            for (size_t i = 0; i < f.size(); ++i) {
                if (f[i] == "name") nameCol = static_cast<int>(i);
                if (f[i] == "bytes_per_second") bpsCol = static_cast<int>(i);
            }
            continue;
        }
        if (bpsCol < 0 || static_cast<size_t>(bpsCol) >= f.size() || f[bpsCol].empty()) continue;
        rows.push_back({f[static_cast<size_t>(nameCol)], std::atof(f[bpsCol].c_str())});
    }
    return rows;
}

// ---- output ----------------------------------------------------------------------------------

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double pos = p * double(v.size() - 1);
    const auto lo = static_cast<size_t>(std::floor(pos));
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

struct Row {
    std::string figure, measured, floor, ratio, target;
    bool met;
};

int run(const Options& o) {
    std::vector<Row> rows;
    bool allMet = true;
    auto add = [&](Row r) {
        allMet = allMet && r.met;
        rows.push_back(std::move(r));
    };

    WallResults w;
    std::string error;
    if (!runWall(o, w, error)) {
        if (w.toldToEnd) {
            std::cerr << "line_bench: told to end; the program closed as its window does\n";
            return 3;
        }
        std::cerr << "line_bench: " << error << "\n";
        for (const std::string& m : w.messages) std::cerr << "  message: " << m << "\n";
        return 2;
    }
    const double cloneFloorMs = double(w.cloneBytes) * 1000.0 / kLineBytesPerSecond;
    const double cloneRatio = w.cloneMs / cloneFloorMs;
    add({"Clone read, Connect to console loaded", fixed(w.cloneMs / 1000, 3) + " s",
         fixed(cloneFloorMs / 1000, 3) + " s (" + std::to_string(w.cloneBytes) + " B)",
         fixed(cloneRatio, 4), "<= 1.05", cloneRatio <= 1.05});

    std::vector<double> ratios;
    for (size_t i = 0; i < w.refreshMs.size(); ++i) {
        ratios.push_back(w.refreshMs[i] /
                         (double(w.refreshBytes[i]) * 1000.0 / kLineBytesPerSecond));
    }
    const int64_t refreshBytes = w.refreshBytes.empty() ? 0 : w.refreshBytes.front();
    const double refreshFloorMs = double(refreshBytes) * 1000.0 / kLineBytesPerSecond;
    const double medianRatio = percentile(ratios, 0.5);
    const double worstRatio = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
    add({"Monitor refresh, Reload(F5) to 14 readings in (median of " +
             std::to_string(ratios.size()) + ")",
         fixed(percentile(w.refreshMs, 0.5), 1) + " ms",
         fixed(refreshFloorMs, 1) + " ms (" + std::to_string(refreshBytes) + " B)",
         fixed(medianRatio, 3), "<= 1.3", medianRatio <= 1.3});
    add({"Monitor refresh, worst of " + std::to_string(ratios.size()),
         fixed(w.refreshMs.empty() ? 0 : *std::max_element(w.refreshMs.begin(), w.refreshMs.end()),
               1) +
             " ms",
         fixed(refreshFloorMs, 1) + " ms", fixed(worstRatio, 3), "<= 1.3", worstRatio <= 1.3});

    auto perStep = [&](const std::string& what, const std::vector<double>& steps, int bytes) {
        const double floorMs = double(bytes) * 1000.0 / kLineBytesPerSecond;
        const double median = percentile(steps, 0.5);
        const double worst = steps.empty() ? 0 : *std::max_element(steps.begin(), steps.end());
        add({what + " (median / worst of " + std::to_string(steps.size()) + ")",
             fixed(median, 1) + " / " + fixed(worst, 1) + " ms",
             fixed(floorMs, 1) + " ms (" + std::to_string(bytes) + " B)",
             fixed(median / floorMs, 2) + " / " + fixed(worst / floorMs, 2), "-", !steps.empty()});
    };
    perStep("BPF sweep point, setting to next setting", w.sweepPointMs, kSweepPointBytes);
    const double entryFloorMs = double(kTxfEntryBytes) * 1000.0 / kLineBytesPerSecond;
    add({"TXF table entry: the 40 entries from the first written to the last echo in, per entry",
         fixed(w.txfEntryMs, 2) + " ms",
         fixed(entryFloorMs, 2) + " ms (" + std::to_string(kTxfEntryBytes) + " B)",
         fixed(w.txfEntryMs / entryFloorMs, 3), "-", w.txfEntryMs > 0});

    std::vector<Press> presses;
    if (!runLatency(o, presses, error)) {
        std::cerr << "line_bench: " << error << "\n";
        return 2;
    }
    std::vector<double> beats, overBound;
    int64_t maxExcess = 0;
    int waited = 0;
    for (const Press& p : presses) {
        beats.push_back(double(p.latencyMs) / kHeartbeatMs);
        maxExcess = std::max(maxExcess, p.latencyMs - p.pendingMs);
        if (p.pendingMs > 0) ++waited;
    }
    const double maxBeats = beats.empty() ? 0 : *std::max_element(beats.begin(), beats.end());
    const bool latencyMet = maxExcess <= kHeartbeatMs;
    add({"Key to line, " + std::to_string(presses.size()) + " Right keys (" +
             std::to_string(waited) + " during a pending wait): median / p99 / max",
         fixed(percentile(beats, 0.5), 2) + " / " + fixed(percentile(beats, 0.99), 2) + " / " +
             fixed(maxBeats, 2) + " heartbeats",
         "pending wait + 1 heartbeat",
         "max beyond the wait " + fixed(double(maxExcess) / kHeartbeatMs, 2) + " heartbeats",
         "<= 1 heartbeat + wait", latencyMet});

    if (!o.parserCsv.empty()) {
        const std::vector<ParserRow> parser = readParserCsv(o.parserCsv);
        if (parser.empty()) {
            std::cerr << "line_bench: no parser figures in " << o.parserCsv << "\n";
            return 2;
        }
        for (const ParserRow& p : parser) {
            const double multiple = p.bytesPerSecond / kLineBytesPerSecond;
            add({"Receive parser " + p.name, fixed(p.bytesPerSecond / 1e6, 2) + " MB/s",
                 "960 B/s line", fixed(multiple, 0) + " x line rate", ">= 100 x line rate *",
                 multiple >= 100});
        }
    }

    add({"CPU while connected and idle (" + fixed(w.idleSeconds, 1) + " s, getrusage)",
         fixed(w.idleCpuPercent, 2) + " % of one core", "-", "-", "<= 2 % *",
         w.idleCpuPercent <= 2.0});
    add({"Peak memory (ru_maxrss)", fixed(double(w.maxRssKiB) / 1024.0, 1) + " MiB", "-", "-",
         "<= 100 MiB *", w.maxRssKiB <= 100 * 1024});

    std::cout << "| Figure | Measured | Line-time floor | Ratio to floor | Target | Met |\n"
              << "|---|---|---|---|---|---|\n";
    for (const Row& r : rows) {
        std::cout << "| " << r.figure << " | " << r.measured << " | " << r.floor << " | " << r.ratio
                  << " | " << r.target << " | " << (r.met ? "yes" : "**no**") << " |\n";
    }
    std::cout
        << "\nTargets marked * are this benchmark's own margins; the others are the program's.\n"
        << "Clone read breakdown: Connect to the first request " << fixed(w.cloneStartMs, 1)
        << " ms; last byte in to the console shown " << fixed(w.cloneFinishMs, 1)
        << " ms.\nMonitor refreshes (ms):";
    for (double ms : w.refreshMs) std::cout << " " << fixed(ms, 1);
    std::cout << "\n";
    if (!w.messages.empty()) {
        std::cout << "Messages shown:";
        for (const std::string& m : w.messages) std::cout << " [" << m << "]";
        std::cout << "\n";
        allMet = false;
    }
    return allMet ? 0 : 1;
}

const char* const kUsage =
    "Usage: kv7_line_bench [--sim PATH] [--const FILE] [--parser-csv FILE] [--refreshes N]\n"
    "                      [--presses N] [--idle-seconds N] [--seed N]\n";

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--sim") {
            o.sim = v;
        } else if (a == "--const") {
            o.constFile = v;
        } else if (a == "--parser-csv") {
            o.parserCsv = v;
        } else if (a == "--refreshes") {
            o.refreshes = std::max(1, std::atoi(v.c_str()));
        } else if (a == "--presses") {
            o.presses = std::max(1, std::atoi(v.c_str()));
        } else if (a == "--idle-seconds") {
            o.idleSeconds = std::max(1, std::atoi(v.c_str()));
        } else if (a == "--seed") {
            o.seed = static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 10));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace
}  // namespace kv7::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv7::bench::Options o;
    if (!kv7::bench::parseArgs(argc, argv, o)) {
        std::cerr << kv7::bench::kUsage;
        return 2;
    }
    return kv7::bench::run(o);
}
