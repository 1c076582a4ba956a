#include "app/align_station.h"

#include <filesystem>

#include "store/atomic_file.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kFileName = "Align.ini";
constexpr size_t kMaxFileSize = 64 * 1024;

}  // namespace

AlignStation::AlignStation(clsConsole& console, clsIndOp_RigKV7& controller,
                           TestSetStation& testSet, const frmCom& link, TickSource& ticks,
                           MessageSink& messages, SessionRecord& record, std::string constFilePath)
    : messages_(messages),
      path_(utf8FromPath(pathFromUtf8(constFilePath).parent_path() / kFileName)),
      radio_(console, controller, [&link] { return link.lineIdle(); }),
      instrument_(testSet.testSet(), testSet.monitor()),
      run_(radio_, instrument_, ticks, messages) {
    run_.setRecorder([&record](const AlignmentRecord& r) { record.alignmentDone(r); });
}

void AlignStation::load() {
    run_.setTargets({});
    fault_.clear();
    std::string text;
    const FileReadResult read = readRegularFile(pathFromUtf8(path_), kMaxFileSize, text);
    if (read.error == FileReadError::Missing) return;  // no alignment offered
    if (!read) {
        fault_ = path_ + " cannot be read as a regular file.";
    } else if (read.size > kMaxFileSize) {
        fault_ = path_ + " has " + std::to_string(read.size) + " bytes; it may have at most " +
                 std::to_string(kMaxFileSize) + ".";
    } else {
        const AlignTargetsParse p = ParseAlignTargets(text, path_);
        if (p.targets) {
            run_.setTargets(*p.targets);
            return;
        }
        fault_ = p.error;
    }
    messages_.showMessage("The alignment targets are not used: " + fault_);
}

bool AlignStation::available() const {
    return !run_.running() && run_.whyNot().empty();
}

}  // namespace kv7
