// kv7-radio-sim: the simulated radio behind a pseudo-terminal, in real time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "sim/sim_options.h"
#include "sim/sim_radio.h"

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

void logFrames(const kv7::ByteString& bytes, kv7::ByteString& partial) {
    for (uint8_t b : bytes) {
        partial.push_back(b);
        if (b != 0xFD) continue;
        std::string line = "rx:";
        char hex[4];
        for (uint8_t c : partial) {
            std::snprintf(hex, sizeof hex, " %02X", c);
            line += hex;
        }
        std::cerr << line << '\n';
        partial.clear();
    }
    if (partial.size() > 600) partial.clear();
}

// Serves whoever holds the slave side until a signal asks to stop.
int serve(int master, kv7::sim::SimRadio& radio, bool verbose) {
    bool connected = false;
    kv7::ByteString unsent;  // due bytes the terminal did not take yet
    kv7::ByteString logPartial;
    std::vector<uint8_t> buf(4096);
    while (!stopRequested) {
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
            poll(nullptr, 0, 50);
            continue;
        }
        const int32_t next = radio.msUntilNext();
        int timeout = unsent.empty() ? (next < 0 ? 200 : next) : 10;
        pollfd p{master, static_cast<short>(POLLIN | (unsent.empty() ? 0 : POLLOUT)), 0};
        const int n = poll(&p, 1, timeout);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (p.revents & POLLIN) {
            const ssize_t got = read(master, buf.data(), buf.size());
            if (got > 0) {
                const kv7::ByteString bytes(buf.begin(), buf.begin() + got);
                if (verbose) logFrames(bytes, logPartial);
                radio.receive(bytes);
            } else if (got < 0 && errno == EIO) {
                p.revents |= POLLHUP;
            }
        }
        if (p.revents & (POLLHUP | POLLERR)) {
            connected = false;
            radio.dropLine();
            unsent.clear();
            logPartial.clear();
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

    kv7::SteadyTickSource ticks;
    SimRadio radio(ticks, cl.options, image);
    const int rc = serve(master, radio, cl.verbose);
    close(master);
    return rc;
}
