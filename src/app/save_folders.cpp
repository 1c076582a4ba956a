#include "app/save_folders.h"

#include <filesystem>
#include <system_error>

#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kSection = "FOLDERS";

const char* key(SaveFolders::Kind kind) {
    switch (kind) {
        case SaveFolders::Kind::Report: return "Report";
        case SaveFolders::Kind::SweepData: return "SweepData";
        case SaveFolders::Kind::AlignmentData: return "AlignmentData";
        case SaveFolders::Kind::Images: return "Images";
    }
    return "";
}

// The program's own code sets its section before each use, but leaves it set: put it back.
class SectionHold {
  public:
    explicit SectionHold(clsCmcProfileIO& settings)
        : settings_(settings), previous_(settings.Section()) {
        settings_.setSection(kSection);
    }
    ~SectionHold() { settings_.setSection(previous_); }
    SectionHold(const SectionHold&) = delete;
    SectionHold& operator=(const SectionHold&) = delete;

  private:
    clsCmcProfileIO& settings_;
    std::string previous_;
};

}  // namespace

std::string SaveFolders::folder(Kind kind) {
    const SectionHold hold(settings_);
    std::string v;
    if (!settings_.loadData(key(kind), v, "")) return {};
    return v;
}

std::string SaveFolders::startIn(Kind kind, const std::string& fallback) {
    const std::string remembered = folder(kind);
    std::error_code ec;
    if (!remembered.empty() && std::filesystem::is_directory(pathFromUtf8(remembered), ec)) {
        return remembered;
    }
    return fallback;
}

void SaveFolders::remember(Kind kind, const std::string& folder) {
    // A value longer than the file's lines hold would come back cut: a folder not there.
    if (folder.empty() || folder.size() >= 250) return;
    const SectionHold hold(settings_);
    settings_.saveData(key(kind), ProfileValue(folder));
}

}  // namespace kv7
