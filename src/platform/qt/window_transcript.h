#pragma once
#include <QString>
#include <string>
#include <vector>

#include "platform/qt/qt_message_box.h"

class QListWidget;

namespace kv7 {

class QtMainWindow;
class TestSetDialog;
class TestSetStation;
class TestSetWindow;
class clsIndOp_RigKV7;

// What kv7-session prints of the window, one line at a time on standard output.

// One line, flushed at once so it interleaves with what the program says on standard error.
void say(const std::string& line);
// Lines of a plain text as the widget shows them; a final line break adds no line.
std::vector<std::string> textLines(const QString& text);
std::vector<std::string> listLines(const QListWidget* list);
// "name, 3 lines:" (with "(hidden)" for a control not shown) and the lines below it.
void saySection(const std::string& name, const std::vector<std::string>& lines, bool shown,
                const std::string& extra = {});
// A message box and a question, as they were shown.
void sayMessageBox(const std::string& text);
void sayQuestion(const std::string& text);
// Everything the window shows, between "=== window" and "=== end of window"; the test-set
// window's status and readings last.
// `more`: lines of the other windows, printed last.
void printWindow(QtMainWindow& window, const clsIndOp_RigKV7& controller,
                 const TestSetWindow* testSet = nullptr, const std::vector<std::string>& more = {});

// Option > Test set…'s buttons as the connection stands, and the address and profile the
// settings file keeps.
std::string testSetDialogLine(TestSetDialog& dialog, const TestSetStation& station);

// The beep at the end of a procedure, heard in the transcript.
class SessionBeeper : public Beeper {
  public:
    void beep() override;

  private:
    QtBeeper inner_;
};

}  // namespace kv7
