#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv7 {

// The one way a file is written: the bytes go to a temporary beside the target, every write
// and the final flush to the disk are checked, and only a complete copy is renamed over the
// target, so a full disk or a failed write leaves the old file exactly as it was. A symbolic
// link is written through to its target; a target that exists and is not a regular file (a
// folder, a device, a pipe) is refused, as is one marked read-only. Bytes are written as they
// are, on every system: no line ending or end-of-file mark is translated.
enum class FileWriteError { None, Folder, NotRegularFile, ReadOnly, System };

struct FileWriteResult {
    FileWriteError error = FileWriteError::None;
    std::string reason;  // a sentence for the technician without its full stop, empty on success
    explicit operator bool() const { return error == FileWriteError::None; }
};

FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Reads at most `limit` bytes of a regular file without ever waiting on it (a pipe or a device
// is refused, not opened for a blocking read). `size` is the file's whole size on disk.
enum class FileReadError { None, Missing, Folder, NotRegularFile, System };

struct FileReadResult {
    FileReadError error = FileReadError::None;
    std::uintmax_t size = 0;
    explicit operator bool() const { return error == FileReadError::None; }
};

FileReadResult readRegularFile(const std::filesystem::path& path, std::size_t limit,
                               std::string& bytes);

}  // namespace kv7
