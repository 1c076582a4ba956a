#include "model/support/sim_rig.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/temp_folder.h"

namespace kv7::test {

namespace {

constexpr uint8_t kPreamble = 0xFE;
constexpr uint8_t kEnd = 0xFD;
constexpr uint8_t kCmdAdjust = 0xE8;
constexpr int32_t kHeartbeatMs = 50;

int hexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string makeTempDir() {
    return utf8FromPath(makeTempFolder("kv7-rig-"));
}

std::string repositoryConstFile() {
    // This file lives in tests/model/support; the sample constants in data/.
    const std::filesystem::path here(__FILE__);
    return (here.parent_path() / ".." / ".." / ".." / "data" / "Const.ini").string();
}

}  // namespace

// ---- LineTap ---------------------------------------------------------------------------------

LineTap::LineTap(sim::SimSerialPort& inner, TickSource& ticks) : inner_(&inner), ticks_(ticks) {
    inner_->setCommEventHandler([this](int event) { onInnerEvent(event); });
}

void LineTap::rebind(sim::SimSerialPort& inner) {
    if (inner_->portOpen())
        throw std::logic_error("a radio is swapped only while the port is closed");
    inner_->setCommEventHandler({});
    inner_ = &inner;
    inner_->setCommEventHandler([this](int event) { onInnerEvent(event); });
    ready_.clear();
    frame_.clear();
    for (const auto& [name, apply] : settings_) apply(*inner_);
}

// Each setting is applied now and the last of each kind kept for a port plugged in later.
#define KV7_TAP_SETTER(name, type)                                    \
    void LineTap::name(type v) {                                      \
        settings_[#name] = [v](sim::SimSerialPort& p) { p.name(v); }; \
        inner_->name(v);                                              \
    }
KV7_TAP_SETTER(setCommPort, int16_t)
KV7_TAP_SETTER(setDTREnable, bool)
KV7_TAP_SETTER(setRTSEnable, bool)
KV7_TAP_SETTER(setInBufferSize, int32_t)
KV7_TAP_SETTER(setOutBufferSize, int32_t)
KV7_TAP_SETTER(setRThreshold, int32_t)
KV7_TAP_SETTER(setSThreshold, int32_t)
KV7_TAP_SETTER(setInputLen, int32_t)
KV7_TAP_SETTER(setInputMode, int32_t)
#undef KV7_TAP_SETTER

void LineTap::setSettings(const std::string& s) {
    settings_["setSettings"] = [s](sim::SimSerialPort& p) { p.setSettings(s); };
    inner_->setSettings(s);
}

void LineTap::rewriteAdjustAnswers(Rewrite f, int count) {
    rewrite_ = std::move(f);
    rewritesLeft_ = count;
}

bool LineTap::setPortOpen(bool open) {
    const bool ok = inner_->setPortOpen(open);
    if (!inner_->portOpen()) {
        ready_.clear();
        frame_.clear();
    }
    return ok;
}

int32_t LineTap::inBufferCount() const {
    return static_cast<int32_t>(ready_.size());
}

ByteString LineTap::input() {
    ByteString out;
    out.swap(ready_);
    return out;
}

void LineTap::output(const ByteString& bytes) {
    const int32_t now = ticks_.GetTickCount();
    if (inner_->portOpen()) {
        for (uint8_t b : bytes) {
            if (b == kPreamble && (txStream_.empty() || txStream_.back() != kPreamble)) {
                txStream_.clear();
                txStart_ = now;
            }
            txStream_.push_back(b);
            if (b == kEnd) {
                size_t p = 0;
                while (p < txStream_.size() && txStream_[p] == kPreamble) ++p;
                if (p > 0 && txStream_.size() > p + 1) {
                    written_.push_back(
                        {txStart_, ByteString(txStream_.begin() + static_cast<long>(p),
                                              txStream_.end() - 1)});
                }
                txStream_.clear();
            }
        }
    }
    inner_->output(bytes);
}

std::vector<SentAdjust> LineTap::adjustments() const {
    std::vector<SentAdjust> out;
    for (const WrittenFrame& f : written_) {
        // EE EF E8, model and sub name, command number, value in two ASCII hex digits.
        const ByteString& r = f.record;
        if (r.size() != 10 || r[2] != kCmdAdjust) continue;
        const int hi = hexDigit(r[8]), lo = hexDigit(r[9]);
        out.push_back({f.ms, r[7], hi < 0 || lo < 0 ? -1 : hi * 16 + lo});
    }
    return out;
}

void LineTap::take(uint8_t b) {
    if (rewritesLeft_ <= 0 && frame_.empty()) {
        ready_.push_back(b);
        return;
    }
    if (frame_.empty() && b != kPreamble) {
        ready_.push_back(b);
        return;
    }
    frame_.push_back(b);
    if (b != kEnd) return;
    // A whole frame: FE FE, destination, source, command, ..., FD. The radio's answers go to EF.
    ByteString f;
    f.swap(frame_);
    size_t p = 0;
    while (p < f.size() && f[p] == kPreamble) ++p;
    const bool answer =
        f.size() > p + 3 && f[p] == 0xEF && f[p + 1] == 0xEE && f[p + 2] == kCmdAdjust;
    if (answer && rewritesLeft_ > 0) {
        --rewritesLeft_;
        f = rewrite_(f);
    }
    ready_.insert(ready_.end(), f.begin(), f.end());
}

void LineTap::onInnerEvent(int event) {
    if (event != kEvReceive) {
        if (handler_) handler_(event);
        return;
    }
    for (uint8_t b : inner_->input()) take(b);
    if (!ready_.empty() && handler_) handler_(kEvReceive);
}

// ---- SimRig ----------------------------------------------------------------------------------

RigOptions SimRig::defaults() {
    return RigOptions{};
}

SimRig::SimRig(RigOptions options)
    : options_(std::move(options)), dir_(makeTempDir()), clock_(options_.startTick) {
    const std::string constSource =
        options_.constFile.empty() ? repositoryConstFile() : options_.constFile;
    const std::filesystem::path constTarget = std::filesystem::path(dir_) / "Const.ini";
    std::filesystem::copy_file(constSource, constTarget,
                               std::filesystem::copy_options::overwrite_existing);
    if (!options_.alignText.empty()) {
        std::ofstream(std::filesystem::path(dir_) / "Align.ini") << options_.alignText;
    }
    radio_ = options_.image ? std::make_unique<sim::SimRadio>(clock_, options_.sim, *options_.image)
                            : std::make_unique<sim::SimRadio>(clock_, options_.sim);
    simPort_ = std::make_unique<sim::SimSerialPort>(*radio_);
    tap_ = std::make_unique<LineTap>(*simPort_, clock_);
    program_ = std::make_unique<Program>(*tap_, clock_, messages_, beeper_, window_, dir_,
                                         constTarget.string(), &timer_);
    started_ = program_->Main({});
    if (options_.tcxo) setTcxo(true);
}

SimRig::~SimRig() {
    program_.reset();
    tap_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void SimRig::tick() {
    for (int32_t t = sinceHeartbeat_; t < kHeartbeatMs;) {
        const int32_t step = std::clamp(options_.pumpEveryMs, 1, kHeartbeatMs - t);
        clock_.advance(step);
        elapsed_ += step;
        t += step;
        simPort_->pump();
    }
    sinceHeartbeat_ = 0;
    if (timer_.enabled()) program_->heartbeat();
}

bool SimRig::runUntilLineIdle(int32_t timeoutMs) {
    for (int32_t t = 0; t <= timeoutMs; ++t) {
        if (simPort_->outBufferCount() == 0) return true;
        clock_.advance(1);
        ++elapsed_;
        simPort_->pump();
        if (++sinceHeartbeat_ == kHeartbeatMs) tick();
    }
    return simPort_->outBufferCount() == 0;
}

void SimRig::runFor(int32_t ms) {
    for (int32_t t = 0; t < ms; t += kHeartbeatMs) tick();
}

bool SimRig::runUntil(const std::function<bool()>& pred, int32_t timeoutMs) {
    for (int32_t t = 0; t <= timeoutMs; t += kHeartbeatMs) {
        if (pred()) return true;
        tick();
    }
    return pred();
}

bool SimRig::click(int index) {
    FakeButton& b = window_.buttons.at(static_cast<size_t>(index));
    if (!b.visible || !b.enabled) return false;
    program_->event("the button",
                    [&] { program_->window().cmd00_Click(static_cast<int16_t>(index)); });
    return true;
}

bool SimRig::key(int code, bool shift) {
    // The window sees every key before its controls.
    program_->event("the key", [&] { program_->window().Form_KeyDown(code, shift); });
    if (code == kKeyF5 || !consoleShown()) return code == kKeyF5;
    program_->consoleKeyDown(code, shift);
    return true;
}

void SimRig::select(int16_t line) {
    window_.console.setListIndex(line);
}

bool SimRig::keyOn(int16_t line, int code, bool shift) {
    select(line);
    return key(code, shift);
}

bool SimRig::setTcxo(bool on) {
    if (!window_.check1.enabled) return false;
    window_.check1.setValue(on ? 1 : 0);
    program_->event("the TCXO box", [&] { program_->window().Check1_Click(); });
    return true;
}

bool SimRig::connect(int32_t timeoutMs) {
    if (!click(0)) return false;
    clsConsole& c = program_->console();
    return runUntil(
        [&] {
            if (!inCycle() || program_->sequencer().OpRunning()) return false;
            for (int16_t i = 0; i < c.ListCount(); ++i) {
                if (c.flgChanged(i)) return false;
            }
            return window_.readings[1].lines.size() == 9 && window_.readings[1].lines[8] != "----";
        },
        timeoutMs);
}

void SimRig::swapRadio(const sim::SimOptions& options, std::optional<ByteString> image) {
    auto radio = image ? std::make_unique<sim::SimRadio>(clock_, options, *image)
                       : std::make_unique<sim::SimRadio>(clock_, options);
    auto port = std::make_unique<sim::SimSerialPort>(*radio);
    tap_->rebind(*port);
    simPort_ = std::move(port);
    radio_ = std::move(radio);
}

std::string SimRig::constFilePath() const {
    return (std::filesystem::path(dir_) / "Const.ini").string();
}

::testing::AssertionResult SimRig::lineClean() {
    const int32_t cut = radio_->malformedFrames();
    const int64_t lost = simPort_->bytesLostInFlush();
    if (cut == 0 && lost == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << cut << " frames arrived cut off or malformed, " << lost
           << " written bytes were flushed before the line carried them";
}

std::string SimRig::consoleLine(int16_t line) const {
    return window_.console.lines.at(static_cast<size_t>(line));
}

// ---- helpers ---------------------------------------------------------------------------------

ByteString imageWithoutChannels(const sim::SimOptions& o) {
    ByteString img = sim::sampleImage(o);
    std::fill(img.begin() + 576, img.begin() + 576 + 40 * 20, 0xFF);
    return img;
}

std::string fullChecklistText(const std::string& cause) {
    return cause +
           "\r\n\r\nCheck the following:\r\n\r\n- The COM port settings.\r\n"
           "- Cloning cable connections.\r\n- The QT-KV7 power is ON.";
}

std::string shortChecklistText(const std::string& cause) {
    return cause +
           "\r\n\r\nCheck the following:\r\n\r\n- Cloning cable connections.\r\n"
           "- The QT-KV7 power is ON.";
}

}  // namespace kv7::test
