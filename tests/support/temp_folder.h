#pragma once
// A fresh folder under the system's temporary folder, removed with the object; the same on
// every system the tests build for.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "store/file_path.h"

namespace kv7::test {

// A new, empty folder whose name begins with the prefix; the test cannot go on without one.
inline std::filesystem::path makeTempFolder(const std::string& prefix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    std::mt19937_64 gen(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path p = base / pathFromUtf8(prefix + std::to_string(gen() % 100000000u));
        if (fs::create_directory(p, ec)) return p;
    }
    std::abort();
}

// Removes a folder with everything in it, also what a test left read-only (which Windows will
// not delete) or without write permission.
inline void removeTree(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
    }
    fs::remove_all(dir, ec);
}

class TempFolder {
  public:
    explicit TempFolder(const std::string& prefix = "kv7-") : path_(makeTempFolder(prefix)) {}
    ~TempFolder() { removeTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& native() const { return path_; }
    // The folder and a file in it as the program carries paths: UTF-8 text.
    std::string path() const { return utf8FromPath(path_); }
    std::string file(const std::string& name) const {
        return utf8FromPath(path_ / pathFromUtf8(name));
    }

  private:
    std::filesystem::path path_;
};

}  // namespace kv7::test
