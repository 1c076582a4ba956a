#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace kv7 {

// A path the program carries as text (in a message, a settings value, a script) is UTF-8.
// These two are the only crossings between that text and the system's own form of a path
// (UTF-16 on Windows), so a folder named "Prüfplatz" is the same folder on every system; a
// path never goes through the system's single-byte code page.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

}  // namespace kv7
