#include "store/profile_io.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <utility>

#include "store/private_profile.h"

namespace kv7 {

namespace {

// The platform buffer for one value: 255 characters including the terminating one.
constexpr int32_t kValueBuffer = 255;

ProfileFile& diskFiles() {
    static PrivateProfile files;  // holds no state; every profile object may share it
    return files;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool endsWithSeparator(const std::string& d) {
    return !d.empty() && (d.back() == '\\' || d.back() == '/');
}

// The directory separator of the platform the files live on.
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
constexpr bool kSlashPlatform = kSeparator == '/';

std::string withSeparator(const std::string& d) {
    return endsWithSeparator(d) ? d : d + kSeparator;
}

// Optional sign and decimal digits, nothing else: "12abc", "1.5" and "" are not integers.
bool parseInteger(std::string_view s, int64_t min, int64_t max, int64_t& out) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    int64_t magnitude = 0;
    for (char c : s) {
        if (!isDigit(c)) return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > max + 1) return false;  // beyond every range below, before overflowing
    }
    const int64_t v = negative ? -magnitude : magnitude;
    if (v < min || v > max) return false;
    out = v;
    return true;
}

template <typename F>
bool parseFloating(std::string_view s, F& out) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') return false;
    }
    F v{};
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

template <typename F>
std::optional<std::string> floatingText(F v) {
    if (!std::isfinite(v)) return std::nullopt;
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) return std::nullopt;
    return std::string(buf, ptr);
}

// Whole units, then up to four decimals without trailing zeros: 12.5, -0.0001, 3.
std::string currencyText(Currency c) {
    const bool negative = c.units < 0;
    const uint64_t magnitude =
        negative ? uint64_t{0} - static_cast<uint64_t>(c.units) : static_cast<uint64_t>(c.units);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return text;
}

bool parseCurrency(std::string_view s, Currency& out) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const std::size_t dot = s.find('.');
    std::string_view whole = s.substr(0, dot);
    std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : s.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return false;
    // Decimals past the fourth cannot be held; only zeros there are accepted.
    while (fraction.size() > 4 && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 4) return false;
    constexpr uint64_t kLimit = uint64_t{1} << 63;  // magnitude of the most negative amount
    uint64_t magnitude = 0;
    for (char c : whole) {
        if (!isDigit(c)) return false;
        if (magnitude > (kLimit - 9) / 10) return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    }
    if (magnitude > kLimit / 10000) return false;
    magnitude *= 10000;
    uint64_t scale = 1000;
    for (char c : fraction) {
        if (!isDigit(c)) return false;
        magnitude += static_cast<uint64_t>(c - '0') * scale;
        scale /= 10;
    }
    if (magnitude > kLimit || (!negative && magnitude == kLimit)) return false;
    out.units =
        negative ? static_cast<int64_t>(uint64_t{0} - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool validDateTime(const DateTime& d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 0 || d.year > 9999 || d.month < 1 || d.month > 12) return false;
    const int days = kDays[d.month - 1] + (d.month == 2 && isLeapYear(d.year) ? 1 : 0);
    return d.day >= 1 && d.day <= days && d.hour >= 0 && d.hour <= 23 && d.minute >= 0 &&
           d.minute <= 59 && d.second >= 0 && d.second <= 59;
}

bool dateField(std::string_view text, std::size_t pos, std::size_t len, int16_t& out) {
    int64_t v = 0;
    const std::string_view field = text.substr(pos, len);
    // Only digits: a sign would pass the integer rules but has no place inside a date.
    for (char c : field) {
        if (!isDigit(c)) return false;
    }
    if (!parseInteger(field, 0, 9999, v)) return false;
    out = static_cast<int16_t>(v);
    return true;
}

// yyyy.mm.dd-hh:mm:ss, the fields taken by position.
bool parseDateTime(std::string_view text, DateTime& out) {
    if (text.size() != 19) return false;
    DateTime d;
    if (!dateField(text, 0, 4, d.year) || !dateField(text, 5, 2, d.month) ||
        !dateField(text, 8, 2, d.day) || !dateField(text, 11, 2, d.hour) ||
        !dateField(text, 14, 2, d.minute) || !dateField(text, 17, 2, d.second)) {
        return false;
    }
    if (!validDateTime(d)) return false;
    out = d;
    return true;
}

template <typename Int>
bool parseIntegerInto(const std::string& text, ProfileValue& into) {
    int64_t v = 0;
    if (!parseInteger(text, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max(), v)) {
        return false;
    }
    into = static_cast<Int>(v);
    return true;
}

