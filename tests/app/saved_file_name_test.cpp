// The one naming scheme of the files saved of a radio.
#include "app/saved_file_name.h"

#include <gtest/gtest.h>

namespace kv7 {
namespace {

TEST(SavedFileName, SubNameReadTimeAndKind) {
    using std::chrono::milliseconds;
    using std::chrono::system_clock;
    // 2026-12-07 13:57:05.250 UTC; the milliseconds never show.
    const system_clock::time_point read{milliseconds(1796651825250)};
    const struct {
        const char* sub;
        SavedFileKind kind;
        const char* name;
    } cases[] = {
        {"0200", SavedFileKind::Report, "0200_20261207T135705Z_report.pdf"},
        {"0200", SavedFileKind::SweepData, "0200_20261207T135705Z_sweep.csv"},
        {"0200", SavedFileKind::AlignmentData, "0200_20261207T135705Z_alignment.csv"},
        {"0200", SavedFileKind::ImageAsRead, "0200_20261207T135705Z_as-read.kv7img"},
        {"0200", SavedFileKind::ImageCurrent, "0200_20261207T135705Z_current.kv7img"},
        // What a file name cannot hold on any system, and nothing at all.
        {"02/0:*", SavedFileKind::Report, "02-0_20261207T135705Z_report.pdf"},
        {"..", SavedFileKind::Report, "radio_20261207T135705Z_report.pdf"},
        {"", SavedFileKind::ImageAsRead, "radio_20261207T135705Z_as-read.kv7img"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SavedFileName(c.sub, read, c.kind), c.name) << "sub name '" << c.sub << "'";
    }
}

}  // namespace
}  // namespace kv7
