#pragma once
// A FIFO in a file's place, where the system has them. Windows has none in a folder (its named
// pipes live apart), so a case that needs one is left out there, saying so.
#include <iostream>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kv7::test {

#ifdef _WIN32
inline bool makeFifo(const std::string&) {
    return false;
}
#else
inline bool makeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}
#endif

inline constexpr bool kHaveFifos =
#ifdef _WIN32
    false;
#else
    true;
#endif

inline constexpr const char* kNoFifoReason = "this system has no FIFO to put in a file's place";

// Tells on the test's output that a table's case was left out, and why.
inline void sayCaseLeftOut(const std::string& name, const std::string& why) {
    std::cout << "[  LEFT OUT ] case '" << name << "': " << why << "\n";
}

}  // namespace kv7::test
