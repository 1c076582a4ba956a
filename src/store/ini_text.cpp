#include "store/ini_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

namespace kv7 {

namespace {

bool isText(const std::string& line) {
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

// What is wrong with one line, or nothing.
class LineTaker {
  public:
    LineTaker(std::size_t maxLine, const IniTextHandlers& handlers)
        : maxLine_(maxLine), handlers_(handlers) {}

    std::string take(const std::string& raw, int lineNo) {
        if (raw.size() > maxLine_) {
            return "the line is longer than " + std::to_string(maxLine_) + " characters";
        }
        if (!isText(raw)) return "the line holds characters that are not text";
        const std::string line = IniTrim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') return {};
        if (line[0] == '[') return section(line, lineNo);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return "neither [SECTION] nor KEY=VALUE: " + line;
        if (!inSection_) return "a key before the first [SECTION]";
        const std::string key = IniUpper(IniTrim(line.substr(0, eq)));
        if (!keys_.insert(key).second) return "the key " + key + "= appears twice";
        return handlers_.key(key, IniTrim(line.substr(eq + 1)));
    }

  private:
    std::string section(const std::string& line, int lineNo) {
        if (line.back() != ']') return "a section name must end with ]";
        const std::string name = IniUpper(IniTrim(line.substr(1, line.size() - 2)));
        if (!sections_.insert(name).second) return "the section [" + name + "] appears twice";
        inSection_ = true;
        keys_.clear();
        return handlers_.section(name, lineNo);
    }

    std::size_t maxLine_;
    const IniTextHandlers& handlers_;
    bool inSection_ = false;
    std::set<std::string> sections_;
    std::set<std::string> keys_;
};

}  // namespace

std::string IniTrim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string IniUpper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool IniInt(const std::string& v, int lo, int hi, int& out) {
    int n = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || end != v.data() + v.size() || n < lo || n > hi) return false;
    out = n;
    return true;
}

std::string IniFault(const std::string& fileName, int line, const std::string& what) {
    return fileName + " line " + std::to_string(std::max(line, 1)) + ": " + what;
}

std::string ReadIniText(const std::string& text, const std::string& fileName, std::size_t maxLine,
                        const IniTextHandlers& handlers) {
    LineTaker taker(maxLine, handlers);
    int lineNo = 0;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find('\n', from);
        if (nl == std::string::npos) nl = text.size();
        // Only as much of an overlong line as shows that it is too long is copied.
        std::string line = text.substr(from, std::min(nl - from, maxLine + 2));
        if (!line.empty() && line.back() == '\r' && nl - from <= maxLine + 1) line.pop_back();
        ++lineNo;
        const std::string fault = taker.take(line, lineNo);
        if (!fault.empty()) return IniFault(fileName, lineNo, fault);
        from = nl + 1;
    }
    return {};
}

}  // namespace kv7
