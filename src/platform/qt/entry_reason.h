#pragma once
#include <QString>

class QAction;

namespace kv7 {

// Enables a menu entry, or disables it with the reason as its tooltip and status tip, so a grey
// entry always says what it waits for. An enabled entry carries no tooltip.
void enableWithReason(QAction* action, bool enabled, const QString& reason);

}  // namespace kv7
