#include "platform/qt/qt_align_view.h"

#include <QTimer>

#include "app/program.h"

namespace kv7 {

QtAlignView::QtAlignView(Program& program, QWidget* parent) : program_(program), box_(parent) {}

// The run is inside its own step when it asks; the box opens after that step has returned.
void QtAlignView::askKeyUp(const std::string& text) {
    const unsigned run = runs_;
    QTimer::singleShot(0, this, [this, text, run] { ask(text, run); });
}

void QtAlignView::ask(const std::string& text, unsigned run) {
    if (run != runs_) return;
    // An open box holds the heartbeat, as every other box of the program does.
    ModalDepth& depth = program_.modalDepth();
    depth.enter();
    const bool ok = box_.confirm(text);
    depth.leave();
    if (run != runs_) return;
    program_.event("the key-up question", [this, ok] { program_.align().run().answer(ok); });
}

void QtAlignView::showProgress(const AlignProgress& progress) {
    if (onProgress_) onProgress_(progress);
}

void QtAlignView::runEnded() {
    ++runs_;
    if (onEnded_) onEnded_();
}

}  // namespace kv7
