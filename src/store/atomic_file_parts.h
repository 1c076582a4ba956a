#pragma once
// What every system's file writer shares: where a link leads and the temporary's name.
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "store/atomic_file.h"

namespace kv7 {

inline FileWriteResult failed(FileWriteError e, std::string reason) {
    return {e, std::move(reason)};
}

// A link is written through, so the link stays and its target gets the new bytes.
inline std::filesystem::path linkTarget(const std::filesystem::path& path, std::error_code& ec) {
    if (!std::filesystem::is_symlink(path, ec)) {
        ec.clear();
        return path;
    }
    return std::filesystem::weakly_canonical(path, ec);
}

// Names for the temporary in the target's folder, "NAME.~123456.tmp", each one a new guess.
class TemporaryNames {
  public:
    explicit TemporaryNames(const std::filesystem::path& target)
        : dir_(target.has_parent_path() ? target.parent_path() : std::filesystem::path(".")),
          name_(target.filename().native()),
          gen_(std::random_device{}()) {}

    std::filesystem::path next() {
        std::filesystem::path file = name_;
        file += ".~" + std::to_string(gen_() % 1000000u) + ".tmp";
        return dir_ / file;
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path::string_type name_;
    std::mt19937 gen_;
};

}  // namespace kv7
