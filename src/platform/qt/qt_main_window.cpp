#include "platform/qt/qt_main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/event_boundary.h"
#include "app/main_window.h"
#include "store/common.h"

#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

namespace kv7 {

namespace {

// Texts come as UTF-8 when they are valid UTF-8, otherwise as the single-byte set.
QString toQt(const std::string& s) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString out = decoder(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    if (decoder.hasError()) return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    return out;
}

// The logic separates lines with CR LF; Qt's plain text wants LF alone.
QString displayText(const std::string& s) {
    QString t = toQt(s);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QFont courier(double points, bool bold = false) {
    QFont f(QStringLiteral("Courier New"));
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The key codes the logic knows (the classic virtual-key numbers); 0 for any other key.
int vbKeyCode(const QKeyEvent& e) {
    const int k = e.key();
    const bool keypad = (e.modifiers() & Qt::KeypadModifier) != 0;
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return (keypad ? 96 : 48) + (k - Qt::Key_0);
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return 112 + (k - Qt::Key_F1);
    switch (k) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Pause: return 19;
        case Qt::Key_CapsLock: return 20;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        case Qt::Key_Asterisk: return keypad ? 106 : 0;
        case Qt::Key_Plus: return keypad ? 107 : 0;
        case Qt::Key_Comma:
        case Qt::Key_Period: return keypad ? 108 : 0;  // the keypad separator
        case Qt::Key_Minus: return keypad ? 109 : 0;
        case Qt::Key_Slash: return keypad ? 111 : 0;
        default: return 0;
    }
}

bool shiftHeld(const QKeyEvent& e) {
    return (e.modifiers() & Qt::ShiftModifier) != 0;
}

}  // namespace

namespace qtwin {

// Position, size, visibility and focus shared by every control. Lengths are kept in twips as
// the logic wrote them; the widget shows them rounded to whole pixels.
class ControlImpl : public virtual Control {
  public:
    ControlImpl(QtMainWindow& window, QWidget* widget) : window_(window), widget_(widget) {
        focusable_ = widget->focusPolicy() != Qt::NoFocus;
    }

    void setVisible(bool v) override {
        visible_ = v;
        widget_->setVisible(v);
    }
    bool Visible() const override { return visible_; }
    void setEnabled(bool v) override {
        enabled_ = v;
        widget_->setEnabled(v);
    }
    bool Enabled() const override { return enabled_; }
    double Left() const override { return left_; }
    double Top() const override { return top_; }
    double Width() const override { return width_; }
    double Height() const override { return height_; }
    // A negative size cannot be shown; the control then has no extent.
    void Move(double left, double top, double width, double height) override {
        left_ = left;
        top_ = top;
        width_ = std::max(0.0, width);
        height_ = std::max(0.0, height);
        place();
    }
    // Without a tab stop the control is still reached by a click.
    void setTabStop(bool v) override {
        if (focusable_) widget_->setFocusPolicy(v ? Qt::StrongFocus : Qt::ClickFocus);
    }
    void setTabIndex(int v) override { window_.placeInTabOrder(widget_, v); }
    void SetFocus() override { widget_->setFocus(Qt::OtherFocusReason); }

    QWidget* widget() const { return widget_; }

  protected:
    void place() {
        const int x = window_.pixelsX(left_);
        const int y = window_.pixelsY(top_);
        widget_->setGeometry(x, y, window_.pixelsX(width_), window_.pixelsY(height_));
    }
    void setSizeFromPixels(const QSize& s) {
        width_ = s.width() * window_.TwipsPerPixelX();
        height_ = s.height() * window_.TwipsPerPixelY();
        place();
    }

    QtMainWindow& window_;
    QWidget* widget_;
    double left_ = 0;
    double top_ = 0;
    double width_ = 0;
    double height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    bool focusable_ = false;
};

class ListImpl : public ListControl, public ControlImpl {
  public:
    ListImpl(QtMainWindow& window, QListWidget* list) : ControlImpl(window, list), list_(list) {}

