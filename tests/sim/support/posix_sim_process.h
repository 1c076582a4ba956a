#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace kv7::simtest {

// kv7-radio-sim (or another program) started with arguments, its standard output on a pipe;
// killed when this ends.
struct SimProcess {
    SimProcess(const std::string& program, std::vector<std::string> args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Text written to standard output within the time, up to the next line break.
    std::string firstLine(int ms = 5000);
    // Exit status after SIGTERM, or -1 when it does not end within the time.
    int terminate(int ms = 3000);

    pid_t pid = -1;
    int stdoutFd = -1;
};

// The slave side of the simulator's pseudo-terminal, raw and non-blocking; -1 on failure.
int openRaw(const std::string& path);

}  // namespace kv7::simtest
