#pragma once
#include <filesystem>
#include <functional>
#include <string>

#include "model/session_record.h"
#include "view/status_line.h"

namespace kv7 {

// Draws the service report of a record as a PDF; the platform owns the drawing.
class ReportWriter {
  public:
    virtual ~ReportWriter() = default;
    // Empty when the file was written, otherwise why not.
    virtual std::string writeReport(const SessionRecord& record, const std::string& path) = 0;
};

// Sees that no record holding work is dropped without a saved report: when a new clone read
// replaces it or the program ends, its report and CSVs go into the reports folder on their own,
// and the status line says where, once.
class RecordKeeper : public SessionRecordListener {
  public:
    // The parameter display's text of the radio's image as it is now.
    using Listing = std::function<std::string()>;

    RecordKeeper(SessionRecord& record, StatusLine& status, Listing listing);

    // Without one only the CSVs are kept.
    void setReportWriter(ReportWriter* writer) { writer_ = writer; }
    void setReportsFolder(std::filesystem::path folder) { folder_ = std::move(folder); }
    const std::filesystem::path& reportsFolder() const { return folder_; }

    // The parameter listing a report of the record shows: as its connection left the image.
    std::string parameterListing() const;
    // The technician saved the record's report: nothing to keep until the next change.
    void reportSaved() { record_.reportSaved(); }
    // The program ends: the record is kept when it holds unsaved work.
    void programEnding() { keep(record_); }
    // The report file the last automatic save wrote; empty when none.
    const std::string& lastKeptReport() const { return lastKept_; }

    // SessionRecordListener
    void connectionEnding(SessionRecord& record) override;
    void recordEnding(SessionRecord& record) override { keep(record); }

  private:
    void keep(SessionRecord& record);
    std::string writeAll(const SessionRecord& record, std::string& reportPath);

    SessionRecord& record_;
    StatusLine& status_;
    Listing listing_;
    ReportWriter* writer_ = nullptr;
    std::filesystem::path folder_;
    std::string lastKept_;
};

}  // namespace kv7
