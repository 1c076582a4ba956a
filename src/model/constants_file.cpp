#include "model/constants_file.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One line without its end; false at the end of the stream with nothing read.
bool readLine(std::istream& in, std::string& line) {
    line.clear();
    std::istream::int_type c;
    bool any = false;
    while ((c = in.get()) != std::istream::traits_type::eof()) {
        any = true;
        if (c == '\n') return true;
        if (c == '\r') {
            if (in.peek() == '\n') in.get();
            return true;
        }
        line += static_cast<char>(c);
    }
    return any;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A line that does not begin with a number would silently become 0 and skew the TXF table.
bool beginsWithNumber(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i < s.size() && s[i] == '.') ++i;
    return i < s.size() && isDigit(s[i]);
}

bool readNumbers(std::istream& in, ConstTable& table) {
    std::string line;
    for (int i = 0; i < kConstCount; ++i) {
        if (!readLine(in, line) || !beginsWithNumber(line)) return false;
        const double v = VbVal(line);
        if (!(std::fabs(v) <= FLT_MAX)) return false;
        table[static_cast<size_t>(i)] = static_cast<float>(v);
    }
    return true;
}

}  // namespace

double VbVal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    std::string num;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) num += text[i++];
    bool digits = false;
    for (; i < text.size() && isDigit(text[i]); ++i, digits = true) num += text[i];
    if (i < text.size() && text[i] == '.') {
        num += text[i++];
        for (; i < text.size() && isDigit(text[i]); ++i, digits = true) num += text[i];
    }
    if (!digits) return 0.0;
    // An exponent counts only with at least one digit.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        bool expDigits = false;
        for (; j < text.size() && isDigit(text[j]); ++j, expDigits = true) exp += text[j];
        if (expDigits) num += exp;
    }
    const char* first = num.data();
    if (*first == '+') ++first;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(first, num.data() + num.size(), v);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Too large is infinite (refused by the caller), too small is zero: decide by the
        // decimal order of magnitude, leading digit position plus exponent.
        const bool neg = num[0] == '-';
        const size_t e = num.find('e');
        const std::string mant = num.substr(0, e);
        long expo = e == std::string::npos ? 0 : std::strtol(num.c_str() + e + 1, nullptr, 10);
        expo = std::clamp(expo, -1000000L, 1000000L);
        const size_t dot = std::min(mant.find('.'), mant.size());
        const size_t lead = mant.find_first_of("123456789");
        const long order = static_cast<long>(dot) - static_cast<long>(lead) + expo;
        if (lead == std::string::npos || order <= 0) return neg ? -0.0 : 0.0;
        return neg ? -HUGE_VAL : HUGE_VAL;
    }
    return v;
}

bool ReadConstants(std::istream& in, ConstTable& rev20, ConstTable& rev10) {
    std::string line;
    if (!readLine(in, line)) return false;
    std::string_view first = line;
    if (first.substr(0, 3) == "\xEF\xBB\xBF") first.remove_prefix(3);
    if (trimBlanks(first) != kConstHeaderRev20) return false;
    if (!readNumbers(in, rev20)) return false;
    if (!readLine(in, line) || trimBlanks(line) != kConstHeaderRev10) return false;
    return readNumbers(in, rev10);
}

bool ReadConstantsFile(const std::string& path, ConstTable& rev20, ConstTable& rev10) {
    // Only a regular file is opened: a pipe in its place would hold the start-up forever.
    // Far more than the 44 lines ever read; a larger file is read only that far.
    constexpr std::size_t kMostRead = 1 << 20;
    std::string bytes;
    if (!readRegularFile(pathFromUtf8(path), kMostRead, bytes)) return false;
    std::istringstream in(bytes);
    return ReadConstants(in, rev20, rev10);
}

}  // namespace kv7
