#pragma once
#include <string>

#include "store/profile_io.h"

namespace kv7 {

// The folder each kind of file was last saved to, so a save dialog starts there: kept in a
// section of the settings file of its own, none of the sections the program has always had,
// so the next run starts there too.
class SaveFolders {
  public:
    enum class Kind { Report, SweepData, AlignmentData, Images };

    explicit SaveFolders(clsCmcProfileIO& settings) : settings_(settings) {}

    // Empty when none was remembered.
    std::string folder(Kind kind);
    // Where a dialog for the kind starts: the folder remembered, from this run or an earlier
    // one, while it is still there; otherwise `fallback` (UTF-8).
    std::string startIn(Kind kind, const std::string& fallback);
    void remember(Kind kind, const std::string& folder);

  private:
    clsCmcProfileIO& settings_;
};

}  // namespace kv7
