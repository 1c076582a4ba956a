#pragma once
#include <QString>
#include <filesystem>

namespace kv7 {

// A file name from a dialog or the command line, as the system spells it: built from the
// name's UTF-16, never through a single-byte code page.
inline std::filesystem::path filePath(const QString& name) {
    return std::filesystem::path(name.toStdU16String());
}

}  // namespace kv7
