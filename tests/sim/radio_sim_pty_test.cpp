// Runs kv7-radio-sim and talks to it over its pseudo-terminal as a program would.
#include <gtest/gtest.h>

#ifndef KV7_RADIO_SIM
// The pseudo-terminal radio is built where the system has pseudo-terminals.
TEST(RadioSimPty, NeedsThePseudoTerminalRadio) {
    GTEST_SKIP() << "kv7-radio-sim serves a pseudo-terminal, which this system does not have";
}
#else
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/support/posix_sim_process.h"
#include "sim/support/sim_bench.h"

namespace kv7::simtest {
namespace {

using Clock = std::chrono::steady_clock;

// Reads until want bytes came or the time ran out.
ByteString readFor(int fd, size_t want, int ms) {
    ByteString got;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    uint8_t buf[4096];
    while (got.size() < want && Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    return got;
}

const ByteString kIdent = request("E0 2251 0000");

TEST(RadioSimPty, ServesOneProgramAfterAnotherAndStopsOnSignal) {
    SimProcess sim(KV7_RADIO_SIM, {});
    ASSERT_GT(sim.pid, 0);
    const std::string path = sim.firstLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

    for (int session = 0; session < 3; ++session) {
        SCOPED_TRACE(session);
        const int fd = openRaw(path);
        ASSERT_GE(fd, 0);
        if (session == 1) {
            // Leave in the middle of a clone read: the rest must not greet the next program.
            ASSERT_EQ(write(fd, request("E2 2251 0200").data(), 10), 10);
            EXPECT_GT(readFor(fd, 14745, 300).size(), 100u);
        } else {
            ASSERT_EQ(write(fd, kIdent.data(), kIdent.size()), 10);
            const ByteString got = readFor(fd, 56, 2000);
            ASSERT_EQ(got.size(), 56u);
            EXPECT_EQ(ByteString(got.begin(), got.begin() + 10), kIdent);
            EXPECT_EQ(answers(got).size(), 1u);
            EXPECT_TRUE(readFor(fd, 1, 100).empty());
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    EXPECT_EQ(sim.terminate(), 0);
}

TEST(RadioSimPty, CommandLine) {
    SimProcess help(KV7_RADIO_SIM, {"--help"});
    const std::string first = help.firstLine();
    EXPECT_NE(first.find("Usage"), std::string::npos);
    int status = 0;
    waitpid(help.pid, &status, 0);
    help.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    SimProcess bad(KV7_RADIO_SIM, {"--no-such-option"});
    waitpid(bad.pid, &status, 0);
    bad.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 2);

    SimProcess missing(KV7_RADIO_SIM, {"--image", "/nonexistent/image.bin"});
    waitpid(missing.pid, &status, 0);
    missing.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace kv7::simtest

#endif
