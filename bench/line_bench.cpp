// The program's speed against the line: a 9600-baud line carries 960 bytes/s, so a technician
// should wait for the cable and never for the program. Each wall-time figure runs the whole
// program (its real window on the offscreen platform, the Qt serial port, the 50 ms heartbeat)
// against kv7-radio-sim on a pseudo-terminal, paced at the line rate, and divides the time it
// took by the time its bytes needed on the line. The key-to-line latency runs in virtual time
// against the in-process radio. Prints one table; exit status 1 when a figure misses its target.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "platform/qt/close_requests.h"
#include "platform/qt/qt_program.h"
#include "protocol/tick.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7::bench {
namespace {

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

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte
constexpr int kHeartbeatMs = 50;
constexpr int kKeyRight = 39;
constexpr int kKeyEnter = 13;
constexpr int16_t kLineBpfT2 = 8;
constexpr int16_t kLineTxf = 11;
constexpr int16_t kCmdBpfT2 = 13;
// A sweep point: the setting's echo, the SD request's echo and its answer, 13 bytes each.
constexpr int kSweepPointBytes = 39;
constexpr int kTxfEntryBytes = 13;  // one table entry's echo
constexpr int kTxfEntries = 40;

struct Options {
    std::string sim = kDefaultSim;
    std::string constFile = kDefaultConst;
    std::string parserCsv;  // kv7_parser_bench --benchmark_format=csv output
    int refreshes = 10;
    int presses = 1000;
    int idleSeconds = 30;
    uint32_t seed = 7;
};

int64_t steadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- a port that counts and timestamps what crosses it ---------------------------------------

struct Write {
    int64_t atUs;
    ByteString bytes;
};

// Sits between the program and its real port. After every event of the port it calls the
// observer, so a condition can be timed at the event that makes it true instead of by polling.
class MeteredPort : public SerialPort {
  public:
    MeteredPort(SerialPort& inner, std::function<int64_t()> nowUs)
        : inner_(inner), nowUs_(std::move(nowUs)) {}
    ~MeteredPort() override { inner_.setCommEventHandler({}); }

    void setAfterEvent(std::function<void()> f) { afterEvent_ = std::move(f); }
    int64_t bytesIn() const { return bytesIn_; }
    int64_t bytesOut() const { return bytesOut_; }
    int64_t lastInputUs() const { return lastInputUs_; }
    int64_t lastOutputUs() const { return lastOutputUs_; }
    const std::vector<Write>& writes() const { return writes_; }
    const std::vector<Write>& reads() const { return reads_; }

    void setCommPort(int16_t n) override { inner_.setCommPort(n); }
    void setSettings(const std::string& s) override { inner_.setSettings(s); }
    void setDTREnable(bool on) override { inner_.setDTREnable(on); }
    void setRTSEnable(bool on) override { inner_.setRTSEnable(on); }
    void setInBufferSize(int32_t n) override { inner_.setInBufferSize(n); }
    void setOutBufferSize(int32_t n) override { inner_.setOutBufferSize(n); }
    int32_t outBufferSize() const override { return inner_.outBufferSize(); }
    void setRThreshold(int32_t n) override { inner_.setRThreshold(n); }
    void setSThreshold(int32_t n) override { inner_.setSThreshold(n); }
    void setInputLen(int32_t n) override { inner_.setInputLen(n); }
    void setInputMode(int32_t m) override { inner_.setInputMode(m); }
    bool setPortOpen(bool open) override {
        const int64_t t = steadyUs();
        const bool ok = inner_.setPortOpen(open);
        if (std::getenv("KV7_BENCH_TRACE") != nullptr)
            std::cerr << "  port " << (open ? "open" : "close") << " took "
                      << (steadyUs() - t) / 1000.0 << " ms\n";
        return ok;
    }
    bool portOpen() const override { return inner_.portOpen(); }
    bool clearOutBuffer() override { return inner_.clearOutBuffer(); }
    int32_t inBufferCount() const override { return inner_.inBufferCount(); }
    void fetchReceived() override { inner_.fetchReceived(); }
    int32_t outBufferCount() const override { return inner_.outBufferCount(); }

