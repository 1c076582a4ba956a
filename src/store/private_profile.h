#pragma once
#include <optional>
#include <string>

#include "store/profile_file.h"

namespace kv7 {

// The INI files on disk. A write changes only the one key's line (or adds the lines it needs)
// and leaves every other byte of the file as it was; the file is replaced as a whole, so a
// failed save never leaves half a file behind.
class PrivateProfile : public ProfileFile {
  public:
    // Values are cut to 254 characters by the buffer of 255 the program passes.
    int32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultText, std::string& returned,
                                     int32_t size, const std::string& fileName) override;
    // False when the file cannot be read or replaced, or when section, key or text would not
    // survive as one line of the file (a line break, "=" in a key, "]" in a section).
    bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                    const std::string& text, const std::string& fileName) override;

    // Removes every line of the key from the sections of that name and leaves every other byte
    // as it was; true when the key is gone afterwards (also when there was no file or key).
    bool removeKey(const std::string& section, const std::string& key, const std::string& fileName);

    // The same rules on the text of a file, without touching the disk.
    static std::optional<std::string> findValue(const std::string& content,
                                                const std::string& section, const std::string& key);
    // The file's text with the key set; none when the names or the text are not storable.
    static std::optional<std::string> withValue(const std::string& content,
                                                const std::string& section, const std::string& key,
                                                const std::string& text);
    // The file's text without the key's lines; none for an empty key name.
    static std::optional<std::string> withoutKey(const std::string& content,
                                                 const std::string& section,
                                                 const std::string& key);
};

}  // namespace kv7
