#pragma once
#include <string>

#include "model/session_record.h"

namespace kv7 {

// Every step of every alignment of the record as CSV, one row per reading under a header row;
// CR LF line ends. Readings are in W (power) or Hz (deviation, frequency), as the unit column
// says; each row repeats its point's verdict.
std::string AlignmentDataCsv(const SessionRecord& record);

}  // namespace kv7
