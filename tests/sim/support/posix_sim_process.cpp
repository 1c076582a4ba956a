#include "sim/support/posix_sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace kv7::simtest {

using Clock = std::chrono::steady_clock;

SimProcess::SimProcess(const std::string& program, std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    stdoutFd = out[0];
}

SimProcess::~SimProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (stdoutFd >= 0) close(stdoutFd);
}

std::string SimProcess::firstLine(int ms) {
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

int SimProcess::terminate(int ms) {
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

int openRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

}  // namespace kv7::simtest