    ByteString input() override {
        ByteString b = inner_.input();
        if (!b.empty()) {
            bytesIn_ += static_cast<int64_t>(b.size());
            lastInputUs_ = nowUs_();
            reads_.push_back({lastInputUs_, b});
        }
        return b;
    }
    void output(const ByteString& bytes) override {
        if (inner_.portOpen() && !bytes.empty()) {
            bytesOut_ += static_cast<int64_t>(bytes.size());
            lastOutputUs_ = nowUs_();
            writes_.push_back({lastOutputUs_, bytes});
        }
        inner_.output(bytes);
    }
    void setCommEventHandler(std::function<void(int)> handler) override {
        handler_ = std::move(handler);
        inner_.setCommEventHandler([this](int ev) {
            if (handler_) handler_(ev);
            if (afterEvent_) afterEvent_();
        });
    }

  private:
    SerialPort& inner_;
    std::function<int64_t()> nowUs_;
    std::function<void(int)> handler_;
    std::function<void()> afterEvent_;
    int64_t bytesIn_ = 0;
    int64_t bytesOut_ = 0;
    int64_t lastInputUs_ = 0;
    int64_t lastOutputUs_ = 0;
    std::vector<Write> writes_;
    std::vector<Write> reads_;
};

// The first moment, at the end of a program event, that a condition held.
struct Watch {
    std::function<bool()> condition;
    bool hit = false;
    int64_t atUs = 0;
    int64_t bytesInAt = 0;

    void arm(std::function<bool()> c) {
        condition = std::move(c);
        hit = false;
    }
    void check(int64_t nowUs, int64_t bytesIn) {
        if (hit || !condition || !condition()) return;
        hit = true;
        atUs = nowUs;
        bytesInAt = bytesIn;
    }
};

class NullTimer : public HeartbeatTimer {
  public:
    void setEnabled(bool on) override { on_ = on; }
    bool enabled() const override { return on_; }

