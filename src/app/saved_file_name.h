#pragma once
#include <chrono>
#include <string>

namespace kv7 {

class SessionRecord;

// What a file saved of a radio holds; the last part of its name.
enum class SavedFileKind { Report, SweepData, AlignmentData, ImageAsRead, ImageCurrent };

// The one naming scheme of every file saved of a radio: sub name, the clone read's UTC time,
// the kind ("0200_20261207T135705Z_report.pdf"), so a shop's folder sorts by radio and read and
// the files of one read sit together. Characters a file name cannot hold become '-'.
std::string SavedFileName(const std::string& subName, std::chrono::system_clock::time_point readAt,
                          SavedFileKind kind);

// The name of a file saved of a connection's record, by its sub name and clone read time.
std::string RecordFileName(const SessionRecord& record, SavedFileKind kind);

// A saved file's path as the status line names it: whole, so it can be found again from
// anywhere (UTF-8 in and out).
std::string WholePathText(const std::string& path);

}  // namespace kv7
