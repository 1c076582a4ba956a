#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace kv7 {

// Reads a small INI file whose every fault the technician must find by its line: each line is
// blank, a comment (';' or '#'), "[SECTION]" or "KEY=VALUE". Names reach the handlers trimmed
// and upper-case, values trimmed, a section with its line number (for faults found later). A
// handler returns what is wrong with its line, or nothing.
struct IniTextHandlers {
    std::function<std::string(const std::string& section, int line)> section;
    std::function<std::string(const std::string& key, const std::string& value)> key;
};

// Empty when every line was taken, otherwise "FILE line N: what is wrong" for the first fault.
// A line longer than maxLine, one with control characters, a key outside a section and a key or
// section given twice are faults of their own.
std::string ReadIniText(const std::string& text, const std::string& fileName, std::size_t maxLine,
                        const IniTextHandlers& handlers);

// Helpers of the values such files hold: blanks and tabs trimmed at both ends, ASCII upper
// case, and a whole decimal number within lo..hi (false for anything else).
std::string IniTrim(const std::string& s);
std::string IniUpper(std::string s);
bool IniInt(const std::string& v, int lo, int hi, int& out);

// "FILE line N: what" for a fault found after the text was read (a missing key, say).
std::string IniFault(const std::string& fileName, int line, const std::string& what);

}  // namespace kv7
