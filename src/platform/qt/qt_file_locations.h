#pragma once
#include <QString>
#include <filesystem>
#include <string>

#include "app/file_locations.h"

namespace kv7 {

// The program's name for its per-user folders, whichever entry point asks.
inline constexpr const char* kUserFolderName = "swkv7adj";

// Where this run's files are: the platform's folders put through the program's rule. The
// program folder counts as writable only when a file can be made there.
FileLocations qtFileLocations();

// The program's manual (README.html, README.md or README.txt): beside the program, in the
// doc folder an installation puts it in, else in the sources it was built from. Empty: none.
QString installedManual();

// A path as the platform's own text, with its separators (the settings file's directory).
std::string nativePathText(const std::filesystem::path& p);
QString qtPath(const std::filesystem::path& p);

}  // namespace kv7
