#include "platform/qt/entry_reason.h"

#include <QAction>

namespace kv7 {

void enableWithReason(QAction* action, bool enabled, const QString& reason) {
    action->setEnabled(enabled);
    const QString why = enabled ? QString() : reason;
    action->setToolTip(why);
    action->setStatusTip(why);
}

}  // namespace kv7
