// The alignment's speed against its floor. The whole program runs in virtual time on the
// in-process simulated radio, paced at the line rate, with the transmitter keyed and the
// in-process simulated test set measuring it. Each point runs on its own from Align.ini's
// targets; its time from the start to the run's end is set against the floor
//   steps x (the item's pause + the profile's settle + one reading) + one monitoring cycle,
// where a reading and a monitoring cycle are measured in the same rig. Prints one table; exit
// status 1 when a point does not pass, 2 when the bench cannot run.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "align/align_targets.h"
#include "align/test_set_instrument.h"
#include "app/console_align_radio.h"
#include "app/program.h"
#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "platform/support/window_support.h"
#include "protocol/tick.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"
#include "sim/sim_test_set_link.h"
#include "sim/sim_transmitter.h"
#include "store/file_path.h"
#include "support/temp_folder.h"

namespace kv7::bench {
namespace {

#ifdef KV7_DATA_DIR
constexpr const char* kDataDir = KV7_DATA_DIR;
#else
constexpr const char* kDataDir = "data";
#endif

constexpr int kHeartbeatMs = 50;
constexpr int kKeyRight = 39;
constexpr int16_t kLineChNo = 0;
constexpr int64_t kPointLimitMs = 10 * 60 * 1000;
constexpr int32_t kReplyDelayMs = 3;  // the simulated test set's answer time
constexpr int kTxfWindowEntries = 6;
constexpr int kTxfTableEntries = 40;

// Line time of n adjustment commands (13 bytes each at 960 bytes/s), in whole milliseconds.
int32_t lineMs(int commands) {
    return (commands * 13 * 1000 + 959) / 960;
}

sim::SimOptions keyed() {
    sim::SimOptions o;  // paced at the line rate, with the radio's turnaround
    o.ptt = true;
    return o;
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// The program, the radio and the test set, one millisecond of virtual time at a time.
class Rig {
  public:
    explicit Rig(const std::string& dir)
        : program_(port_, clock_, messages_, beeper_, view_, dir, dir + "/Const.ini", &timer_) {
        links_.setReplyDelayMs(kReplyDelayMs);
        program_.testSet().setLinkFactory(&links_);
    }

    Program& program() { return program_; }
    int64_t now() const { return virtualMs_; }
    const sim::SimRadio& radio() const { return radio_; }

    void advance(int64_t ms) {
        for (int64_t i = 0; i < ms; ++i) {
            clock_.advance(1);
            ++virtualMs_;
            port_.pump();
            links_.pump();
            if (virtualMs_ % kHeartbeatMs == 0 && timer_.enabled()) program_.heartbeat();
        }
    }
    bool runUntil(const std::function<bool()>& done, int64_t limitMs) {
        for (int64_t t = 0; t < limitMs && !done(); ++t) advance(1);
        return done();
    }

    // The cycle idles at its end with every item sent.
    bool atRest() { return program_.controller().changesSent(); }
    // A key on a console line, as the window hands it to the console.
    void keyOn(int16_t line, int code) {
        view_.console.setListIndex(line);
        program_.consoleKeyDown(code, false);
    }
    void click(int16_t button) {
        program_.event("a button", [&] { program_.window().cmd00_Click(button); });
    }

    // Virtual ms of one reading of q as the alignment takes it, its setup done by a reading
    // before it.
    std::optional<int64_t> readingMs(Quantity q) {
        const std::optional<double> f = program_.controller().selectedTxFrequencyHz();
        if (!f) return std::nullopt;
        TestSetInstrument instrument(program_.testSet().testSet(), program_.testSet().monitor());
        int64_t took = -1;
        for (int i = 0; i < 2; ++i) {
            bool valid = false;
            bool in = false;
            const int64_t from = now();
            instrument.measure(q, *f, [&](const Reading& r) { valid = r.valid, in = true; });
            if (!runUntil([&] { return in; }, 10000) || !valid) return std::nullopt;
            took = now() - from;
        }
        return took;
    }

  private:
    ManualTickSource clock_{100000};
    int64_t virtualMs_ = 0;
    sim::SimRadio radio_{clock_, keyed()};
    sim::SimSerialPort port_{radio_};
    sim::SimTransmitter transmitter_{radio_, clock_};
    sim::SimTestSetLinks links_{clock_, [this] { return transmitter_.emission(); }};
    test::FakeWindow view_;
    test::FakeMessageSink messages_;
    test::FakeBeeper beeper_;
    test::NullTimer timer_;
    Program program_;
};

struct PointFigure {
    AlignPoint point;
    int steps = 0;
    int64_t ms = 0;
    int32_t pauseMs = 0;
    int settleMs = 0;
    int64_t readingMs = 0;
    bool passed = false;
    std::string outcome;
};

bool alignPoint(Rig& rig, AlignPoint p, PointFigure& f, std::string& error) {
    Program& program = rig.program();
    f.point = p;
    const int16_t line = ConsoleLine(program.controller().items(), AlignItemOf(p));
    const std::optional<int64_t> reading = rig.readingMs(AlignQuantity(p));
    if (!reading) {
        error = std::string("cannot measure a reading for ") + AlignPointName(p);
        return false;
    }
    // TXF has no pause of its own: a new setting waits while the procedure writes its window of
    // three band values and three slopes, and the last Enter adds the whole table and a check.
    f.pauseMs =
        p == AlignPoint::Txf ? lineMs(kTxfWindowEntries) : program.console().WaitAfterE8(line);
    f.settleMs = program.testSet().testSet().settleMs(AlignQuantity(p));
    f.readingMs = *reading;
    const int64_t from = rig.now();
    AlignRun& run = program.align().run();
    program.event("the Align menu", [&] { run.start({p}); });
    if (!rig.runUntil([&] { return !run.running(); }, kPointLimitMs) || run.results().empty()) {
        error = std::string("the alignment of ") + AlignPointName(p) + " did not end";
        return false;
    }
    f.ms = rig.now() - from;
    const AlignmentRecord& r = run.results().back();
    f.steps = static_cast<int>(r.steps.size());
    f.passed = r.passed;
    f.outcome = r.outcome;
    if (std::getenv("KV7_BENCH_TRACE") != nullptr) {
        std::cerr << r.point << ": value " << r.valueBefore << " to " << r.valueAfter << "\n";
        for (const AlignmentRecord::Step& st : r.steps) {
            std::cerr << "  " << st.value << " reads " << AlignReadingText(r.measure, st.reading)
                      << " (target " << AlignReadingText(r.measure, st.target) << ")\n";
        }
    }
    return rig.runUntil([&] { return rig.atRest(); }, 10000);
}

using Figures = std::array<PointFigure, kAlignPoints.size()>;

bool runBench(const std::string& dir, Figures& figures, int64_t& cycleMs, std::string& error) {
    Rig rig(dir);
    Program& program = rig.program();
    if (program.Main([] { return false; }) != StartResult::Running) {
        error = "the program did not start";
        return false;
    }
    rig.click(0);
    if (!rig.runUntil([&] { return program.controller().RigKV7Prop_EditEnabled(); }, 60000) ||
        !rig.runUntil([&] { return rig.atRest(); }, 10000)) {
        error = "the clone read did not finish";
        return false;
    }
    program.testSet().connect("127.0.0.1", "");
    if (!rig.runUntil([&] { return program.testSet().testSet().state() == TestSet::State::Ready; },
                      10000)) {
        error = "the test set did not become ready";
        return false;
    }
    // One monitoring cycle: Reload(F5) at rest to the cycle's end.
    const int64_t reloadAt = rig.now();
    rig.click(1);
    if (!rig.runUntil([&] { return rig.now() > reloadAt && rig.atRest(); }, 10000)) {
        error = "the monitoring cycle did not end";
        return false;
    }
    cycleMs = rig.now() - reloadAt;

    // Channel 0 transmits at high power; the next channel in use, 1, at low power.
    for (AlignPoint p : {AlignPoint::PowerHi, AlignPoint::Mod, AlignPoint::Txf}) {
        if (!alignPoint(rig, p, figures[static_cast<size_t>(p)], error)) return false;
    }
    rig.keyOn(kLineChNo, kKeyRight);
    if (!rig.runUntil([&] { return rig.radio().selectedChannel() == 1 && rig.atRest(); }, 10000)) {
        error = "the channel did not change";
        return false;
    }
    return alignPoint(rig, AlignPoint::PowerLo, figures[static_cast<size_t>(AlignPoint::PowerLo)],
                      error);
}

int run() {
    namespace fs = std::filesystem;
    const std::string dir = utf8FromPath(test::makeTempFolder("kv7-align-bench-"));
    std::error_code ec;
    for (const char* name : {"Const.ini", "Align.ini"}) {
        fs::copy_file(fs::path(kDataDir) / name, fs::path(dir) / name, ec);
    }
    Figures figures;
    int64_t cycleMs = 0;
    std::string error;
    const bool ran = !ec && runBench(dir, figures, cycleMs, error);
    fs::remove_all(dir, ec);
    if (!ran) {
        std::cerr << "align_bench: " << (error.empty() ? "cannot copy the data files" : error)
                  << "\n";
        return 2;
    }

    bool allPassed = true;
    std::cout << "| Alignment point (virtual time) | Steps | Measured | Floor: steps x (pause + "
                 "settle + reading) + cycle | Ratio to floor | Passed |\n"
              << "|---|---|---|---|---|---|\n";
    for (const PointFigure& f : figures) {
        const double perStep = double(f.pauseMs + f.settleMs + f.readingMs);
        const bool txf = f.point == AlignPoint::Txf;
        const double extraMs =
            txf ? double(lineMs(kTxfTableEntries) + f.settleMs + f.readingMs) : 0.0;
        const double floorMs = f.steps * perStep + extraMs + double(cycleMs);
        allPassed = allPassed && f.passed;
        std::cout << "| " << AlignPointName(f.point) << ", start to the run's end | " << f.steps
                  << " | " << fixed(double(f.ms) / 1000, 3) << " s | " << fixed(floorMs / 1000, 3)
                  << " s = " << f.steps << " x (" << f.pauseMs << " + " << f.settleMs << " + "
                  << f.readingMs << " ms) + "
                  << (txf ? "table " + std::to_string(lineMs(kTxfTableEntries)) + " + check " +
                                std::to_string(f.settleMs + f.readingMs) + " ms + "
                          : std::string())
                  << cycleMs << " ms | " << fixed(double(f.ms) / floorMs, 2) << " | "
                  << (f.passed ? "yes" : "**no**: " + f.outcome) << " |\n";
    }
    std::cout << "\nAlignment figures: the in-process rig in virtual time (the simulated radio "
                 "paced at 960 bytes/s, the simulated test set answering after "
              << kReplyDelayMs << " ms), one point at a time with Align.ini's sample targets.\n";
    return allPassed ? 0 : 1;
}

}  // namespace
}  // namespace kv7::bench

int main() {
    return kv7::bench::run();
}