    void Clear() override {
        lines_.clear();
        list_->clear();
    }
    int16_t ListCount() const override { return static_cast<int16_t>(lines_.size()); }
    void AddItem(const std::string& text) override {
        if (lines_.size() >= 32767) throw OverflowError("list box is full");
        lines_.push_back(text);
        list_->addItem(displayText(text));
    }
    void setList(int16_t index, const std::string& text) override {
        check(index);
        lines_[static_cast<size_t>(index)] = text;
        list_->item(index)->setText(displayText(text));
    }
    std::string List(int16_t index) const override {
        check(index);
        return lines_[static_cast<size_t>(index)];
    }
    // The selected line; Qt may have a current row without selecting it (after a focus change),
    // which is no selection for the logic.
    int16_t ListIndex() const override {
        const int row = list_->currentRow();
        if (row < 0 || row >= list_->count() || !list_->item(row)->isSelected()) return -1;
        return static_cast<int16_t>(row);
    }
    void setListIndex(int16_t i) override {
        if (i == -1) {
            list_->setCurrentRow(-1);
            list_->clearSelection();
            return;
        }
        check(i);
        list_->setCurrentRow(i);
    }

  private:
    void check(int16_t index) const {
        if (index < 0 || index >= ListCount()) throw SubscriptError("no such line in the list");
    }

    QListWidget* list_;
    std::vector<std::string> lines_;
};

class ButtonImpl : public Button, public ControlImpl {
  public:
    ButtonImpl(QtMainWindow& window, QPushButton* button)
        : ControlImpl(window, button), button_(button) {}

    void setCaption(const std::string& s) override {
        caption_ = s;
        button_->setText(toQt(s));
    }
    std::string Caption() const override { return caption_; }
    void setDefault(bool v) override {
        default_ = v;
        button_->setDefault(v);
    }
    void setCancel(bool v) override { cancel_ = v; }

    bool isDefault() const { return default_; }
    bool isCancel() const { return cancel_; }
    QPushButton* button() const { return button_; }

  private:
    QPushButton* button_;
    std::string caption_;
    bool default_ = false;
    bool cancel_ = false;
};

// A click moves a cleared or greyed box to checked and a checked box to cleared.
class TwoWayCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {
        const bool wasChecked = checkState() == Qt::Checked;
        setTristate(false);
        setCheckState(wasChecked ? Qt::Unchecked : Qt::Checked);
    }
};

class CheckImpl : public CheckBox, public ControlImpl {
  public:
    CheckImpl(QtMainWindow& window, QCheckBox* box) : ControlImpl(window, box), box_(box) {}

    void setCaption(const std::string& s) override {
        caption_ = s;
        box_->setText(toQt(s));
    }
    std::string Caption() const override { return caption_; }
    int16_t Value() const override {
        switch (box_->checkState()) {
            case Qt::Checked: return 1;
            case Qt::PartiallyChecked: return 2;
            default: return 0;
        }
    }
    // Setting the value does not count as a click.
    void setValue(int16_t v) override {
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

  private:
    QCheckBox* box_;
    std::string caption_;
};

class TextImpl : public TextBox, public ControlImpl {
  public:
    TextImpl(QtMainWindow& window, QPlainTextEdit* edit) : ControlImpl(window, edit), edit_(edit) {}

    void setText(const std::string& s) override {
        text_ = s;
        edit_->setPlainText(displayText(s));
    }
    std::string Text() const override { return text_; }

  private:
    QPlainTextEdit* edit_;
    std::string text_;
};

class LabelImpl : public Label, public ControlImpl {
  public:
    // An auto-sized label takes the size of its text at each caption.
    LabelImpl(QtMainWindow& window, QLabel* label, bool autoSize)
        : ControlImpl(window, label), label_(label), autoSize_(autoSize) {}

    void setCaption(const std::string& s) override {
        caption_ = s;
        label_->setText(displayText(s));
        if (autoSize_) setSizeFromPixels(label_->sizeHint());
    }
    std::string Caption() const override { return caption_; }
    void setForeColor(SystemColor c) override {
        const QPalette system = QApplication::palette();
        QPalette p = label_->palette();
        p.setColor(QPalette::WindowText,
                   c == SystemColor::ButtonText
                       ? system.color(QPalette::ButtonText)
                       : system.color(QPalette::Disabled, QPalette::WindowText));
        label_->setPalette(p);
    }

