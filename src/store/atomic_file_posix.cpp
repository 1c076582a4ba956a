// Files on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "store/atomic_file.h"
#include "store/atomic_file_parts.h"

namespace kv7 {

namespace fs = std::filesystem;

namespace {

std::string systemReason(int err) {
    return std::strerror(err);
}

}  // namespace

FileWriteResult writeFileAtomically(const fs::path& path, std::string_view bytes) {
    std::error_code ec;
    const fs::path target = linkTarget(path, ec);
    if (ec) return failed(FileWriteError::System, ec.message());
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return failed(FileWriteError::System, systemReason(errno));
    if (exists && S_ISDIR(old.st_mode)) return failed(FileWriteError::Folder, "It is a folder");
    if (exists && !S_ISREG(old.st_mode)) {
        return failed(FileWriteError::NotRegularFile, "It is not a regular file");
    }
    // A file marked read-only keeps its content, although the folder would let us replace it.
    if (exists && (old.st_mode & S_IWUSR) == 0) {
        return failed(FileWriteError::ReadOnly, "It is marked read-only");
    }
    TemporaryNames names(target);
    int fd = -1;
    fs::path temp;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temp = names.next();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return failed(FileWriteError::System, systemReason(errno));
    auto abandon = [&](int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return failed(FileWriteError::System, systemReason(err));
    };
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon(n < 0 ? errno : ENOSPC);
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    // A full disk may show only when the data reaches the disk; a copy cut short must never
    // replace the file.
    if (::fsync(fd) != 0) return abandon(errno);
    if (exists) ::fchmod(fd, old.st_mode & 07777);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return abandon(errno);
    return {};
}

FileReadResult readRegularFile(const fs::path& path, std::size_t limit, std::string& bytes) {
    FileReadResult r;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        r.error = errno == ENOENT ? FileReadError::Missing : FileReadError::System;
        return r;
    }
    if (S_ISDIR(st.st_mode)) {
        r.error = FileReadError::Folder;
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = FileReadError::NotRegularFile;
        return r;
    }
    // Never waits in the open, even when a pipe took the file's place since the look above.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.error = FileReadError::System;
        return r;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.error = S_ISDIR(st.st_mode) ? FileReadError::Folder : FileReadError::NotRegularFile;
        ::close(fd);
        return r;
    }
    r.size = static_cast<std::uintmax_t>(st.st_size);
    bytes.clear();
    char buf[65536];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof buf, limit - bytes.size());
        const ssize_t n = ::read(fd, buf, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.error = FileReadError::System;
            break;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return r;
}

}  // namespace kv7
