#pragma once
#include <string>

#include "model/session_record.h"

namespace kv7 {

// Every point of every BPF sweep of the record as CSV, one row per point under a header row;
// CR LF line ends. Each row repeats its sweep's stage, mode and result, so the rows can be
// filtered and plotted elsewhere without the rest of the file.
std::string SweepDataCsv(const SessionRecord& record);

}  // namespace kv7
