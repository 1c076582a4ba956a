#pragma once
#include <QString>
#include <filesystem>
#include <string>

namespace kv7 {

// The core's texts are UTF-8.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// A file name from a dialog or the command line, as the system spells it: built from the
// name's UTF-16, never through a single-byte code page.
inline std::filesystem::path filePath(const QString& name) {
    return std::filesystem::path(name.toStdU16String());
}

}  // namespace kv7
