#include "app/saved_file_name.h"

#include <filesystem>
#include <system_error>

#include "model/session_record.h"
#include "store/file_path.h"
#include "store/image_file.h"

namespace kv7 {

namespace {

const char* suffix(SavedFileKind kind) {
    switch (kind) {
        case SavedFileKind::Report: return "_report.pdf";
        case SavedFileKind::SweepData: return "_sweep.csv";
        case SavedFileKind::AlignmentData: return "_alignment.csv";
        case SavedFileKind::ImageAsRead: return "_as-read.kv7img";
        case SavedFileKind::ImageCurrent: return "_current.kv7img";
    }
    return "";
}

// Letters, digits and a few marks pass; a separator, a wildcard or a control character would
// make another folder or no file at all.
std::string namePart(const std::string& subName) {
    std::string out;
    for (const char c : subName) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '+' || c == '.';
        out += plain ? c : '-';
    }
    while (!out.empty() && (out.back() == '.' || out.back() == '-')) out.pop_back();
    return out.empty() ? "radio" : out;
}

}  // namespace

std::string SavedFileName(const std::string& subName, std::chrono::system_clock::time_point readAt,
                          SavedFileKind kind) {
    return namePart(subName) + "_" + utcCompactText(readAt) + suffix(kind);
}

std::string RecordFileName(const SessionRecord& record, SavedFileKind kind) {
    const auto readAt = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::milliseconds(record.cloneReadMs())));
    return SavedFileName(record.subName(), readAt, kind);
}

std::string WholePathText(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(pathFromUtf8(path), ec);
    return ec ? path : utf8FromPath(whole.lexically_normal());
}

}  // namespace kv7
