#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "protocol/tick.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "sim/sim_options.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"
#include "store/byte_string.h"

namespace kv7::test {

// Key codes the window passes on.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyF5 = 116;

// Console lines of the QT-KV7 items.
inline constexpr int16_t kLineChNo = 0;
inline constexpr int16_t kLinePowerHi = 1;
inline constexpr int16_t kLinePowerLo = 2;
inline constexpr int16_t kLineDtcsBal = 3;
inline constexpr int16_t kLineMod = 4;
inline constexpr int16_t kLineSql = 5;
inline constexpr int16_t kLineBpfAll = 6;
inline constexpr int16_t kLineBpfT1 = 7;
inline constexpr int16_t kLineTxf = 11;

// One frame the program wrote, with the virtual time of the write.
struct WrittenFrame {
    int32_t ms = 0;
    ByteString record;  // without preamble and end byte: EE EF command data
};

// One adjustment command as the program put it on the line.
struct SentAdjust {
    int32_t ms = 0;
    int number = 0;
    int value = 0;
};

// The port between the program and the simulated radio's port. It notes every frame the program
// writes with its time and, when armed, rewrites the radio's next adjustment answers on their way
// to the program. Unarmed it passes every byte on unchanged and at once.
class LineTap : public SerialPort {
  public:
    using Rewrite = std::function<ByteString(const ByteString& frame)>;

    LineTap(sim::SimSerialPort& inner, TickSource& ticks);

    // Another radio's port on the cable: the settings made so far are put on it too.
    void rebind(sim::SimSerialPort& inner);

    // The next `count` answers to adjustment commands (whole frames FE FE .. FD) go through f.
    void rewriteAdjustAnswers(Rewrite f, int count = 1);
    int pendingRewrites() const { return rewritesLeft_; }

    const std::vector<WrittenFrame>& written() const { return written_; }
    // The adjustment commands among them, in order.
    std::vector<SentAdjust> adjustments() const;

    void setCommPort(int16_t n) override;
    void setSettings(const std::string& s) override;
    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;
    void setInBufferSize(int32_t n) override;
    void setOutBufferSize(int32_t n) override;
    int32_t outBufferSize() const override { return inner_->outBufferSize(); }
    void setRThreshold(int32_t n) override;
    void setSThreshold(int32_t n) override;
    void setInputLen(int32_t n) override;
    void setInputMode(int32_t mode) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override { return inner_->portOpen(); }
    bool clearOutBuffer() override { return inner_->clearOutBuffer(); }
    int32_t inBufferCount() const override;
    ByteString input() override;
    int32_t outBufferCount() const override { return inner_->outBufferCount(); }
    void output(const ByteString& bytes) override;
    void setCommEventHandler(std::function<void(int)> handler) override {
        handler_ = std::move(handler);
    }

  private:
    void onInnerEvent(int event);
    void take(uint8_t b);

    sim::SimSerialPort* inner_;
    TickSource& ticks_;
    // Port settings as the program made them, for a port plugged in later.
    std::map<std::string, std::function<void(sim::SimSerialPort&)>> settings_;
    std::function<void(int)> handler_;
    Rewrite rewrite_;
    int rewritesLeft_ = 0;
    ByteString ready_;  // bytes the program may read
    ByteString frame_;  // a radio frame held back while armed
    ByteString txStream_;
    int32_t txStart_ = 0;
    std::vector<WrittenFrame> written_;
};

struct RigOptions {
    sim::SimOptions sim;
    std::optional<ByteString> image;  // the radio's EEPROM; the sample image when none
    std::string constFile;       // copied as Const.ini; the repository's data/Const.ini if empty
    std::string alignText;       // written as Align.ini beside it when not empty
    int32_t startTick = 100000;  // virtual tick count at start (try one near the wrap)
    int32_t pumpEveryMs = 10;    // the radio's bytes reach the program this often
    bool tcxo = false;           // tick the TCXO box before anything else
};

// The whole program on a simulated radio, in virtual time. Everything the platform would do
// (heartbeat, received bytes, clicks, keys) is a call here; nothing depends on the real clock.
class SimRig {
  public:
    explicit SimRig(RigOptions options = {});
    ~SimRig();
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    static RigOptions defaults();  // sample radio, unchanged
    StartResult started() const { return started_; }

