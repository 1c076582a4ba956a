// What the line benchmark measures with: a port that timestamps what crosses it, a watch that
// times a condition at the program event that makes it true, the simulated radio as a child
// process, and the event-loop waits that sleep as the program would.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/qt/close_requests.h"
#include "platform/qt/qt_program.h"

namespace kv7::bench {

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

inline int64_t steadyUs() {
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

// Told to end (a signal, a closed console) while the program runs: its window closes as its close
// box would, and the harness stops waiting once the close sequence is over.
inline const CloseRequests* endRequests = nullptr;
inline const QtMainWindow* endingWindow = nullptr;

inline bool toldToEnd() {
    return endRequests != nullptr && endRequests->requested() && endingWindow->unloaded();
}

// The harness sleeps in the event loop like the program would: processEvents with a time limit
// never blocks, so it would spin and its own polling would be counted as the program's CPU.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
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

inline void pumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Connected and at rest: the cycle idles at its end, nothing waits to be sent.
inline bool atRest(Program& p) {
    return p.controller().changesSent();
}

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
inline std::vector<double> commandSteps(const std::vector<Write>& writes, size_t from,
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

// Index of the first write at or after `from` that is an adjustment command with this number.
inline std::optional<size_t> findCommand(const std::vector<Write>& writes, size_t from,
                                         int16_t command) {
    for (size_t i = from; i < writes.size(); ++i) {
        const ByteString& w = writes[i].bytes;
        // FE FE EE EF E8 model(2) sub(2) number value(2 ASCII hex) FD
        if (w.size() == 13 && w[4] == 0xE8 && w[9] == static_cast<uint8_t>(command)) return i;
    }
    return std::nullopt;
}

}  // namespace kv7::bench
