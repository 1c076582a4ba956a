#pragma once
#include <string>
#include <vector>

namespace kv7 {

class AlignRun;
class QtAlignView;
class QtMessageBox;
class TestSetWindow;

// The test-set readings window follows an alignment: the run's progress while it goes on, its
// result lines once it ended, and the run's closing box has the information icon when every
// point passed. `stopShowingRun` undoes it before the objects go.
void showRunInReadings(AlignRun& run, QtAlignView& view, TestSetWindow& readings,
                       QtMessageBox& messages);
void stopShowingRun(QtAlignView& view, QtMessageBox& messages);

// The run's result lines, one a point, as its closing message lists them.
std::vector<std::string> runResultLines(const AlignRun& run);
// The text is the closing message of a run whose points all passed.
bool runAllPassed(const AlignRun& run, const std::string& text);

}  // namespace kv7
