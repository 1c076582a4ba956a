#include "store/image_file.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kFormat = "kv7-image-1";

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isDigits(const std::string& s, size_t from, size_t count) {
    if (from + count > s.size()) return false;
    return std::all_of(s.begin() + static_cast<long>(from),
                       s.begin() + static_cast<long>(from + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

int number(const std::string& s, size_t from, size_t count) {
    int v = 0;
    for (size_t i = from; i < from + count; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

bool hexCode(const std::string& v) {
    return v.size() == 4 && std::all_of(v.begin(), v.end(), isHexDigit);
}

std::string upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// YYYY-MM-DDTHH:MM:SSZ with every field in its range.
bool isoUtc(const std::string& v) {
    if (v.size() != 20 || v[4] != '-' || v[7] != '-' || v[10] != 'T' || v[13] != ':' ||
        v[16] != ':' || v[19] != 'Z') {
        return false;
    }
    if (!isDigits(v, 0, 4) || !isDigits(v, 5, 2) || !isDigits(v, 8, 2) || !isDigits(v, 11, 2) ||
        !isDigits(v, 14, 2) || !isDigits(v, 17, 2)) {
        return false;
    }
    const std::chrono::year_month_day day{
        std::chrono::year(number(v, 0, 4)),
        std::chrono::month(static_cast<unsigned>(number(v, 5, 2))),
        std::chrono::day(static_cast<unsigned>(number(v, 8, 2)))};
    return day.ok() && number(v, 11, 2) < 24 && number(v, 14, 2) < 60 && number(v, 17, 2) < 60;
}

bool keyChar(char c) {
    return (c >= 'a' && c <= 'z') || c == '-';
}

// The trailer's lines as key and value; false with the reason on the first bad line.
bool splitTrailer(const std::string& text, std::map<std::string, std::string>& fields,
                  std::string& first, std::string& error) {
    if (text.back() != '\n') {
        error = "The file ends in the middle of a line: it is cut short or not an image file.";
        return false;
    }
    size_t at = 0;
    int lineNo = 0;
    while (at < text.size()) {
        const size_t nl = text.find('\n', at);
        std::string line = text.substr(at, nl - at);
        at = nl + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = "Line " + std::to_string(lineNo) + " after the image ";
        if (line.size() > kImageFileMaxLine) {
            error = where + "is longer than " + std::to_string(kImageFileMaxLine) + " characters.";
            return false;
        }
        if (!std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
            error = where + "holds characters that are not text.";
            return false;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 ||
            !std::all_of(line.begin(), line.begin() + static_cast<long>(eq), keyChar)) {
            error = where + "is not of the form key=value.";
            return false;
        }
        const std::string key = line.substr(0, eq);
        if (fields.count(key) != 0) {
            error = where + "repeats the key '" + key + "'.";
            return false;
        }
        if (lineNo == 1) first = key;
        fields[key] = line.substr(eq + 1);
    }
    return true;
}

bool decodeInfo(const std::map<std::string, std::string>& f, const std::string& first,
                ImageFileInfo& info, std::string& error) {
    auto value = [&f](const char* key) -> const std::string* {
        const auto it = f.find(key);
        return it == f.end() ? nullptr : &it->second;
    };
    const std::string* format = value("format");
    if (first != "format" || format == nullptr) {
        error = "The description after the image does not begin with its format line.";
        return false;
    }
    if (*format != kFormat) {
        error = "The image file is of an unknown format '" + *format + "'.";
        return false;
    }
    for (const char* key : {"model", "sub", "channel-type", "read-at", "image"}) {
        if (value(key) == nullptr) {
            error = std::string("The description after the image lacks '") + key + "'.";
            return false;
        }
    }
    if (!hexCode(*value("model"))) {
        error = "The model code '" + *value("model") + "' is not four hexadecimal digits.";
        return false;
    }
    if (!hexCode(*value("sub"))) {
        error = "The sub name '" + *value("sub") + "' is not four hexadecimal digits.";
        return false;
    }
    const std::string& ch = *value("channel-type");
    if (ch != "0" && ch != "1") {
        error = "The channel type '" + ch + "' is neither 0 nor 1.";
        return false;
    }
    if (!isoUtc(*value("read-at"))) {
        error = "The time of the read '" + *value("read-at") +
                "' is not a UTC time of the form 2026-12-07T13:57:05Z.";
        return false;
    }
    const std::string& kind = *value("image");
    if (kind != imageKindName(ImageKind::AsRead) && kind != imageKindName(ImageKind::Current)) {
        error = "The image kind '" + kind + "' is neither as-read nor current.";
        return false;
    }
    info.modelCode = upper(*value("model"));
    info.subName = upper(*value("sub"));
    info.channelType = ch == "1";
    info.readAt = *value("read-at");
    info.kind = kind == imageKindName(ImageKind::AsRead) ? ImageKind::AsRead : ImageKind::Current;
    return true;
}

}  // namespace

const char* imageKindName(ImageKind k) {
    return k == ImageKind::AsRead ? "as-read" : "current";
}

ByteString encodeImageFile(const ImageFile& file) {
    ByteString out = file.image;
    out.resize(kImageFileImageSize, 0);
    const ImageFileInfo& i = file.info;
    const std::string trailer = std::string("format=") + kFormat + "\nmodel=" + i.modelCode +
                                "\nsub=" + i.subName +
                                "\nchannel-type=" + (i.channelType ? "1" : "0") +
                                "\nread-at=" + i.readAt + "\nimage=" + imageKindName(i.kind) + "\n";
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

bool decodeImageFile(const ByteString& data, bool bareAllowed, ImageFile& out, std::string& error) {
    if (data.size() < kImageFileImageSize) {
        error = "The file is too short for an image: " + std::to_string(data.size()) +
                " bytes, an image has " + std::to_string(kImageFileImageSize) + ".";
        return false;
    }
    const size_t trailerSize = data.size() - kImageFileImageSize;
    if (trailerSize > kImageFileMaxTrailer) {
        error = "The file is too long for an image: " + std::to_string(data.size()) +
                " bytes, at most " + std::to_string(kImageFileMaxSize) + ".";
        return false;
    }
    ImageFile file;
    file.image.assign(data.begin(), data.begin() + static_cast<long>(kImageFileImageSize));
    if (trailerSize == 0) {
        if (!bareAllowed) {
            error =
                "The file holds a bare image without the description of its radio "
                "(model code, sub name).";
            return false;
        }
        out = std::move(file);
        return true;
    }
    const std::string text(data.begin() + static_cast<long>(kImageFileImageSize), data.end());
    std::map<std::string, std::string> fields;
    std::string first;
    if (!splitTrailer(text, fields, first, error)) return false;
    if (!decodeInfo(fields, first, file.info, error)) return false;
    out = std::move(file);
    return true;
}

bool readImageFile(const std::string& path, bool bareAllowed, ImageFile& out, std::string& error) {
    std::string raw;
    const FileReadResult read = readRegularFile(pathFromUtf8(path), kImageFileMaxSize + 1, raw);
    switch (read.error) {
        case FileReadError::None: break;
        case FileReadError::Folder: error = path + " is a folder, not an image file."; return false;
        case FileReadError::Missing: error = path + " does not exist."; return false;
        case FileReadError::NotRegularFile:
            error = path + " is not a regular file, not an image file.";
            return false;
        case FileReadError::System: error = path + " cannot be opened for reading."; return false;
    }
    if (raw.size() > kImageFileMaxSize) {
        // The reader stops after the largest size it could accept; the file's own size says
        // how far off it is.
        const std::uintmax_t size = std::max<std::uintmax_t>(read.size, raw.size());
        error = path + ": The file is too long for an image: " + std::to_string(size) +
                " bytes, at most " + std::to_string(kImageFileMaxSize) + ".";
        return false;
    }
    const ByteString data(raw.begin(), raw.end());
    if (!decodeImageFile(data, bareAllowed, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool writeImageFile(const std::string& path, const ImageFile& file, std::string& error) {
    const ByteString bytes = encodeImageFile(file);
    const FileWriteResult written = writeFileAtomically(
        pathFromUtf8(path),
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (written.error == FileWriteError::Folder) {
        error = path + " is a folder; choose a file name.";
        return false;
    }
    if (!written) {
        error = "Cannot write the image to " + path + ". " + written.reason + ".";
        return false;
    }
    return true;
}

std::string utcIsoText(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto secs = floor<seconds>(t);
    const auto day = floor<days>(secs);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> hms{secs - day};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return buf;
}

std::string utcCompactText(std::chrono::system_clock::time_point t) {
    std::string s = utcIsoText(t);
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '-' || c == ':'; }),
            s.end());
    return s;
}

}  // namespace kv7
