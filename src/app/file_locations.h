#pragma once
#include <filesystem>
#include <functional>

namespace kv7 {

// The folders the platform names for the program's files.
struct FileFolders {
    std::filesystem::path program;  // the folder the program itself lies in
    // The program folder is the system's folder for installed programs: never written, even by
    // a user who could (an administrator), since the package manager owns it.
    bool programInstalled = false;
    std::filesystem::path userConfig;  // the user's own folder for the program's settings
    std::filesystem::path current;     // where the program was started; empty: relative names
    std::filesystem::path userData;    // the user's own folder for the program's data
};

// Where the program keeps its files and where it finds the ones the technician provides.
struct FileLocations {
    std::filesystem::path settingsFolder;  // SWKV7ADJ.rs, images/ and testsets/
    std::filesystem::path constantsFile;   // Const.ini; Align.ini is read beside it
};

using PathQuery = std::function<bool(const std::filesystem::path&)>;

// The one rule for every entry point. The settings stay in the program's own folder where it
// can be written (a copy unpacked anywhere keeps everything beside itself), else they go to the
// user's configuration folder. Const.ini is taken from the current folder, else from the
// user's data folder when it is there; when it is in neither, the current folder's is named,
// so the start-up fails as it always has.
FileLocations ChooseFileLocations(const FileFolders& folders, const PathQuery& writableFolder,
                                  const PathQuery& isFile);

}  // namespace kv7
