#include "platform/qt/beside_placement.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kv7 {

namespace {

// The nearest position from which the whole window is on the screen; the top left corner when
// the window is larger than the screen.
QPoint keptOnScreen(QPoint at, const QSize& size, const QRect& screen) {
    const int x = std::max(screen.left(), std::min(at.x(), screen.right() + 1 - size.width()));
    const int y = std::max(screen.top(), std::min(at.y(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

qint64 area(const QRect& r) {
    return r.isEmpty() ? 0 : static_cast<qint64>(r.width()) * r.height();
}

}  // namespace

QPoint placeBeside(const QRect& main, const QRect& keepClear, const QSize& size,
                   const QRect& screen, int gap) {
    const std::array<QPoint, 4> sides = {
        QPoint(main.right() + 1 + gap, main.top()),
        QPoint(main.left() - gap - size.width(), main.top()),
        QPoint(main.left(), main.bottom() + 1 + gap),
        QPoint(main.left(), main.top() - gap - size.height()),
    };
    QPoint best;
    std::pair<qint64, qint64> covered{-1, -1};  // of the buttons, of the main window
    for (const QPoint& side : sides) {
        const QPoint at = keptOnScreen(side, size, screen);
        const QRect r(at, size);
        const std::pair<qint64, qint64> c{area(r.intersected(keepClear)),
                                          area(r.intersected(main))};
        if (covered.first < 0 || c < covered) {
            best = at;
            covered = c;
        }
        if (c.second == 0) break;
    }
    return best;
}

}  // namespace kv7