  private:
    QLabel* label_;
    std::string caption_;
    bool autoSize_;
};

class FrameImpl : public Frame, public ControlImpl {
  public:
    FrameImpl(QtMainWindow& window, QFrame* frame) : ControlImpl(window, frame), frame_(frame) {
        setBorderStyle(1);
    }
    // Style 1 is the etched box of a group frame; 0 shows no border.
    void setBorderStyle(int style) override {
        if (style == 0) {
            frame_->setFrameStyle(QFrame::NoFrame);
        } else {
            frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame_->setLineWidth(1);
            frame_->setMidLineWidth(0);
        }
    }

  private:
    QFrame* frame_;
};

// A one-pixel line between two points, drawn in a colour of the system palette.
class LineWidget : public QWidget {
  public:
    LineWidget(QWidget* parent, QPalette::ColorRole role) : QWidget(parent), role_(role) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }
    void setEnds(QPoint a, QPoint b) {
        a_ = a;
        b_ = b;
        update();
    }
    QColor color() const { return palette().color(role_); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(color(), 0));
        p.drawLine(a_, b_);
    }

  private:
    QPalette::ColorRole role_;
    QPoint a_;
    QPoint b_;
};

class LineImpl : public Line {
  public:
    LineImpl(QtMainWindow& window, LineWidget* widget) : window_(window), widget_(widget) {}

    void setCoords(double x1, double y1, double x2, double y2) override {
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
    double X1() const override { return x1_; }
    double Y1() const override { return y1_; }
    double X2() const override { return x2_; }
    double Y2() const override { return y2_; }

    LineWidget* widget() const { return widget_; }

  private:
    QtMainWindow& window_;
    LineWidget* widget_;
    double x1_ = 0;
    double y1_ = 0;
    double x2_ = 0;
    double y2_ = 0;
};

// A checkable menu item whose mark only the logic sets.
class MenuImpl : public MenuItem {
  public:
    explicit MenuImpl(QAction* action) : action_(action) {
        action_->setCheckable(true);
        action_->setChecked(false);
    }
    void setChecked(bool v) override {
        checked_ = v;
        action_->setChecked(v);
    }
    bool Checked() const override { return checked_; }
    // Undoes the toggle Qt makes on a click.
    void restore() { action_->setChecked(checked_); }
    QAction* action() const { return action_; }

  private:
    QAction* action_;
    bool checked_ = false;
};

// Sees every key of the application before the widget it is meant for.
class KeyPreview : public QObject {
  public:
    explicit KeyPreview(QtMainWindow& window) : window_(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        return window_.previewKey(watched, static_cast<QKeyEvent*>(event));
    }

  private:
    QtMainWindow& window_;
};

}  // namespace qtwin

using namespace qtwin;

QtMainWindow::QtMainWindow(QWidget* parent) : QMainWindow(parent) {
    buildMenus();
    buildControls();
    keyPreview_ = std::make_unique<KeyPreview>(*this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { queryUnloadOnce(); });
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { requestUnload(); });
#endif
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    resize(static_cast<int>(std::lround(9525 / tx)), static_cast<int>(std::lround(6600 / ty)));
}

QtMainWindow::~QtMainWindow() {
    if (previewed_ != nullptr) previewed_->removeEventFilter(keyPreview_.get());
}

// Keys reach the platform window before any widget of it, once each: the window's own key
// handler sees them there, whichever control has the focus.
void QtMainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    QWindow* handle = windowHandle();
    if (handle == previewed_) return;
    if (previewed_ != nullptr) previewed_->removeEventFilter(keyPreview_.get());
    previewed_ = handle;
    if (handle != nullptr) handle->installEventFilter(keyPreview_.get());
}

void QtMainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    fileMenu_ = file;
    exitAction_ = file->addAction(QStringLiteral("E&xit"));
    connect(exitAction_, &QAction::triggered, this,
            [this] { dispatch("File > Exit", [this] { logic_->mnuFileExit_Click(); }); });

    QMenu* option = bar->addMenu(QStringLiteral("&Option"));
    QMenu* port = option->addMenu(QStringLiteral("&Port"));
    for (int i = 1; i <= 4; ++i) {
        auto item = std::make_unique<MenuImpl>(port->addAction(QStringLiteral("COM &%1").arg(i)));
        MenuImpl* raw = item.get();
        connect(raw->action(), &QAction::triggered, this, [this, raw, i] {
            raw->restore();
            dispatch("the port menu",
                     [this, i] { logic_->mnuOptSelCom_Click(static_cast<int16_t>(i)); });
        });
        ports_[static_cast<size_t>(i - 1)] = std::move(item);
    }
    QMenu* release = option->addMenu(QStringLiteral("&Auto port release"));
    for (int i = 0; i <= 5; ++i) {
        const QString text = i == 0 ? QStringLiteral("&OFF") : QStringLiteral("&%1 sec").arg(i);
        auto item = std::make_unique<MenuImpl>(release->addAction(text));
        MenuImpl* raw = item.get();
        connect(raw->action(), &QAction::triggered, this, [this, raw, i] {
            raw->restore();
            dispatch("the release menu",
                     [this, i] { logic_->mnuOptionSelAutoRelease_Click(static_cast<int16_t>(i)); });
        });
        releases_[static_cast<size_t>(i)] = std::move(item);
    }
}

void QtMainWindow::buildControls() {
    client_ = new QWidget(this);
    client_->setFont(courier(9));
    setCentralWidget(client_);

    lines_[0] = std::make_unique<LineImpl>(*this, new LineWidget(client_, QPalette::Dark));
    lines_[1] = std::make_unique<LineImpl>(*this, new LineWidget(client_, QPalette::Light));

    auto* comBusy = new QLabel(client_);
    comBusy->setTextFormat(Qt::PlainText);
    QFont system = QApplication::font();
    system.setPointSizeF(9.75);
    system.setBold(true);
    comBusy->setFont(system);
    comBusy_ = std::make_unique<LabelImpl>(*this, comBusy, false);
    comBusy_->Move(120, 120, 1740, 270);

    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(client_);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, i] {
            dispatch("a command button",
                     [this, i] { logic_->cmd00_Click(static_cast<int16_t>(i)); });
        });
        buttons_[static_cast<size_t>(i)] = std::make_unique<ButtonImpl>(*this, b);
        buttons_[static_cast<size_t>(i)]->Move(1882.5 + i * 1920, 135, 1800, 330);
    }
    auto* box = new TwoWayCheckBox(client_);
    box->setFocusPolicy(Qt::StrongFocus);
    connect(box, &QCheckBox::clicked, this,
            [this] { dispatch("the TCXO box", [this] { logic_->Check1_Click(); }); });
    check_ = std::make_unique<CheckImpl>(*this, box);
    check_->Move(7642.5, 135, 1800, 330);

    for (int i : {0, 1, 3}) {
        frames_[static_cast<size_t>(i)] = std::make_unique<FrameImpl>(*this, new QFrame(client_));
        frames_[static_cast<size_t>(i)]->Move(120, 465, 9165, 5000);
    }
    frames_[2] = std::make_unique<FrameImpl>(*this, new QFrame(frames_[1]->widget()));
    frames_[2]->Move(120, 180, 8925, 2800);

    auto* title = new QLabel(frames_[0]->widget());
    title->setTextFormat(Qt::PlainText);
    title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    title->setFont(courier(9.75));
    title_ = std::make_unique<LabelImpl>(*this, title, true);
    title_->Move(240, 240, 4000, 750);
    auto* progress = new QLabel(frames_[0]->widget());
    progress->setTextFormat(Qt::PlainText);
    progress->setFont(courier(9, true));
    progress_ = std::make_unique<LabelImpl>(*this, progress, true);
    progress_->Move(240, 1230, 4000, 255);

    for (int i = 0; i < 2; ++i) {
        auto* list = new QListWidget(frames_[2]->widget());
        list->setFont(courier(8.25));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        monitors_[static_cast<size_t>(i)] = std::make_unique<ListImpl>(*this, list);
        monitors_[static_cast<size_t>(i)]->Move(120 + i * 4402, 120, 4282, 2680);
    }
    auto* console = new QListWidget(frames_[1]->widget());
    console->setSelectionMode(QAbstractItemView::SingleSelection);
    console->setUniformItemSizes(true);
    console->installEventFilter(this);
    console_ = std::make_unique<ListImpl>(*this, console);
    console_->Move(240, 3100, 8685, 1720);

    auto* text = new QPlainTextEdit(frames_[3]->widget());
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFocusPolicy(Qt::StrongFocus);
    dispPara_ = std::make_unique<TextImpl>(*this, text);
    dispPara_->Move(120, 240, 8925, 4640);

    tabOrder_ = {buttons_[0]->widget(),
                 buttons_[1]->widget(),
                 buttons_[2]->widget(),
                 check_->widget(),
                 console,
                 monitors_[0]->widget(),
                 monitors_[1]->widget(),
                 text};
    placeInTabOrder(text, 9999);
}