std::string withoutLeadingBlanks(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace

std::optional<std::string> profileText(const ProfileValue& v) {
    struct Visitor {
        std::optional<std::string> operator()(int16_t x) const { return std::to_string(x); }
        std::optional<std::string> operator()(int32_t x) const { return std::to_string(x); }
        std::optional<std::string> operator()(uint8_t x) const { return std::to_string(x); }
        std::optional<std::string> operator()(float x) const { return floatingText(x); }
        std::optional<std::string> operator()(double x) const { return floatingText(x); }
        std::optional<std::string> operator()(Currency x) const { return currencyText(x); }
        std::optional<std::string> operator()(const std::string& x) const { return x; }
        std::optional<std::string> operator()(bool x) const { return x ? "1" : "0"; }
        std::optional<std::string> operator()(const DateTime& d) const {
            if (!validDateTime(d)) return std::nullopt;
            char buf[64];
            std::snprintf(buf, sizeof buf, "%04d.%02d.%02d-%02d:%02d:%02d", d.year, d.month, d.day,
                          d.hour, d.minute, d.second);
            return std::string(buf);
        }
    };
    return std::visit(Visitor{}, v);
}

bool profileParse(const std::string& text, ProfileValue& into) {
    const std::string number = withoutLeadingBlanks(text);
    switch (into.index()) {
        case 0: return parseIntegerInto<int16_t>(number, into);
        case 1: return parseIntegerInto<int32_t>(number, into);
        case 2: return parseFloating(number, std::get<float>(into));
        case 3: return parseFloating(number, std::get<double>(into));
        case 4: return parseCurrency(number, std::get<Currency>(into));
        case 5: return parseIntegerInto<uint8_t>(number, into);
        case 6: into = text; return true;
        case 7: return parseDateTime(text, std::get<DateTime>(into));
        case 8: into = text != "0"; return true;
    }
    return false;
}

clsCmcProfileIO::clsCmcProfileIO(std::string programDirectory)
    : file_(&diskFiles()), programDirectory_(std::move(programDirectory)) {}

clsCmcProfileIO::clsCmcProfileIO(ProfileFile& file, std::string programDirectory)
    : file_(&file), programDirectory_(std::move(programDirectory)) {}

void clsCmcProfileIO::SetCurrentPath(const std::string& programDirectory) {
    programDirectory_ = programDirectory;
    SetCurrentPath();
}

void clsCmcProfileIO::SetCurrentPath() {
    // Without a known program directory the name stays relative to the current directory
    // instead of pointing at the root.
    Path_ = programDirectory_.empty() ? std::string() : withSeparator(programDirectory_);
}

void clsCmcProfileIO::setFullPath(const std::string& s) {
    // Forward slashes are read as backslashes here, so that the name and the directory are
    // split at the same place.
    std::string normalized = s;
    std::replace(normalized.begin(), normalized.end(), '/', '\\');
    std::string dir = GetPathName(normalized);
    const bool fromProgramDirectory = normalized.find('\\') == std::string::npos;
    // Where directories are separated by slashes, Path is written with them, so that
    // GetMyProfile names the file itself.
    if constexpr (kSlashPlatform) {
        if (!fromProgramDirectory) std::replace(dir.begin(), dir.end(), '\\', '/');
    }
    Path_ = (dir.empty() && fromProgramDirectory) ? std::string() : withSeparator(dir);
    Name_ = GetFileName(normalized);
}

std::string clsCmcProfileIO::StripTerminator(const std::string& StrString) {
    return StrString.substr(0, StrString.find('\0'));
}

std::string clsCmcProfileIO::GetFileName(const std::string& strPath) {
    std::string rest = strPath;
    for (;;) {
        std::size_t cut = rest.find('\\');
        if (cut == std::string::npos) cut = rest.find(':');
        if (cut == std::string::npos) return rest;
        rest.erase(0, cut + 1);
    }
}

std::string clsCmcProfileIO::GetPathName(const std::string& strFilename) const {
    std::string s = strFilename;
    std::replace(s.begin(), s.end(), '/', '\\');
    const std::size_t n = s.size();
    const std::size_t firstBackslash = s.find('\\');
    const bool firstIsLast = firstBackslash == std::string::npos ? n == 0 : firstBackslash + 1 == n;
    std::size_t p = 0;  // characters of s that make the directory
    if (firstIsLast) {
        p = n <= 1 ? n : n - 1;
    } else {
        const std::size_t lastBackslash = s.rfind('\\');
        p = lastBackslash == std::string::npos ? 0 : lastBackslash + 1;
    }
    std::string d;
    if (p < 1) {
        d = programDirectory_;
        // A POSIX program directory loses its trailing slash the same way.
        if (d.size() > 1 && d.back() == '/') d.pop_back();
    } else {
        d = s.substr(0, p);
        if (d.back() == ':') d += '\\';
    }
    if (!d.empty() && d.back() == '\\') d.pop_back();
    return UCase16(d);
}

bool clsCmcProfileIO::saveData(const std::string& sKey, const ProfileValue& sData) {
    const std::optional<std::string> text = profileText(sData);
    if (!text) return false;
    return file_->WritePrivateProfileStringA(Section_, sKey, *text, GetMyProfile());
}

bool clsCmcProfileIO::loadData(const std::string& sKey, ProfileValue& sData) {
    return loadData(sKey, sData, ProfileValue(sData));
}

bool clsCmcProfileIO::loadData(const std::string& sKey, ProfileValue& sData,
                               const ProfileValue& sDefaultData) {
    if (sDefaultData.index() != sData.index()) return false;
    const std::string defaultText = profileText(sDefaultData).value_or(std::string());
    std::string buffer;
    const int32_t copied = file_->GetPrivateProfileStringA(Section_, sKey, defaultText, buffer,
                                                           kValueBuffer, GetMyProfile());
    if (copied <= 0) return false;
    std::string text = StripTerminator(buffer.substr(0, static_cast<std::size_t>(copied)));
    const std::size_t last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
    ProfileValue result = sData;
    if (!profileParse(text, result)) return false;
    sData = std::move(result);
    return true;
}

}  // namespace kv7
