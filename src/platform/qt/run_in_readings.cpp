#include "platform/qt/run_in_readings.h"

#include "align/align_run.h"
#include "model/alignment_record.h"
#include "platform/qt/qt_align_view.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/test_set_window.h"

namespace kv7 {

std::vector<std::string> runResultLines(const AlignRun& run) {
    std::vector<std::string> lines;
    for (const AlignmentRecord& r : run.results()) lines.push_back(AlignResultLine(r));
    return lines;
}

// The closing message is the one that ends with the run's result lines.
bool runAllPassed(const AlignRun& run, const std::string& text) {
    if (run.running() || run.results().empty()) return false;
    std::string tail;
    for (const AlignmentRecord& r : run.results()) {
        if (!r.passed) return false;
        tail += "\n" + AlignResultLine(r);
    }
    return text.size() > tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void showRunInReadings(AlignRun& run, QtAlignView& view, TestSetWindow& readings,
                       QtMessageBox& messages) {
    view.setOnProgress([&readings](const AlignProgress& p) { readings.showAlignProgress(p); });
    view.setOnEnded([&run, &readings] { readings.endAlignProgress(runResultLines(run)); });
    messages.setGoodNews([&run](const std::string& text) { return runAllPassed(run, text); });
}

void stopShowingRun(QtAlignView& view, QtMessageBox& messages) {
    view.setOnProgress({});
    view.setOnEnded({});
    messages.setGoodNews({});
}

}  // namespace kv7
