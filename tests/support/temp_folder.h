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

class TempFolder {
  public:
    explicit TempFolder(const std::string& prefix = "kv7-") : path_(makeTempFolder(prefix)) {}
    ~TempFolder() {
        namespace fs = std::filesystem;
        std::error_code ec;
        // A test may have taken the write permission away to see a save fail.
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
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
