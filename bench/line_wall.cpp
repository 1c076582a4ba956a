// The wall-time figures: clone read, monitor refreshes, a BPF sweep, the TXF table, idle CPU and
// memory, with the real window and port against the simulated radio.
#include <sys/resource.h>

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <random>

#include "line_rig.h"
#include "line_runs.h"

namespace kv7::bench {

bool runWall(const Options& o, WallResults& r, std::string& error) {
    SimProcess sim;
    if (!sim.start(o.sim, {})) {
        error = "kv7-radio-sim did not start: " + o.sim;
        return false;
    }
    QTemporaryDir dir;
    if (!dir.isValid() || !WritePresetSettings(dir.path().toStdString(), 1, sim.slave())) {
        error = "cannot write the settings file";
        return false;
    }

    Watch watch;
    MeteredPort* metered = nullptr;
    QtProgramOptions options;
    options.programDirectory = dir.path().toStdString();
    options.constantsFile = o.constFile;
    options.portDecorator = [&metered](QtSerialPort& inner) {
        auto p = std::make_unique<MeteredPort>(inner, steadyUs);
        metered = p.get();
        return p;
    };
    QtProgram qt(std::move(options));
    qt.messages().setAutoAnswer(true);
    MeteredPort& port = *metered;
    Program& program = qt.program();
    QtMainWindow& window = qt.window();
    const std::vector<std::string>& messages = qt.messages().shown();
    CloseRequests requests([&window] { window.close(); });
    endRequests = &requests;
    endingWindow = &window;
    struct EndWatch {
        WallResults& r;
        const CloseRequests& requests;
        ~EndWatch() {
            r.toldToEnd = requests.requested();
            endRequests = nullptr;
            endingWindow = nullptr;
        }
    } endWatch{r, requests};

    auto observe = [&] { watch.check(steadyUs(), port.bytesIn()); };
    port.setAfterEvent(observe);
    const bool trace = std::getenv("KV7_BENCH_TRACE") != nullptr;
    int64_t traceFrom = 0;
    qt.setAfterHeartbeat([&] {
        observe();
        if (trace && traceFrom > 0 && steadyUs() - traceFrom < 300000)
            std::cerr << "  beat done " << (steadyUs() - traceFrom) / 1000.0 << " ms\n";
    });

    if (qt.start() != StartResult::Running) {
        error = "the program did not start";
        return false;
    }
    window.show();
    pumpFor(300);

    // Clone read: "Connect" to the console shown.
    const int64_t in0 = port.bytesIn();
    const size_t writes0 = port.writes().size();
    watch.arm([&] { return program.controller().RigKV7Prop_EditEnabled(); });
    const int64_t t0 = steadyUs();
    traceFrom = t0;
    window.buttonWidget(0)->click();
    if (trace) std::cerr << "  click ran " << (steadyUs() - t0) / 1000.0 << " ms\n";
    observe();
    if (!pumpUntil([&] { return watch.hit || !messages.empty(); }, 60000) || !watch.hit) {
        error = "the clone read did not finish";
        r.messages = messages;
        return false;
    }
    r.cloneMs = double(watch.atUs - t0) / 1000.0;
    r.cloneBytes = watch.bytesInAt - in0;
    if (port.writes().size() > writes0)
        r.cloneStartMs = double(port.writes()[writes0].atUs - t0) / 1000.0;
    r.cloneFinishMs = double(watch.atUs - port.lastInputUs()) / 1000.0;

    // Every item goes to the radio once and the monitors are read once after the read.
    if (!pumpUntil(
            [&] {
                return atRest(program) && steadyUs() - port.lastOutputUs() > 500000 &&
                       steadyUs() - port.lastInputUs() > 500000;
            },
            60000)) {
        error = "the program did not come to rest after the clone read";
        return false;
    }

    // Full monitor refresh: "Reload(F5)" to the last of the 14 readings taken in.
    std::mt19937 rng(o.seed);
    for (int k = 0; k < o.refreshes; ++k) {
        pumpFor(100 + static_cast<int>(rng() % 200));  // any phase of the heartbeat
        bool seenReading = false;
        watch.arm([&] {
            const OperationStep s = program.controller().opStep();
            const bool reading = s >= OperationStep::AdFirst && s <= OperationStep::DaLast;
            seenReading = seenReading || reading;
            return seenReading && !reading && !program.sequencer().OpRunning();
        });
        const int64_t before = port.bytesIn();
        const int64_t t1 = steadyUs();
        window.buttonWidget(1)->click();
        observe();
        if (!pumpUntil([&] { return watch.hit || !messages.empty(); }, 10000) || !watch.hit) {
            error = "a monitor refresh did not finish";
            r.messages = messages;
            return false;
        }
        r.refreshMs.push_back(double(watch.atUs - t1) / 1000.0);
        if (std::getenv("KV7_BENCH_TRACE") != nullptr) {
            for (const Write& x : port.writes()) {
                if (x.atUs >= t1)
                    std::cerr << "  out " << (x.atUs - t1) / 1000.0 << " ms, " << x.bytes.size()
                              << " B\n";
            }
            for (const Write& x : port.reads()) {
                if (x.atUs >= t1)
                    std::cerr << "  in  " << (x.atUs - t1) / 1000.0 << " ms, " << x.bytes.size()
                              << " B\n";
            }
            std::cerr << "  end " << (watch.atUs - t1) / 1000.0 << " ms\n";
        }
        r.refreshBytes.push_back(watch.bytesInAt - before);
        pumpUntil([&] { return atRest(program); }, 2000);
    }

    // The technician's Enter on a console line, as the window passes it on.
    auto enterOn = [&](int16_t line) {
        window.lboConsole().setListIndex(line);
        program.event("the key", [&] { program.window().Form_KeyDown(kKeyEnter, false); });
        program.consoleKeyDown(kKeyEnter, false);
    };

    // One BPF stage swept: every setting from -128 to 127, each with its SD reading.
    size_t from = port.writes().size();
    enterOn(kLineBpfT2);
    if (!pumpUntil([&] { return (program.controller().sweepStep() != SweepStep::Off); }, 3000) ||
        !pumpUntil(
            [&] {
                return !(program.controller().sweepStep() != SweepStep::Off) && atRest(program);
            },
            120000)) {
        error = "the BPF sweep did not finish";
        r.messages = messages;
        return false;
    }
    r.sweepPointMs = commandSteps(port.writes(), from, [](int n) { return n == kCmdBpfT2; });

    // The TXF procedure: the first setting as found, the second as offered, the table written.
    enterOn(kLineTxf);
    bool txfOk = pumpUntil([&] { return program.controller().txfStep() == TxfStep::Track; }, 5000);
    pumpFor(1000);
    enterOn(kLineTxf);
    txfOk = txfOk && pumpUntil(
                         [&] {
                             return window.consoleWidget()->item(kLineTxf)->text().contains(
                                 QStringLiteral("2nd TX Freq"));
                         },
                         5000);
    pumpFor(1000);
    from = port.writes().size();
    enterOn(kLineTxf);
    txfOk =
        txfOk &&
        pumpUntil([&] { return program.controller().txfStep() == TxfStep::Off && atRest(program); },
                  20000);
    if (!txfOk) {
        error = "the TXF procedure did not finish";
        r.messages = messages;
        return false;
    }
    // The entries go out back to back and wait for the line in the port's queue: the time that
    // counts is from the first entry written to the echo of the last one read back.
    const std::vector<Write>& writes = port.writes();
    size_t first = from;
    while (first < writes.size() &&
           !(writes[first].bytes.size() == 13 && writes[first].bytes[9] >= 0x10 &&
             writes[first].bytes[9] <= 0x37))
        ++first;
    if (first < writes.size()) {
        const int64_t t0 = writes[first].atUs;
        // The time the line has carried that many bytes back since t0; -1 before.
        auto echoedBy = [&](int64_t bytes) -> int64_t {
            int64_t echoed = 0;
            for (const Write& in : port.reads()) {
                if (in.atUs < t0) continue;
                echoed += static_cast<int64_t>(in.bytes.size());
                if (echoed >= bytes) return in.atUs;
            }
            return -1;
        };
        const int64_t table = int64_t{kTxfEntries} * kTxfEntryBytes;
        if (pumpUntil([&] { return echoedBy(table) >= 0; }, 5000))
            r.txfEntryMs = double(echoedBy(table) - t0) / 1000.0 / kTxfEntries;
    }

    // Connected and idle.
    pumpFor(500);
    rusage u0{}, u1{};
    getrusage(RUSAGE_SELF, &u0);
    const int64_t w0 = steadyUs();
    pumpFor(o.idleSeconds * 1000);
    const int64_t w1 = steadyUs();
    getrusage(RUSAGE_SELF, &u1);
    auto cpuUs = [](const rusage& u) {
        return int64_t{u.ru_utime.tv_sec} * 1000000 + u.ru_utime.tv_usec +
               int64_t{u.ru_stime.tv_sec} * 1000000 + u.ru_stime.tv_usec;
    };
    r.idleSeconds = double(w1 - w0) / 1e6;
    r.idleCpuPercent = 100.0 * double(cpuUs(u1) - cpuUs(u0)) / double(w1 - w0);
    r.maxRssKiB = u1.ru_maxrss;
    r.messages = messages;
    if (!program.link().comOpen()) {
        error = "the port closed while idle";
        return false;
    }
    window.close();
    return true;
}

}  // namespace kv7::bench
