#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kv7 {

// Where a window of `size` (frame included) goes beside the main window's frame `main` on the
// screen's available area `screen`: to the right, else the left, else below, else above, the
// first side with room for all of it. With room nowhere, the side kept on the screen that covers
// least of `keepClear` (the main window's buttons), then least of the main window. Returns the
// frame's top left corner.
QPoint placeBeside(const QRect& main, const QRect& keepClear, const QSize& size,
                   const QRect& screen, int gap = 8);

}  // namespace kv7
