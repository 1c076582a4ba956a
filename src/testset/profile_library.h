#pragma once
#include <string>
#include <vector>

#include "testset/test_set_profile.h"

namespace kv7 {

// The profiles on offer: the built-in "Generic SCPI" first, then every *.testset file of a
// folder in the order of their names. A file that cannot be used is not offered; its message
// ("FILE line N: what is wrong") is kept for the technician.
class ProfileLibrary {
  public:
    ProfileLibrary();

    // Reads the folder again; a missing folder leaves the built-in profile alone.
    void load(const std::string& folder);

    const std::vector<TestSetProfile>& profiles() const { return profiles_; }
    const std::vector<std::string>& refused() const { return refused_; }
    const TestSetProfile* find(const std::string& name) const;

  private:
    void loadFile(const std::string& path, const std::string& name);

    std::vector<TestSetProfile> profiles_;
    std::vector<std::string> refused_;
};

// A profile file larger than this is refused unread.
inline constexpr size_t kMaxProfileFileSize = 1 << 20;

}  // namespace kv7
