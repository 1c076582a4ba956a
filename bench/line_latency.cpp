// Key-to-line latency in virtual time: Right keys at random moments on items that send an
// adjustment command, each timed to the command's first byte on the line.
#include <QTemporaryDir>
#include <algorithm>
#include <random>

#include "app/support/fake_messages.h"
#include "app/support/fake_window.h"
#include "line_rig.h"
#include "line_runs.h"
#include "platform/support/window_support.h"
#include "protocol/tick.h"
#include "sim/sim_radio.h"
#include "sim/sim_serial_port.h"

namespace kv7::bench {

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
    test::NullTimer timer;
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

}  // namespace kv7::bench
