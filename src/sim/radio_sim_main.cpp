// kv7-radio-sim: the simulated radio behind a pseudo-terminal, in real time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "sim/sim_radio.h"
#include "sim/sim_test_set.h"
#include "sim/sim_transmitter.h"
#include "sim/test_set_server.h"
#include "store/common.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: poll() returns at once with EINTR
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// The master side of a new pseudo-terminal whose slave is raw at 9600 baud; -1 on failure.
int openMaster(std::string& slavePath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return -1;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        close(master);
        return -1;
    }
    const char* name = ptsname(master);
    if (name == nullptr) {
        close(master);
        return -1;
    }
    slavePath = name;
    // Raw from the start, so a program that does not set the line itself sees bytes unchanged.
    // The settings outlive this descriptor while the master stays open.
    const int slave = open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            cfsetispeed(&t, B9600);
            cfsetospeed(&t, B9600);
            tcsetattr(slave, TCSANOW, &t);
        }
        close(slave);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}

// "frame: EE EF E0 22 51 00 00" or "cut: EE EF E8 22".
std::string frameLine(const kv7::ByteString& record, bool malformed) {
    std::string line = malformed ? "cut:" : "frame:";
    for (uint8_t c : record) line += " " + kv7::HexByte(c);
    return line;
}

// What the transmitter puts on the air with the radio's values as they are now, keyed:
// "end: power-hi 4.690 W, power-lo 0.720 W, deviation 2170.0 Hz, carrier 146249780.0 Hz
// (error -220.0 Hz)".
std::string endLine(const kv7::sim::SimRadio& radio) {
    using kv7::sim::SimTransmitter;
    const kv7::ByteString& img = radio.image();
    const double f = radio.txFrequencyHz();
    const double error = f - f / (1.0 + radio.txfErrorPpm() * 1e-6);
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "end: power-hi %.3f W, power-lo %.3f W, deviation %.1f Hz, carrier %.1f Hz "
                  "(error %+.1f Hz)",
                  SimTransmitter::powerHiW(img[kv7::sim::kEePowerHi]),
                  SimTransmitter::powerLoW(img[kv7::sim::kEePowerLo]),
                  SimTransmitter::deviationHz(img[kv7::sim::kEeMod]), f, error);
    return buf;
}

