// Where the settings and the technician's files are, for a portable copy and an installed one.
#include "app/file_locations.h"

#include <gtest/gtest.h>

#include <set>

namespace kv7 {
namespace {

using Paths = std::set<std::filesystem::path>;

TEST(FileLocations, SettingsBesideAWritableProgramElseInTheUsersFolder) {
    const FileFolders unpacked{"/opt/kv7", false, "/home/t/.config/swkv7adj", "/home/t/work",
                               "/home/t/.local/share/swkv7adj"};
    FileFolders installed = unpacked;
    installed.program = "/usr/bin";
    installed.programInstalled = true;
    FileFolders homeless = unpacked;
    homeless.userConfig.clear();
    homeless.userData.clear();
    FileFolders relative = unpacked;
    relative.current.clear();
    const struct {
        const char* what;
        FileFolders folders;
        Paths writable;
        Paths files;
        std::filesystem::path settings;
        std::filesystem::path constants;
    } cases[] = {
        {"portable copy",
         unpacked,
         {"/opt/kv7"},
         {"/home/t/work/Const.ini"},
         "/opt/kv7",
         "/home/t/work/Const.ini"},
        {"read-only program folder",
         unpacked,
         {},
         {"/home/t/work/Const.ini"},
         "/home/t/.config/swkv7adj",
         "/home/t/work/Const.ini"},
        {"installed, run by one who may write there",
         installed,
         {"/usr/bin"},
         {},
         "/home/t/.config/swkv7adj",
         "/home/t/work/Const.ini"},
        {"installed, started from the menu",
         installed,
         {},
         {"/home/t/.local/share/swkv7adj/Const.ini"},
         "/home/t/.config/swkv7adj",
         "/home/t/.local/share/swkv7adj/Const.ini"},
        {"the current folder's Const.ini comes first",
         installed,
         {},
         {"/home/t/work/Const.ini", "/home/t/.local/share/swkv7adj/Const.ini"},
         "/home/t/.config/swkv7adj",
         "/home/t/work/Const.ini"},
        {"in neither: the current folder's is named",
         installed,
         {},
         {},
         "/home/t/.config/swkv7adj",
         "/home/t/work/Const.ini"},
        {"no user folders: the legacy places",
         homeless,
         {},
         {"/home/t/.local/share/swkv7adj/Const.ini"},
         "/opt/kv7",
         "/home/t/work/Const.ini"},
        {"current folder by relative names",
         relative,
         {"/opt/kv7"},
         {"/home/t/.local/share/swkv7adj/Const.ini"},
         "/opt/kv7",
         "/home/t/.local/share/swkv7adj/Const.ini"},
        {"current folder by relative names, found there",
         relative,
         {"/opt/kv7"},
         {"Const.ini"},
         "/opt/kv7",
         "Const.ini"},
    };
    for (const auto& c : cases) {
        const FileLocations where = ChooseFileLocations(
            c.folders, [&](const std::filesystem::path& p) { return c.writable.count(p) > 0; },
            [&](const std::filesystem::path& p) { return c.files.count(p) > 0; });
        EXPECT_EQ(where.settingsFolder, c.settings) << c.what;
        EXPECT_EQ(where.constantsFile, c.constants) << c.what;
    }
}

}  // namespace
}  // namespace kv7
