#include "store/private_profile.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

enum class LineKind { Other, Section, Key };

// One line of the file as offsets into its text; nothing is copied, so every byte the edit
// does not touch is written back exactly as it was read.
struct Line {
    std::size_t start = 0;       // first byte of the line
    std::size_t contentEnd = 0;  // first byte of the line terminator (or end of text)
    std::size_t end = 0;         // first byte after the terminator
    LineKind kind = LineKind::Other;
    std::string_view name;       // section name or key, trimmed
    std::size_t valueStart = 0;  // key lines: first byte of the value after the blanks
    std::size_t valueEnd = 0;    // key lines: end of the value before the blanks
};

Line classify(std::string_view text, std::size_t start, std::size_t contentEnd, std::size_t end) {
    Line line;
    line.start = start;
    line.contentEnd = contentEnd;
    line.end = end;
    const std::string_view content = text.substr(start, contentEnd - start);
    const std::string_view body = trim(content);
    if (body.empty() || body.front() == ';') return line;
    if (body.front() == '[') {
        std::string_view name = body.substr(1);
        name = name.substr(0, name.find(']'));
        line.kind = LineKind::Section;
        line.name = trim(name);
        return line;
    }
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) return line;
    line.name = trim(content.substr(0, eq));
    if (line.name.empty()) return line;
    line.kind = LineKind::Key;
    std::size_t vs = eq + 1;
    while (vs < content.size() && isBlank(content[vs])) ++vs;
    std::size_t ve = content.size();
    while (ve > vs && isBlank(content[ve - 1])) --ve;
    line.valueStart = start + vs;
    line.valueEnd = start + ve;
    return line;
}

// Lines end at LF, CR LF or a CR alone (files edited on other systems); a last line may have
// no terminator.
std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = text.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        const std::size_t contentEnd = brk == std::string_view::npos ? text.size() : brk;
        std::size_t end = brk == std::string_view::npos ? text.size() : brk + 1;
        if (brk != std::string_view::npos && text[brk] == '\r' && end < text.size() &&
            text[end] == '\n') {
            ++end;
        }
        lines.push_back(classify(text, pos, contentEnd, end));
        pos = end;
    }
    return lines;
}

// The line ending new lines get: the file's own, CR LF for a file that has none yet.
std::string lineEnding(std::string_view text) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) return "\r\n";
    return (lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

// What has to follow text before another line can start: nothing after an LF; an LF after a
// CR that ends the file, which keeps that line as it reads (an LF of our own would join the CR
// as one CR LF and take the CR out of the line's text anyway); otherwise a whole line ending.
// A file of nothing but a byte order mark needs none.
std::string lineBreakToAdd(std::string_view text, const std::string& eol) {
    if (text.empty() || text == kBom || text.back() == '\n') return "";
    if (text.back() == '\r') return "\n";
    return eol;
}

struct Found {
    const Line* key = nullptr;          // first line of the key in a section of that name
    const Line* sectionHead = nullptr;  // first section of that name
    const Line* lastKey = nullptr;      // last key line of that first section
};

Found locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found f;
    bool inSection = false;
    bool inFirstSection = false;
    for (const Line& line : lines) {
        if (line.kind == LineKind::Section) {
            inSection = sameName(line.name, section);
            inFirstSection = inSection && f.sectionHead == nullptr;
            if (inFirstSection) f.sectionHead = &line;
        } else if (line.kind == LineKind::Key && inSection) {
            if (inFirstSection) f.lastKey = &line;
            if (f.key == nullptr && sameName(line.name, key)) f.key = &line;
        }
    }
    return f;
}

enum class ReadResult { Missing, Read, Failed };

// A settings file is a few lines; one larger than this is no settings file, and it is never
// cut short and written back.
constexpr std::size_t kMostRead = 16u << 20;

// Missing for no file; Failed for something there that cannot be read as a file.
ReadResult readFile(const fs::path& path, std::string& content) {
    const FileReadResult read = readRegularFile(path, kMostRead + 1, content);
    if (read.error == FileReadError::Missing) return ReadResult::Missing;
    if (!read || content.size() > kMostRead) return ReadResult::Failed;
    return ReadResult::Read;
}

// The file is either the old one or the new one, never a part of either.
bool replaceFile(const fs::path& path, const std::string& content) {
    return static_cast<bool>(writeFileAtomically(path, content));
}

}  // namespace

