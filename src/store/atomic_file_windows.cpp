// Files on Windows: wide paths, binary always, and a replace that keeps the old file until the
// new one is complete on the disk.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "store/atomic_file.h"
#include "store/atomic_file_parts.h"

namespace kv7 {

namespace fs = std::filesystem;

namespace {

std::string systemReason(DWORD err) {
    std::string text = std::system_category().message(static_cast<int>(err));
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

bool notFound(DWORD err) {
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

// Closes the handle when the scope ends.
class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool close() {
        if (!valid()) return true;
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

bool writeAll(HANDLE h, std::string_view bytes) {
    constexpr std::size_t kChunk = 1u << 20;
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min(bytes.size(), kChunk));
        DWORD done = 0;
        if (!WriteFile(h, bytes.data(), want, &done, nullptr)) return false;
        if (done == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(done);
    }
    return true;
}

}  // namespace

FileWriteResult writeFileAtomically(const fs::path& path, std::string_view bytes) {
    std::error_code ec;
    const fs::path target = linkTarget(path, ec);
    if (ec) return failed(FileWriteError::System, ec.message());
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && !notFound(GetLastError())) {
        return failed(FileWriteError::System, systemReason(GetLastError()));
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return failed(FileWriteError::Folder, "It is a folder");
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return failed(FileWriteError::NotRegularFile, "It is not a regular file");
    }
    // A file marked read-only keeps its content, although the folder would let us replace it.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return failed(FileWriteError::ReadOnly, "It is marked read-only");
    }
    TemporaryNames names(target);
    fs::path temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 8 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = names.next();
        created = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    Handle file(created);
    if (!file.valid()) return failed(FileWriteError::System, systemReason(GetLastError()));
    auto abandon = [&](DWORD err) {
        file.close();
        DeleteFileW(temp.c_str());
        return failed(FileWriteError::System, systemReason(err));
    };
    // A full disk may show only when the data reaches the disk; a copy cut short must never
    // replace the file.
    if (!writeAll(file.get(), bytes)) return abandon(GetLastError());
    if (!FlushFileBuffers(file.get())) return abandon(GetLastError());
    if (!file.close()) return abandon(GetLastError());
    // The old file's attributes and permissions go over to the new one.
    if (exists && ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return {};
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return abandon(GetLastError());
    }
    return {};
}

FileReadResult readRegularFile(const fs::path& path, std::size_t limit, std::string& bytes) {
    FileReadResult r;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        r.error = notFound(GetLastError()) ? FileReadError::Missing : FileReadError::System;
        return r;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        r.error = FileReadError::Folder;
        return r;
    }
    Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        r.error = FileReadError::System;
        return r;
    }
    // A pipe or a device (COM1, NUL) in the file's place is never read.
    LARGE_INTEGER size{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size)) {
        r.error = FileReadError::NotRegularFile;
        return r;
    }
    r.size = static_cast<std::uintmax_t>(size.QuadPart);
    bytes.clear();
    char buf[65536];
    while (bytes.size() < limit) {
        const DWORD want = static_cast<DWORD>(std::min(sizeof buf, limit - bytes.size()));
        DWORD got = 0;
        if (!ReadFile(file.get(), buf, want, &got, nullptr)) {
            r.error = FileReadError::System;
            break;
        }
        if (got == 0) break;
        bytes.append(buf, got);
    }
    return r;
}

}  // namespace kv7
