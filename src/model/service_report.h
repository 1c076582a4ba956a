#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/session_record.h"

namespace kv7 {

// A table of texts; `marked` rows are the ones to make stand out (a changed item).
struct ReportTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> marked;  // one per row
};

// One swept stage: the curve and the texts around it.
struct ReportSweep {
    std::string title;    // "BPF T2, single stage"
    std::string summary;  // points, best reading, plateau, chosen setting
    const SessionRecord::Sweep* sweep = nullptr;
};

// One TXF procedure: what was confirmed and the table as written.
struct ReportTxf {
    std::string title;
    std::vector<std::string> summary;
    ReportTable table;  // one row per temperature band; empty when nothing was planned
};

// One point aligned against the test set: its verdict, the figures and the steps to plot.
struct ReportAlignment {
    std::string title;  // "Power(Hi): PASS"
    std::vector<std::string> summary;
    const AlignmentRecord* record = nullptr;
};

// Everything the service report shows, as texts; drawing it is the platform's part.
struct ServiceReport {
    std::vector<std::pair<std::string, std::string>> header;  // label, value
    ReportTable items;
    ReportTable adjustments;
    ReportTable monitors;
    std::vector<ReportSweep> sweeps;
    std::vector<ReportTxf> txf;
    std::vector<ReportAlignment> alignments;
    std::vector<std::string> parameters;  // the 83-line listing, without line breaks
};

struct ReportContext {
    std::string program;           // the program's title
    std::string port;              // "COM 1 (/dev/ttyUSB0)"
    int64_t savedMs = 0;           // when the report is made
    std::string parameterListing;  // the parameter display's text (CR LF lines)
};

// The report of a record that holds a clone read; `record` must outlive the result.
ServiceReport BuildServiceReport(const SessionRecord& record, const ReportContext& context);

// "2026-12-07 14:03:05" in the computer's local time.
std::string LocalDateTime(int64_t ms);
// "14:03:05" in the computer's local time.
std::string LocalTime(int64_t ms);

}  // namespace kv7
