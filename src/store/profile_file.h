#pragma once
#include <cstdint>
#include <string>

namespace kv7 {

// Key access to an INI-format file with private-profile semantics: names match without regard
// to case, a missing file, section or key reads as the default, a write creates what it needs.
class ProfileFile {
  public:
    virtual ~ProfileFile() = default;
    // Puts the value of key in section (or defaultText when there is none) into returned, cut to
    // size - 1 characters, and returns the number of characters put there.
    virtual int32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                             const std::string& defaultText, std::string& returned,
                                             int32_t size, const std::string& fileName) = 0;
    // Stores text as the value of key in section; true when the file holds it afterwards.
    virtual bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                            const std::string& text,
                                            const std::string& fileName) = 0;
};

}  // namespace kv7
