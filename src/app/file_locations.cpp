#include "app/file_locations.h"

#include "model/constants_file.h"

namespace kv7 {

FileLocations ChooseFileLocations(const FileFolders& folders, const PathQuery& writableFolder,
                                  const PathQuery& isFile) {
    FileLocations where;
    const bool besideProgram = folders.userConfig.empty() ||
                               (!folders.programInstalled && writableFolder(folders.program));
    where.settingsFolder = besideProgram ? folders.program : folders.userConfig;

    const std::filesystem::path current = folders.current / kConstFileName;
    const std::filesystem::path user = folders.userData / kConstFileName;
    const bool fromUser = !folders.userData.empty() && !isFile(current) && isFile(user);
    where.constantsFile = fromUser ? user : current;
    return where;
}

}  // namespace kv7