std::optional<std::string> PrivateProfile::findValue(const std::string& content,
                                                     const std::string& section,
                                                     const std::string& key) {
    const std::vector<Line> lines = splitLines(content);
    const Found f = locate(lines, trim(section), trim(key));
    if (f.key == nullptr) return std::nullopt;
    return content.substr(f.key->valueStart, f.key->valueEnd - f.key->valueStart);
}

std::optional<std::string> PrivateProfile::withValue(const std::string& content,
                                                     const std::string& section,
                                                     const std::string& key,
                                                     const std::string& text) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    // Names and text that would read back as something else are not written at all.
    if (hasLineBreak(section) || sectionName.find(']') != std::string_view::npos) {
        return std::nullopt;
    }
    if (keyName.empty() || hasLineBreak(key) || keyName.find('=') != std::string_view::npos ||
        keyName.front() == '[' || keyName.front() == ';') {
        return std::nullopt;
    }
    if (hasLineBreak(text)) return std::nullopt;

    const std::vector<Line> lines = splitLines(content);
    const Found f = locate(lines, sectionName, keyName);
    const std::string eol = lineEnding(content);
    if (f.key != nullptr) {
        return content.substr(0, f.key->valueStart) + text + content.substr(f.key->valueEnd);
    }
    const std::string keyLine = std::string(keyName) + "=" + text + eol;
    if (f.sectionHead != nullptr) {
        const Line* after = f.lastKey != nullptr ? f.lastKey : f.sectionHead;
        return content.substr(0, after->end) + lineBreakToAdd(content.substr(0, after->end), eol) +
               keyLine + content.substr(after->end);
    }
    std::string out = content;
    out += lineBreakToAdd(out, eol);
    out += "[" + std::string(sectionName) + "]" + eol + keyLine;
    return out;
}

std::optional<std::string> PrivateProfile::withoutKey(const std::string& content,
                                                      const std::string& section,
                                                      const std::string& key) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    if (keyName.empty()) return std::nullopt;
    // Every line of the key goes, in every section of the name: a second one further down
    // would otherwise come to light as the key's value.
    std::string out;
    out.reserve(content.size());
    std::size_t copied = 0;
    bool inSection = false;
    for (const Line& line : splitLines(content)) {
        if (line.kind == LineKind::Section) inSection = sameName(line.name, sectionName);
        if (line.kind != LineKind::Key || !inSection || !sameName(line.name, keyName)) continue;
        out.append(content, copied, line.start - copied);
        copied = line.end;
    }
    out.append(content, copied, std::string::npos);
    return out;
}

int32_t PrivateProfile::GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                                 const std::string& defaultText,
                                                 std::string& returned, int32_t size,
                                                 const std::string& fileName) {
    std::string content;
    std::optional<std::string> value;
    if (readFile(pathFromUtf8(fileName), content) == ReadResult::Read) {
        value = findValue(content, section, key);
    }
    const std::string& text = value ? *value : defaultText;
    // The caller's buffer holds size characters including the terminating one.
    const std::size_t room = size > 0 ? static_cast<std::size_t>(size) - 1 : 0;
    returned = text.substr(0, std::min(room, text.size()));
    return static_cast<int32_t>(returned.size());
}

bool PrivateProfile::WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                                const std::string& text,
                                                const std::string& fileName) {
    if (fileName.empty()) return false;
    const fs::path path = pathFromUtf8(fileName);
    std::string content;
    const ReadResult read = readFile(path, content);
    // A file that is there but unreadable is left alone rather than replaced by a new one.
    if (read == ReadResult::Failed) return false;
    const std::optional<std::string> updated = withValue(content, section, key, text);
    if (!updated) return false;
    if (read == ReadResult::Read && *updated == content) return true;
    return replaceFile(path, *updated);
}

bool PrivateProfile::removeKey(const std::string& section, const std::string& key,
                               const std::string& fileName) {
    if (fileName.empty()) return false;
    const fs::path path = pathFromUtf8(fileName);
    std::string content;
    const ReadResult read = readFile(path, content);
    if (read == ReadResult::Missing) return true;  // nothing there to remove
    if (read == ReadResult::Failed) return false;
    const std::optional<std::string> updated = withoutKey(content, section, key);
    if (!updated) return false;
    if (*updated == content) return true;
    return replaceFile(path, *updated);
}

}  // namespace kv7
