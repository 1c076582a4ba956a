#include "testset/profile_library.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kExtension = ".testset";

bool isProfileFile(const std::string& name) {
    const std::string ext = kExtension;
    if (name.size() <= ext.size()) return false;
    return std::equal(ext.rbegin(), ext.rend(), name.rbegin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

ProfileLibrary::ProfileLibrary() : profiles_{GenericScpiProfile()} {}

void ProfileLibrary::load(const std::string& folder) {
    profiles_ = {GenericScpiProfile()};
    refused_.clear();
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(pathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        if (isProfileFile(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        loadFile(utf8FromPath(pathFromUtf8(folder) / pathFromUtf8(name)), name);
}

void ProfileLibrary::loadFile(const std::string& path, const std::string& name) {
    std::string text;
    const FileReadResult read = readRegularFile(pathFromUtf8(path), kMaxProfileFileSize, text);
    if (!read) {
        refused_.push_back(name + ": the file cannot be read as a regular file");
        return;
    }
    if (read.size > kMaxProfileFileSize) {
        refused_.push_back(name + ": the file has " + std::to_string(read.size) +
                           " bytes; a profile has at most " + std::to_string(kMaxProfileFileSize));
        return;
    }
    ProfileParse parse = ParseTestSetProfile(text, name);
    if (!parse.profile) {
        refused_.push_back(parse.error);
        return;
    }
    if (const TestSetProfile* same = find(parse.profile->name)) {
        refused_.push_back(name + ": the name '" + same->name + "' is taken by " + same->source);
        return;
    }
    profiles_.push_back(std::move(*parse.profile));
}

const TestSetProfile* ProfileLibrary::find(const std::string& name) const {
    for (const TestSetProfile& p : profiles_) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

}  // namespace kv7