// ---- MainWindowView ----------------------------------------------------------------------------

ListControl& QtMainWindow::lboConsole() {
    return *console_;
}

Button& QtMainWindow::cmd00(int index) {
    if (index < 0 || index > 2) throw SubscriptError("no such command button");
    return *buttons_[static_cast<size_t>(index)];
}

CheckBox& QtMainWindow::Check1() {
    return *check_;
}
TextBox& QtMainWindow::txtDispPara() {
    return *dispPara_;
}

ListControl& QtMainWindow::lbo01(int index) {
    if (index < 0 || index > 1) throw SubscriptError("no such monitor list");
    return *monitors_[static_cast<size_t>(index)];
}

Label& QtMainWindow::lblProgress() {
    return *progress_;
}
Label& QtMainWindow::lblTitle() {
    return *title_;
}
Label& QtMainWindow::lblComBusy() {
    return *comBusy_;
}

Frame& QtMainWindow::fra01(int index) {
    if (index < 0 || index > 3) throw SubscriptError("no such frame");
    return *frames_[static_cast<size_t>(index)];
}

Line& QtMainWindow::linSepa(int index) {
    if (index < 0 || index > 1) throw SubscriptError("no such line");
    return *lines_[static_cast<size_t>(index)];
}

MenuItem& QtMainWindow::mnuOptSelCom(int index) {
    if (index < 1 || index > 4) throw SubscriptError("no such port menu item");
    return *ports_[static_cast<size_t>(index - 1)];
}

MenuItem& QtMainWindow::mnuOptionSelAutoRelease(int index) {
    if (index < 0 || index > 5) throw SubscriptError("no such release menu item");
    return *releases_[static_cast<size_t>(index)];
}

void QtMainWindow::setCaption(const std::string& s) {
    caption_ = s;
    setWindowTitle(toQt(s));
}

double QtMainWindow::Width() const {
    return frameGeometry().width() * TwipsPerPixelX();
}
double QtMainWindow::Height() const {
    return frameGeometry().height() * TwipsPerPixelY();
}

// The size given is the outer one, frame included, as far as the frame is known yet.
void QtMainWindow::Move(double left, double top, double width, double height) {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const int frameW = outer.width() - inner.width();
    const int frameH = outer.height() - inner.height();
    move(pixelsX(left), pixelsY(top));
    resize(std::max(1, pixelsX(width) - frameW), std::max(1, pixelsY(height) - frameH));
}

// The inner area is the window below its menu bar.
double QtMainWindow::ScaleWidth() const {
    return width() * TwipsPerPixelX();
}

double QtMainWindow::ScaleHeight() const {
    QMenuBar* bar = menuBar();
    int barHeight = 0;
    if (!bar->isNativeMenuBar()) {
        barHeight = bar->heightForWidth(width());
        if (barHeight <= 0) barHeight = bar->sizeHint().height();
    }
    return std::max(0, height() - barHeight) * TwipsPerPixelY();
}