timespec unitsToTimespec(int64_t units) {
    const int64_t ns = units * 1000000000 / kv7::sim::kLineUnitsPerSecond;
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

// Serves whoever holds the slave side until a signal asks to stop, and the test set's clients
// beside it. With a paced intake the program's bytes are read off the terminal one at a time,
// each when the line has carried the one before: what the program has written but the line has
// not carried yet stays in the terminal's queue, where the program's own flush can still destroy
// it.
int serve(int master, kv7::sim::SimRadio& radio, kv7::sim::TestSetServer* testSet, bool verbose) {
    const bool paced = radio.options().pacedIntake;
    bool connected = false;
    kv7::ByteString unsent;  // due bytes the terminal did not take yet
    std::vector<uint8_t> buf(4096);
    std::vector<pollfd> fds;
    while (!stopRequested) {
        fds.clear();
        bool takeIn = false;
        int64_t wait = kv7::sim::kLineUnitsPerSecond / 20;
        if (!connected) {
            // Nobody holds the slave: the master reports a hang-up without end, so look again
            // at a slow pace instead of waiting on it. Bytes written now would greet the next
            // program as stale input, so the radio's output is dropped.
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 0) < 0 && errno != EINTR) return 1;
            if ((p.revents & POLLHUP) == 0) {
                connected = true;
                if (verbose) std::cerr << "program connected\n";
                continue;
            }
            radio.takeDue();
            fds.push_back({-1, 0, 0});
        } else {
            const int64_t next = radio.unitsUntilNext();
            takeIn = !paced || radio.inboundPending() == 0;
            wait = next < 0 ? kv7::sim::kLineUnitsPerSecond / 5 : next;
            if (!unsent.empty())
                wait = std::min<int64_t>(wait, kv7::sim::kLineUnitsPerSecond / 100);
            fds.push_back(
                {master, static_cast<short>((takeIn ? POLLIN : 0) | (unsent.empty() ? 0 : POLLOUT)),
                 0});
        }
        if (testSet != nullptr) testSet->addPollFds(fds);
        if (testSet != nullptr && testSet->holding()) {
            wait = std::min<int64_t>(wait, kv7::sim::kLineUnitsPerSecond / 100);
        }
        const timespec timeout = unitsToTimespec(wait);
        const int n = ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (testSet != nullptr) testSet->handle(fds);
        if (!connected) continue;
        pollfd& p = fds[0];
        if (takeIn && (p.revents & POLLIN)) {
            const ssize_t got = read(master, buf.data(), paced ? 1 : buf.size());
            if (got > 0) {
                radio.receive(kv7::ByteString(buf.begin(), buf.begin() + got), paced);
            } else if (got < 0 && errno == EIO) {
                p.revents |= POLLHUP;
            }
        }
        if (p.revents & (POLLHUP | POLLERR)) {
            connected = false;
            radio.dropLine();
            unsent.clear();
            if (verbose) std::cerr << "program closed the port\n";
            continue;
        }
        const kv7::ByteString due = radio.takeDue();
        unsent.insert(unsent.end(), due.begin(), due.end());
        if (!unsent.empty()) {
            const ssize_t put = write(master, unsent.data(), unsent.size());
            if (put > 0) unsent.erase(unsent.begin(), unsent.begin() + put);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kv7::sim;
    SimCommandLine cl;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!parseSimArguments(args, cl, error)) {
        std::cerr << "kv7-radio-sim: " << error << "\nTry --help.\n";
        return 2;
    }
    if (cl.help) {
        std::cout << simUsage();
        return 0;
    }
    kv7::ByteString image;
    if (cl.imageFile.empty()) {
        image = sampleImage(cl.options);
    } else if (!loadImageFile(cl.imageFile, image, error)) {
        std::cerr << "kv7-radio-sim: " << error << '\n';
        return 1;
    }
    installSignals();
    std::string slavePath;
    const int master = openMaster(slavePath);
    if (master < 0) {
        std::cerr << "kv7-radio-sim: cannot open a pseudo-terminal: " << std::strerror(errno)
                  << '\n';
        return 1;
    }
    std::cout << slavePath << std::endl;

    std::ofstream frameLog;
    if (!cl.frameLogFile.empty()) {
        frameLog.open(cl.frameLogFile, std::ios::out | std::ios::trunc);
        if (!frameLog) {
            std::cerr << "kv7-radio-sim: cannot write " << cl.frameLogFile << '\n';
            close(master);
            return 1;
        }
    }

    kv7::SteadyTickSource ticks;
    SimRadio radio(ticks, cl.options, image);
    // Single bytes take about a millisecond on the line: the radio runs on a clock finer than
    // the tick count.
    const auto start = std::chrono::steady_clock::now();
    radio.setClock([start] {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        return static_cast<int64_t>(ns * (kLineUnitsPerSecond / 1000) / 1000000);
    });
    radio.setFrameListener([&](const kv7::ByteString& record, bool malformed) {
        if (!cl.verbose && !frameLog.is_open()) return;
        const std::string line = frameLine(record, malformed);
        if (cl.verbose) std::cerr << line << '\n';
        if (frameLog.is_open()) frameLog << line << std::endl;
    });
    // The transmitter and the test set that measures it, when asked for.
    SimTransmitter transmitter(radio, ticks);
    std::unique_ptr<TestSetServer> testSet;
    if (cl.testSetPort >= 0) {
        // Each reading answered goes in the log beside the frames, with its time.
        auto measured = [&](SimQuantity q, const std::string& answer) {
            if (!frameLog.is_open() || !cl.logMeasurements) return;
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
            frameLog << "measure " << ms << " ms " << SimQuantityName(q) << ' ' << answer
                     << std::endl;
        };
        testSet = std::make_unique<TestSetServer>([&] { return transmitter.emission(); },
                                                  cl.testSetFault, cl.bench, measured);
        if (!testSet->listen(static_cast<uint16_t>(cl.testSetPort), error)) {
            std::cerr << "kv7-radio-sim: test set: " << error << '\n';
            close(master);
            return 1;
        }
        std::cout << "test-set 127.0.0.1:" << testSet->port() << std::endl;
    }
    const int rc = serve(master, radio, testSet.get(), cl.verbose);
    close(master);
    if (frameLog.is_open() && cl.logMeasurements) frameLog << endLine(radio) << std::endl;
    return rc;
}
