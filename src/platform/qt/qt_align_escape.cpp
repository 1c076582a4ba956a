#include "platform/qt/qt_align_escape.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWindow>

#include "app/program.h"

namespace kv7 {

QtAlignEscape::QtAlignEscape(Program& program) : program_(program) {
    // The application's filter runs before the filters of a window, so the window's own Esc
    // (its cancel button) never sees a key meant for the run.
    QCoreApplication::instance()->installEventFilter(this);
}

QtAlignEscape::~QtAlignEscape() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void QtAlignEscape::watch(QWidget* window) {
    windows_.emplace_back(window);
}

// A key reaches the platform window first and then its focused widget; it is taken at the
// platform window, once.
bool QtAlignEscape::isWatchedWindow(QObject* receiver) const {
    if (!receiver->isWindowType()) return false;
    for (const QPointer<QWidget>& w : windows_) {
        if (w != nullptr && w->windowHandle() == receiver) return true;
    }
    return false;
}

bool QtAlignEscape::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
    if (!program_.align().run().running() || !isWatchedWindow(watched)) return false;
    program_.event("Esc during the alignment", [this] { program_.align().run().cancel(); });
    return true;
}

}  // namespace kv7