double QtMainWindow::ScreenWidth() const {
    const QScreen* s = screen();
    return (s != nullptr ? s->geometry().width() : 1024) * TwipsPerPixelX();
}

double QtMainWindow::ScreenHeight() const {
    const QScreen* s = screen();
    return (s != nullptr ? s->geometry().height() : 768) * TwipsPerPixelY();
}

double QtMainWindow::TwipsPerPixelX() const {
    const QScreen* s = screen();
    const double dpi = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double QtMainWindow::TwipsPerPixelY() const {
    const QScreen* s = screen();
    const double dpi = s != nullptr ? s->logicalDotsPerInchY() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

// Unloading from inside a handler (File > Exit) runs the close sequence at once, as the
// logic expects it to have happened when the handler goes on.
void QtMainWindow::Unload() {
    queryUnloadOnce();
    finishUnload();
}

// ---- widgets for tests -------------------------------------------------------------------------

QListWidget* QtMainWindow::consoleWidget() const {
    return static_cast<QListWidget*>(console_->widget());
}
QPushButton* QtMainWindow::buttonWidget(int index) const {
    return buttons_.at(static_cast<size_t>(index))->button();
}
QCheckBox* QtMainWindow::checkWidget() const {
    return static_cast<QCheckBox*>(check_->widget());
}
QPlainTextEdit* QtMainWindow::dispParaWidget() const {
    return static_cast<QPlainTextEdit*>(dispPara_->widget());
}
QListWidget* QtMainWindow::monitorWidget(int index) const {
    return static_cast<QListWidget*>(monitors_.at(static_cast<size_t>(index))->widget());
}
QLabel* QtMainWindow::progressWidget() const {
    return static_cast<QLabel*>(progress_->widget());
}
QLabel* QtMainWindow::titleWidget() const {
    return static_cast<QLabel*>(title_->widget());
}
QLabel* QtMainWindow::comBusyWidget() const {
    return static_cast<QLabel*>(comBusy_->widget());
}
QFrame* QtMainWindow::frameWidget(int index) const {
    return static_cast<QFrame*>(frames_.at(static_cast<size_t>(index))->widget());
}
QWidget* QtMainWindow::lineWidget(int index) const {
    return lines_.at(static_cast<size_t>(index))->widget();
}
QAction* QtMainWindow::portAction(int index) const {
    return ports_.at(static_cast<size_t>(index - 1))->action();
}
QAction* QtMainWindow::releaseAction(int index) const {
    return releases_.at(static_cast<size_t>(index))->action();
}

int QtMainWindow::pixelsX(double twips) const {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
int QtMainWindow::pixelsY(double twips) const {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

void QtMainWindow::placeInTabOrder(QWidget* w, int index) {
    auto it = std::find(tabOrder_.begin(), tabOrder_.end(), w);
    if (it != tabOrder_.end()) tabOrder_.erase(it);
    const size_t at = std::min(static_cast<size_t>(std::max(index, 0)), tabOrder_.size());
    tabOrder_.insert(tabOrder_.begin() + static_cast<std::ptrdiff_t>(at), w);
    for (size_t k = 1; k < tabOrder_.size(); ++k)
        QWidget::setTabOrder(tabOrder_[k - 1], tabOrder_[k]);
}

// ---- events ------------------------------------------------------------------------------------

EventOutcome QtMainWindow::dispatch(const std::string& what, const std::function<void()>& handler) {
    if (logic_ == nullptr) return EventOutcome::Skipped;
    EventOutcome outcome = EventOutcome::Completed;
    struct Depth {
        int& d;
        explicit Depth(int& depth) : d(depth) { ++d; }
        ~Depth() { --d; }
    };
    {
        Depth depth(depth_);
        if (boundary_ != nullptr) {
            outcome = boundary_->run(what, handler);
        } else {
            // Without a boundary (a bare test window) an exception must still not cross Qt.
            try {
                handler();
            } catch (...) {
                outcome = EventOutcome::Failed;
            }
        }
    }
    if (depth_ == 0) runPending();
    return outcome;
}

void QtMainWindow::runPending() {
    while (depth_ == 0 && (pendingUnload_ || pendingResize_ || pendingGotFocus_)) {
        if (pendingUnload_) {
            pendingUnload_ = false;
            pendingResize_ = false;
            pendingGotFocus_ = false;
            requestUnload();
        } else if (pendingResize_) {
            pendingResize_ = false;
            if (!unloaded_) dispatch("the window's size change", [this] { logic_->Form_Resize(); });
        } else {
            pendingGotFocus_ = false;
            if (!unloaded_) dispatch("the console list", [this] { logic_->lboConsole_GotFocus(); });
        }
    }
}

void QtMainWindow::queryUnloadOnce() {
    if (unloaded_) return;
    unloaded_ = true;
    dispatch("closing the window", [this] { logic_->Form_QueryUnload(); });
}

void QtMainWindow::finishUnload() {
    if (finished_) return;
    finished_ = true;
    hide();
    if (onUnloaded_) {
        onUnloaded_();
    } else {
        QCoreApplication::quit();
    }
}

void QtMainWindow::requestUnload() {
    if (depth_ > 0) {
        pendingUnload_ = true;
        return;
    }
    queryUnloadOnce();
    finishUnload();
}

// Closing is never refused; while a handler runs it waits for the handler's end.
void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (!finished_ && depth_ > 0) {
        pendingUnload_ = true;
        event->ignore();
        return;
    }
    event->accept();
    queryUnloadOnce();
    finishUnload();
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (unloaded_ || logic_ == nullptr) return;
    if (depth_ > 0) {
        pendingResize_ = true;
        return;
    }
    dispatch("the window's size change", [this] { logic_->Form_Resize(); });
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (logic_ == nullptr || unloaded_) return QMainWindow::eventFilter(watched, event);
    QWidget* console = console_->widget();
    if (watched == console && event->type() == QEvent::FocusIn) {
        if (depth_ > 0) {
            pendingGotFocus_ = true;
        } else {
            dispatch("the console list", [this] { logic_->lboConsole_GotFocus(); });
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == console) {
        const int code = vbKeyCode(*key);
        if (code == 0) return false;
        bool consumed = false;
        const EventOutcome outcome = dispatch("a key in the console list", [&] {
            consumed = logic_->lboConsole_KeyDown(code, shiftHeld(*key));
        });
        // A key whose handler failed was one of the console's own: the list must not act on it.
        return consumed || outcome == EventOutcome::Failed;
    }
    for (const auto& b : buttons_) {
        if (watched != b->widget()) continue;
        const QByteArray typed = key->text().toLatin1();
        for (char ch : typed) {
            if (ch == '\0') continue;
            dispatch("a key on a command button", [this, ch] { logic_->cmd00_KeyPress(ch); });
        }
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool QtMainWindow::previewKey(QObject* receiver, QKeyEvent* event) {
    if (logic_ == nullptr || unloaded_ || receiver != previewed_) return false;
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) &&
        pressDefaultOrCancel(key)) {
        return true;
    }
    const int code = vbKeyCode(*event);
    if (code != 0) {
        const bool shift = shiftHeld(*event);
        dispatch("a key in the window", [this, code, shift] { logic_->Form_KeyDown(code, shift); });
    }
    return false;
}

// Enter presses the default button (or the focused button), Escape the cancel button.
bool QtMainWindow::pressDefaultOrCancel(int key) {
    const bool enter = key != Qt::Key_Escape;
    ButtonImpl* target = nullptr;
    for (const auto& b : buttons_) {
        if ((enter ? b->isDefault() : b->isCancel()) && b->button()->isEnabled() &&
            b->button()->isVisibleTo(this)) {
            target = b.get();
        }
    }
    if (target == nullptr) return false;
    if (enter) {
        for (const auto& b : buttons_) {
            if (b->button() == QApplication::focusWidget() && b->button()->isEnabled())
                target = b.get();
        }
    }
    target->button()->click();
    return true;
}

}  // namespace kv7
