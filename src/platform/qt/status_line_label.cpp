#include "platform/qt/status_line_label.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <algorithm>

namespace kv7 {

StatusLineLabel::StatusLineLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusLineLabel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    fit();
}

// Only the height counts: the window's width is the Part's.
QSize StatusLineLabel::sizeHint() const {
    return {0, QLabel::sizeHint().height()};
}

QSize StatusLineLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void StatusLineLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusLineLabel::fit() {
    setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(0, contentsRect().width())));
}

}  // namespace kv7
