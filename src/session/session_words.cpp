#include "session/session_words.h"

#include <cctype>

namespace kv7::script {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string normalizedName(std::string_view s) {
    std::string out;
    bool blank = false;
    for (char c : trim(s)) {
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view withoutComment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '#' && (i == 0 || isBlank(line[i - 1]))) {
            return line.substr(0, i);
        }
    }
    return line;
}

std::string_view Args::word() {
    size_t end = 0;
    while (end < rest_.size() && !isBlank(rest_[end])) ++end;
    const std::string_view w = rest_.substr(0, end);
    rest_ = trim(rest_.substr(end));
    return w;
}

bool Args::token(std::string& out, bool& quoted, std::string& error) {
    quoted = !rest_.empty() && rest_.front() == '"';
    if (!quoted) {
        out = std::string(word());
        return true;
    }
    out.clear();
    for (size_t i = 1; i < rest_.size(); ++i) {
        const char c = rest_[i];
        if (c == '\\' && i + 1 < rest_.size() && (rest_[i + 1] == '"' || rest_[i + 1] == '\\')) {
            out += rest_[++i];
        } else if (c == '"') {
            rest_ = trim(rest_.substr(i + 1));
            return true;
        } else {
            out += c;
        }
    }
    error = "the quoted text has no closing quote";
    return false;
}

bool Args::text(std::string& out, bool& quoted, std::string& error) {
    quoted = !rest_.empty() && rest_.front() == '"';
    if (!quoted) {
        out = std::string(rest_);
        rest_ = {};
        return true;
    }
    if (!token(out, quoted, error)) return false;
    if (!rest_.empty()) {
        error = "unexpected '" + std::string(rest_) + "' after the quoted text";
        rest_ = {};
        return false;
    }
    return true;
}

}  // namespace kv7::script
