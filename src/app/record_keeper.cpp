#include "app/record_keeper.h"

#include <exception>
#include <system_error>

#include "app/saved_file_name.h"
#include "model/alignment_csv.h"
#include "model/sweep_data_csv.h"
#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

RecordKeeper::RecordKeeper(SessionRecord& record, StatusLine& status, Listing listing)
    : record_(record), status_(status), listing_(std::move(listing)) {}

std::string RecordKeeper::parameterListing() const {
    if (record_.listingAtEnd()) return *record_.listingAtEnd();
    return listing_ ? listing_() : std::string();
}

void RecordKeeper::connectionEnding(SessionRecord& record) {
    // The next read overwrites the image, completed or not.
    if (listing_) record.setListingAtEnd(listing_());
}

std::string RecordKeeper::writeAll(const SessionRecord& record, std::string& reportPath) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) return "cannot create the folder " + utf8FromPath(folder_) + ": " + ec.message();
    const auto path = [&](SavedFileKind kind) {
        return folder_ / pathFromUtf8(RecordFileName(record, kind));
    };
    reportPath = utf8FromPath(path(SavedFileKind::Report));
    if (writer_ != nullptr) {
        const std::string error = writer_->writeReport(record, reportPath);
        if (!error.empty()) return error;
    }
    for (const auto& [kind, text] :
         {std::pair{SavedFileKind::SweepData, SweepDataCsv(record)},
          std::pair{SavedFileKind::AlignmentData, AlignmentDataCsv(record)}}) {
        const FileWriteResult written = writeFileAtomically(path(kind), text);
        if (!written) return "cannot write " + utf8FromPath(path(kind)) + ": " + written.reason;
    }
    if (writer_ == nullptr) reportPath = utf8FromPath(path(SavedFileKind::SweepData));
    return {};
}

void RecordKeeper::keep(SessionRecord& record) {
    if (!record.cloneRead() || !record.workUnsaved()) return;
    // Runs inside a clone read's completion or the program's end: nothing may escape from here.
    std::string reportPath;
    std::string error;
    try {
        error = writeAll(record, reportPath);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!error.empty()) {
        status_.showStatus("The unsaved service record of " + record.subName() +
                           " could not be kept: " + error);
        return;
    }
    record.reportSaved();
    lastKept_ = reportPath;
    // The path last: a line too short for all of it keeps the file's name.
    status_.showStatus("Unsaved service record of " + record.subName() +
                       " kept with its CSVs: " + WholePathText(reportPath));
}

}  // namespace kv7
