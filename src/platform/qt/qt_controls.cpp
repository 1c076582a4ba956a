#include "platform/qt/qt_controls.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <algorithm>
#include <stdexcept>

#include "platform/qt/qt_main_window.h"
#include "store/common.h"

namespace kv7::qtwin {

QString toQt(const std::string& s) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString out = decoder(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    if (decoder.hasError()) return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    return out;
}

QString displayText(const std::string& s) {
    QString t = toQt(s);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QFont courier(double points, bool bold) {
    QFont f(QStringLiteral("Courier New"));
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// ---- ControlImpl -------------------------------------------------------------------------------

ControlImpl::ControlImpl(QtMainWindow& window, QWidget* widget) : window_(window), widget_(widget) {
    focusable_ = widget->focusPolicy() != Qt::NoFocus;
}

void ControlImpl::setVisible(bool v) {
    visible_ = v;
    widget_->setVisible(v);
}

void ControlImpl::setEnabled(bool v) {
    enabled_ = v;
    widget_->setEnabled(v);
}

// A negative size cannot be shown; the control then has no extent.
void ControlImpl::Move(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = std::max(0.0, width);
    height_ = std::max(0.0, height);
    place();
}

// Without a tab stop the control is still reached by a click.
void ControlImpl::setTabStop(bool v) {
    if (focusable_) widget_->setFocusPolicy(v ? Qt::StrongFocus : Qt::ClickFocus);
}

void ControlImpl::setTabIndex(int v) {
    window_.placeInTabOrder(widget_, v);
}

void ControlImpl::SetFocus() {
    widget_->setFocus(Qt::OtherFocusReason);
}

void ControlImpl::place() {
    const int x = window_.pixelsX(left_);
    const int y = window_.pixelsY(top_);
    widget_->setGeometry(x, y, window_.pixelsX(width_), window_.pixelsY(height_));
}

void ControlImpl::setSizeFromPixels(const QSize& s) {
    width_ = s.width() * window_.TwipsPerPixelX();
    height_ = s.height() * window_.TwipsPerPixelY();
    place();
}

// ---- ListImpl ----------------------------------------------------------------------------------

ListImpl::ListImpl(QtMainWindow& window, QListWidget* list)
    : ControlImpl(window, list), list_(list) {}

void ListImpl::Clear() {
    lines_.clear();
    list_->clear();
}

void ListImpl::AddItem(const std::string& text) {
    if (lines_.size() >= 32767) throw OverflowError("list box is full");
    lines_.push_back(text);
    list_->addItem(displayText(text));
}

void ListImpl::setList(int16_t index, const std::string& text) {
    check(index);
    lines_[static_cast<size_t>(index)] = text;
    list_->item(index)->setText(displayText(text));
}

std::string ListImpl::List(int16_t index) const {
    check(index);
    return lines_[static_cast<size_t>(index)];
}

// The selected line; Qt may have a current row without selecting it (after a focus change),
// which is no selection for the logic.
int16_t ListImpl::ListIndex() const {
    const int row = list_->currentRow();
    if (row < 0 || row >= list_->count() || !list_->item(row)->isSelected()) return -1;
    return static_cast<int16_t>(row);
}

void ListImpl::setListIndex(int16_t i) {
    if (i == -1) {
        list_->setCurrentRow(-1);
        list_->clearSelection();
        return;
    }
    check(i);
    list_->setCurrentRow(i);
}

void ListImpl::check(int16_t index) const {
    if (index < 0 || index >= ListCount()) throw SubscriptError("no such line in the list");
}

// ---- ButtonImpl, check box, text box, label, frame ---------------------------------------------

ButtonImpl::ButtonImpl(QtMainWindow& window, QPushButton* button)
    : ControlImpl(window, button), button_(button) {}

void ButtonImpl::setCaption(const std::string& s) {
    caption_ = s;
    button_->setText(toQt(s));
}

void ButtonImpl::setDefault(bool v) {
    default_ = v;
    button_->setDefault(v);
}

void TwoWayCheckBox::nextCheckState() {
    const bool wasChecked = checkState() == Qt::Checked;
    setTristate(false);
    setCheckState(wasChecked ? Qt::Unchecked : Qt::Checked);
}

CheckImpl::CheckImpl(QtMainWindow& window, QCheckBox* box) : ControlImpl(window, box), box_(box) {}

void CheckImpl::setCaption(const std::string& s) {
    caption_ = s;
    box_->setText(toQt(s));
}

int16_t CheckImpl::Value() const {
    switch (box_->checkState()) {
        case Qt::Checked: return 1;
        case Qt::PartiallyChecked: return 2;
        default: return 0;
    }
}

// Setting the value does not count as a click.
void CheckImpl::setValue(int16_t v) {
    switch (v) {
        case 0:
        case 1:
            box_->setTristate(false);
            box_->setCheckState(v == 1 ? Qt::Checked : Qt::Unchecked);
            return;
        case 2: box_->setCheckState(Qt::PartiallyChecked); return;
        default: throw std::invalid_argument("check box value must be 0, 1 or 2");
    }
}

TextImpl::TextImpl(QtMainWindow& window, QPlainTextEdit* edit)
    : ControlImpl(window, edit), edit_(edit) {}

void TextImpl::setText(const std::string& s) {
    text_ = s;
    edit_->setPlainText(displayText(s));
}

LabelImpl::LabelImpl(QtMainWindow& window, QLabel* label, bool autoSize)
    : ControlImpl(window, label), label_(label), autoSize_(autoSize) {}

void LabelImpl::setCaption(const std::string& s) {
    caption_ = s;
    label_->setText(displayText(s));
    if (autoSize_) setSizeFromPixels(label_->sizeHint());
}

void LabelImpl::setForeColor(SystemColor c) {
    const QPalette system = QApplication::palette();
    QPalette p = label_->palette();
    p.setColor(QPalette::WindowText, c == SystemColor::ButtonText
                                         ? system.color(QPalette::ButtonText)
                                         : system.color(QPalette::Disabled, QPalette::WindowText));
    label_->setPalette(p);
}

FrameImpl::FrameImpl(QtMainWindow& window, QFrame* frame)
    : ControlImpl(window, frame), frame_(frame) {
    setBorderStyle(1);
}

// Style 1 is the etched box of a group frame; 0 shows no border.
void FrameImpl::setBorderStyle(int style) {
    if (style == 0) {
        frame_->setFrameStyle(QFrame::NoFrame);
    } else {
        frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame_->setLineWidth(1);
        frame_->setMidLineWidth(0);
    }
}

// ---- lines and menu items ----------------------------------------------------------------------

LineWidget::LineWidget(QWidget* parent, QPalette::ColorRole role) : QWidget(parent), role_(role) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void LineWidget::setEnds(QPoint a, QPoint b) {
    a_ = a;
    b_ = b;
    update();
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(color(), 0));
    p.drawLine(a_, b_);
}

void LineImpl::setCoords(double x1, double y1, double x2, double y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    const QPoint a(window_.pixelsX(x1), window_.pixelsY(y1));
    const QPoint b(window_.pixelsX(x2), window_.pixelsY(y2));
    const QRect box = QRect(a, b).normalized();
    widget_->setGeometry(box.left(), box.top(), box.width(), box.height());
    widget_->setEnds(a - box.topLeft(), b - box.topLeft());
    widget_->raise();
}

MenuImpl::MenuImpl(QAction* action) : action_(action) {
    action_->setCheckable(true);
    action_->setChecked(false);
}

void MenuImpl::setChecked(bool v) {
    checked_ = v;
    action_->setChecked(v);
}

void MenuImpl::restore() {
    action_->setChecked(checked_);
}

}  // namespace kv7::qtwin
