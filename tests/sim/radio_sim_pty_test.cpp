// Runs kv7-radio-sim and talks to it over its pseudo-terminal as a program would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/support/sim_bench.h"

extern char** environ;

namespace kv7::simtest {
namespace {

using Clock = std::chrono::steady_clock;

struct SimProcess {
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        args.insert(args.begin(), KV7_RADIO_SIM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, KV7_RADIO_SIM, &fa, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        stdoutFd = out[0];
    }
    ~SimProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (stdoutFd >= 0) close(stdoutFd);
    }
    // Text written to standard output within the time, up to the first line break.
    std::string firstLine(int ms = 5000) {
        std::string line;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        char c;
        while (Clock::now() < end) {
            pollfd p{stdoutFd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            if (read(stdoutFd, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }
    // Exit status after SIGTERM, or -1 when it does not end within the time.
    int terminate(int ms = 3000) {
        kill(pid, SIGTERM);
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    pid_t pid = -1;
    int stdoutFd = -1;
};

int openRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

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
    SimProcess sim({});
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
    SimProcess help({"--help"});
    const std::string first = help.firstLine();
    EXPECT_NE(first.find("Usage"), std::string::npos);
    int status = 0;
    waitpid(help.pid, &status, 0);
    help.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    SimProcess bad({"--no-such-option"});
    waitpid(bad.pid, &status, 0);
    bad.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 2);

    SimProcess missing({"--image", "/nonexistent/image.bin"});
    waitpid(missing.pid, &status, 0);
    missing.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace kv7::simtest