    // 50 ms of virtual time: the radio's bytes arrive as they become due, then the heartbeat.
    void tick();
    void runFor(int32_t ms);
    // Ticks until pred holds (checked before each tick); false at the time-out.
    bool runUntil(const std::function<bool()>& pred, int32_t timeoutMs);
    // Runs a millisecond at a time, the heartbeat in its place, until the line has carried
    // every byte the program wrote; false at the time-out.
    bool runUntilLineIdle(int32_t timeoutMs);

    // The technician's actions, as the platform delivers them. A click on a hidden or disabled
    // button does nothing, as does a key while the console is hidden. True when delivered.
    bool click(int index);
    bool key(int code, bool shift = false);
    void select(int16_t line);
    bool keyOn(int16_t line, int code, bool shift = false);
    bool setTcxo(bool on);
    // Another radio on the cable (the port must be closed): a fresh radio with these options.
    void swapRadio(const sim::SimOptions& options, std::optional<ByteString> image = {});

    // "Connect" and wait until the first monitoring cycle has read and sent everything.
    bool connect(int32_t timeoutMs = 60000);

    // What the window shows.
    std::vector<std::string> consoleLines() const { return window_.console.lines; }
    std::string consoleLine(int16_t line) const;
    std::vector<std::string> adLines() const { return window_.readings[0].lines; }
    std::vector<std::string> daLines() const { return window_.readings[1].lines; }
    std::string progress() const { return window_.progress.caption; }
    std::string portLabel() const { return window_.comBusy.caption; }
    std::string dispPara() const { return window_.dispPara.text; }
    const std::vector<std::string>& messages() const { return messages_.shown; }
    int beeps() const { return beeper_.beeps; }
    bool consoleShown() const { return window_.frames[1].visible; }
    bool dispParaShown() const { return window_.frames[3].visible; }

    OperationStep opStep() { return program_->controller().opStep(); }
    TxfStep txfStep() { return program_->controller().txfStep(); }
    SweepStep sweepStep() { return program_->controller().sweepStep(); }
    bool procedureRunning() { return program_->controller().procedureRunning(); }
    // For messages: the running procedure's step number.
    int procStep() { return program_->controller().procStep(); }
    bool inCycle() {
        return program_->controller().connectionState() == ConnectionState::Monitoring;
    }
    int16_t value(int16_t line) { return program_->console().Value(line); }
    uint8_t programByte(int32_t adr) {
        return static_cast<uint8_t>(program_->radio().eepImage.ReadByte(adr));
    }

    // The constants file the program reads.
    std::string constFilePath() const;

    // Every frame the program wrote reached the radio whole: none was cut off or malformed on
    // the line, and no written byte was destroyed in the port's transmit queue.
    ::testing::AssertionResult lineClean();

    int32_t now() { return clock_.GetTickCount(); }
    // Virtual milliseconds since the rig was built.
    int64_t elapsedMs() const { return elapsed_; }

    sim::SimRadio& radio() { return *radio_; }
    sim::SimSerialPort& simPort() { return *simPort_; }
    LineTap& tap() { return *tap_; }
    Program& program() { return *program_; }
    FakeWindow& window() { return window_; }
    ManualTickSource& clock() { return clock_; }

  private:
    class Timer : public HeartbeatTimer {
      public:
        void setEnabled(bool on) override { on_ = on; }
        bool enabled() const override { return on_; }

      private:
        bool on_ = false;
    };

    RigOptions options_;
    std::string dir_;
    ManualTickSource clock_;
    std::unique_ptr<sim::SimRadio> radio_;
    std::unique_ptr<sim::SimSerialPort> simPort_;
    std::unique_ptr<LineTap> tap_;
    FakeWindow window_;
    FakeMessageSink messages_;
    FakeBeeper beeper_;
    Timer timer_;
    std::unique_ptr<Program> program_;
    StartResult started_ = StartResult::Failed;
    int64_t elapsed_ = 0;
    int32_t sinceHeartbeat_ = 0;
};

// The EEPROM image of the sample radio with every memory channel empty.
ByteString imageWithoutChannels(const sim::SimOptions& o = {});

// Expected texts of the communication error message.
std::string fullChecklistText(const std::string& cause);
std::string shortChecklistText(const std::string& cause);

}  // namespace kv7::test