  private:
    bool on_ = false;
};

// Told to end (a signal, a closed console) while the program runs: its window closes as its close
// box would, and the harness stops waiting once the close sequence is over.
const CloseRequests* endRequests = nullptr;
const QtMainWindow* endingWindow = nullptr;

bool toldToEnd() {
    return endRequests != nullptr && endRequests->requested() && endingWindow->unloaded();
}

// The harness sleeps in the event loop like the program would: processEvents with a time limit
// never blocks, so it would spin and its own polling would be counted as the program's CPU.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // looks at the condition at least this often
    wake.start(10);
    while (!done()) {
        if (clock.elapsed() > timeoutMs || toldToEnd()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void pumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Connected and at rest: the cycle idles at its end, nothing waits to be sent.
bool atRest(Program& p) {
    return p.controller().changesSent();
}

// ---- the wall-time figures -------------------------------------------------------------------

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

// kv7-radio-sim as a child; its first line of output is the terminal to open.
class SimProcess {
  public:
    ~SimProcess() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) {
            proc_.kill();
            proc_.waitForFinished(3000);
        }
    }
    bool start(const std::string& program, const QStringList& args) {
        proc_.setProgram(QString::fromStdString(program));
        proc_.setArguments(args);
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start();
        if (!proc_.waitForStarted(5000)) return false;
        if (!pumpUntil([this] { return proc_.canReadLine(); }, 5000)) return false;
        slave_ = QString::fromUtf8(proc_.readLine()).trimmed().toStdString();
        return !slave_.empty();
    }
    const std::string& slave() const { return slave_; }

  private:
    QProcess proc_;
    std::string slave_;
};

// Milliseconds between the writes of consecutive adjustment commands that `keep` selects, from
// write `from` on; gaps of a settling wait or longer are not steps of the run.
std::vector<double> commandSteps(const std::vector<Write>& writes, size_t from,
                                 const std::function<bool(int)>& keep) {
    std::vector<double> steps;
    int64_t last = -1;
    for (size_t i = from; i < writes.size(); ++i) {
        const ByteString& w = writes[i].bytes;
        if (w.size() != 13 || w[4] != 0xE8 || !keep(w[9])) continue;
        if (last >= 0 && writes[i].atUs - last < 200000)
            steps.push_back(double(writes[i].atUs - last) / 1000.0);
        last = writes[i].atUs;
    }
    return steps;
}

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

// ---- key-to-line latency in virtual time -----------------------------------------------------

struct Press {
    int64_t latencyMs;  // key to the first byte of the item's adjustment command
    int64_t pendingMs;  // the wait still owed to the previous command at the key
};

// Index of the first write at or after `from` that is an adjustment command with this number.
std::optional<size_t> findCommand(const std::vector<Write>& writes, size_t from, int16_t command) {
    for (size_t i = from; i < writes.size(); ++i) {
        const ByteString& w = writes[i].bytes;
        // FE FE EE EF E8 model(2) sub(2) number value(2 ASCII hex) FD
        if (w.size() == 13 && w[4] == 0xE8 && w[9] == static_cast<uint8_t>(command)) return i;
    }
    return std::nullopt;
}

bool runLatency(const Options& o, std::vector<Press>& presses, std::string& error) {
    QTemporaryDir dir;
    if (!dir.isValid() || !WritePresetSettings(dir.path().toStdString(), 1, "")) {
        error = "cannot write the settings file";
        return false;
    }
    ManualTickSource clock(100000);
    int64_t virtualMs = 0;
    sim::SimRadio radio(clock);  // paced, with its usual turnaround
    sim::SimSerialPort sport(radio);
    MeteredPort port(sport, [&] { return virtualMs * 1000; });
    test::FakeWindow view;
    test::FakeMessageSink messages;
    test::FakeBeeper beeper;
    NullTimer timer;
    Program program(port, clock, messages, beeper, view, dir.path().toStdString(), o.constFile,
                    &timer);
    if (program.Main([] { return false; }) != StartResult::Running) {
        error = "the program did not start in virtual time";
        return false;
    }
    // One millisecond of the line at a time; the heartbeat every 50.
    auto advance = [&](int64_t ms) {
        for (int64_t i = 0; i < ms; ++i) {
            clock.advance(1);
            ++virtualMs;
            sport.pump();
            if (virtualMs % kHeartbeatMs == 0) program.heartbeat();
        }
    };
    auto runUntil = [&](const std::function<bool()>& done, int64_t limitMs) {
        for (int64_t t = 0; t < limitMs; ++t) {
            if (done()) return true;
            advance(1);
        }
        return done();
    };

    program.event("the Connect button", [&] { program.window().cmd00_Click(0); });
    if (!runUntil([&] { return program.controller().RigKV7Prop_EditEnabled(); }, 60000) ||
        !runUntil(
            [&] { return atRest(program) && virtualMs * 1000 - port.lastOutputUs() > 1000000; },
            60000)) {
        error = "the clone read in virtual time did not finish";
        return false;
    }

    clsConsole& c = program.console();
    std::vector<int16_t> candidates;
    for (int16_t i = 0; i < c.ListCount(); ++i) {
        const bool sends = c.E8Command(i) >= 0 && (c.Event_SendE8(i) < 0 || c.Event_SendE8(i) == 0);
        if (sends && c.Max(i) > c.Min(i)) candidates.push_back(i);
    }
    if (candidates.empty()) {
        error = "no console item sends an adjustment command";
        return false;
    }

    std::mt19937 rng(o.seed);
    int64_t waitEndMs = 0;  // end of the wait owed to the last command sent
    for (int n = 0; n < o.presses; ++n) {
        advance(static_cast<int64_t>(rng() % 400));  // the technician's pause, any phase
        // An item whose value can still go up (or wraps round).
        std::vector<int16_t> open;
        for (int16_t i : candidates) {
            if (c.Value(i) < c.Max(i) || c.LoopVal(i)) open.push_back(i);
        }
        if (open.empty()) {
            error = "every item reached its top";
            return false;
        }
        const int16_t item = open[rng() % open.size()];
        view.console.setListIndex(item);
        const size_t from = port.writes().size();
        const int64_t pressedMs = virtualMs;
        const int16_t before = c.Value(item);
        program.consoleKeyDown(kKeyRight, false);
        if (c.Value(item) == before) {
            error = "a Right key did not change " + c.Title(item);
            return false;
        }
        std::optional<size_t> hit;
        if (!runUntil(
                [&] {
                    return (hit = findCommand(port.writes(), from, c.E8Command(item))).has_value();
                },
                10000)) {
            error = "no adjustment command followed a Right key on " + c.Title(item);
            return false;
        }
        const int64_t sentMs = port.writes()[*hit].atUs / 1000;
        presses.push_back({sentMs - pressedMs, std::max<int64_t>(0, waitEndMs - pressedMs)});
        // The pause after a command is counted from the next heartbeat, when the sequencer is
        // idle again.
        const int64_t nextBeat = (sentMs / kHeartbeatMs + 1) * kHeartbeatMs;
        const bool ownSend = c.Event_SendE8(item) < 0;
        waitEndMs = nextBeat + (ownSend ? c.WaitAfterE8(item) : 0);
    }
    if (!messages.shown.empty()) {
        error = "a message was shown: " + messages.shown.front();
        return false;
    }
    return true;
}

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
