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
#include <QStatusBar>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/event_boundary.h"
#include "app/main_window.h"
#include "platform/qt/key_mapping.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/status_line_label.h"
#include "store/common.h"

#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

namespace kv7 {

namespace qtwin {

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

QtMainWindow::QtMainWindow(QWidget* parent)
    : QMainWindow(parent),
      gate_({[this](const std::string& what, const std::function<void()>& handler) {
                 return runHandler(what, handler);
             },
             [this] { logic_->Form_Resize(); }, [this] { logic_->lboConsole_GotFocus(); },
             [this] { logic_->Form_QueryUnload(); }, [this] { finishUnload(); }}) {
    buildMenus();
    buildControls();
    buildStatusLine();
    keyPreview_ = std::make_unique<KeyPreview>(*this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { gate_.queryUnloadOnce(); });
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (mayClose()) gate_.post(EventGate::Deferred::Unload);
    });
#endif
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    resize(static_cast<int>(std::lround(9525 / tx)),
           static_cast<int>(std::lround(6600 / ty)) + statusLineHeight());
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
    optionMenu_ = option;
    QMenu* port = option->addMenu(QStringLiteral("&Port"));
    for (int i = 1; i <= 4; ++i) {
        auto item = std::make_unique<MenuImpl>(port->addAction(QStringLiteral("COM &%1").arg(i)));
        MenuImpl* raw = item.get();
        connect(raw->action(), &QAction::triggered, this, [this, raw, i] {
            raw->restore();
            dispatchInput("the port menu",
                          [this, i] { logic_->mnuOptSelCom_Click(static_cast<int16_t>(i)); });
        });
        ports_[static_cast<size_t>(i - 1)] = std::move(item);
    }
    // Which device the selected port is; whoever owns the port answers it.
    port->addSeparator();
    deviceAction_ = port->addAction(QStringLiteral("&Device\u2026"));
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

void QtMainWindow::buildStatusLine() {
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    statusText_ = new StatusLineLabel(statusBar_);
    statusText_->setObjectName(QStringLiteral("additionsStatus"));
    statusText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar_->addWidget(statusText_, 1);
    setStatusBar(statusBar_);
}

int QtMainWindow::statusLineHeight() const {
    if (statusBar_ == nullptr || !statusBar_->isVisibleTo(this)) return 0;
    return statusBar_->sizeHint().height();
}

void QtMainWindow::showStatus(const std::string& text) {
    statusText_->setFullText(toQt(text));
    if (statusObserver_) statusObserver_(text);
}

QString QtMainWindow::additionsStatus() const {
    return statusText_->fullText();
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
            dispatchInput("a command button",
                          [this, i] { logic_->cmd00_Click(static_cast<int16_t>(i)); });
        });
        buttons_[static_cast<size_t>(i)] = std::make_unique<ButtonImpl>(*this, b);
        buttons_[static_cast<size_t>(i)]->Move(1882.5 + i * 1920, 135, 1800, 330);
    }
    auto* box = new TwoWayCheckBox(client_);
    box->setFocusPolicy(Qt::StrongFocus);
    connect(box, &QCheckBox::clicked, this, [this] {
        // A refused click has toggled the box all the same: it shows the setting kept again.
        if (dispatchInput("the TCXO box", [this] { logic_->Check1_Click(); }) ==
            EventOutcome::Refused) {
            check_->setValue(logic_->TCXOSet() ? 1 : 0);
        }
    });
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
    return (frameGeometry().height() - statusLineHeight()) * TwipsPerPixelY();
}

// The size given is the outer one, frame included, as far as the frame is known yet.
void QtMainWindow::Move(double left, double top, double width, double height) {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const int frameW = outer.width() - inner.width();
    const int frameH = outer.height() - inner.height();
    move(pixelsX(left), pixelsY(top));
    resize(std::max(1, pixelsX(width) - frameW),
           std::max(1, pixelsY(height) - frameH) + statusLineHeight());
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
    return std::max(0, height() - barHeight - statusLineHeight()) * TwipsPerPixelY();
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
// logic expects it to have happened when the handler goes on; only while the program puts its
// work on the line in order does it wait for a later heartbeat, like any close.
void QtMainWindow::Unload() {
    if (!mayClose()) return;
    gate_.unloadNow();
}

void QtMainWindow::retryClose() {
    if (closeDelay_.beat()) gate_.post(EventGate::Deferred::Unload);
}

bool QtMainWindow::mayClose() {
    return gate_.unloadStarted() || closeDelay_.mayClose();
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
    return gate_.dispatch(what, handler);
}

EventOutcome QtMainWindow::dispatchInput(const std::string& what,
                                         const std::function<void()>& handler) {
    if (logic_ != nullptr && boundary_ != nullptr && boundary_->refuseInput()) {
        return EventOutcome::Refused;
    }
    return dispatch(what, handler);
}

EventOutcome QtMainWindow::runHandler(const std::string& what,
                                      const std::function<void()>& handler) {
    if (logic_ == nullptr) return EventOutcome::Skipped;
    if (boundary_ != nullptr) return boundary_->run(what, handler);
    // Without a boundary (a bare test window) an exception must still not cross Qt.
    try {
        handler();
    } catch (...) {
        return EventOutcome::Failed;
    }
    return EventOutcome::Completed;
}

void QtMainWindow::finishUnload() {
    hide();
    if (onUnloaded_) {
        onUnloaded_();
    } else {
        QCoreApplication::quit();
    }
}

// Closing is never refused; it waits while a handler runs (for the handler's end) and while the
// program puts its work on the line in order (for a later heartbeat).
void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (!mayClose() || gate_.post(EventGate::Deferred::Unload)) {
        event->ignore();
    } else {
        event->accept();
    }
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (logic_ != nullptr) gate_.post(EventGate::Deferred::Resize);
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (logic_ == nullptr || unloaded()) return QMainWindow::eventFilter(watched, event);
    QWidget* console = console_->widget();
    if (watched == console && event->type() == QEvent::FocusIn) {
        gate_.post(EventGate::Deferred::GotFocus);
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == console) {
        const int code = vbKeyCode(*key);
        if (code == 0) return false;
        bool consumed = false;
        const auto handler = [&] { consumed = logic_->lboConsole_KeyDown(code, shiftHeld(*key)); };
        const EventOutcome outcome = frmMain::consoleKeyActs(code)
                                         ? dispatchInput("a key in the console list", handler)
                                         : dispatch("a key in the console list", handler);
        // A key whose handler failed or was refused was one of the console's own: the list must
        // not act on it.
        return consumed || outcome == EventOutcome::Failed || outcome == EventOutcome::Refused;
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
    if (logic_ == nullptr || unloaded() || receiver != previewed_) return false;
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) &&
        pressDefaultOrCancel(key)) {
        return true;
    }
    const int code = vbKeyCode(*event);
    if (code != 0) {
        const bool shift = shiftHeld(*event);
        const auto handler = [this, code, shift] { logic_->Form_KeyDown(code, shift); };
        if (frmMain::windowKeyActs(code)) {
            dispatchInput("a key in the window", handler);
        } else {
            dispatch("a key in the window", handler);
        }
    }
    return false;
}

// Enter clicks the focused command button, or else the default button; Escape the cancel button.
bool QtMainWindow::pressDefaultOrCancel(int key) {
    const bool enter = key != Qt::Key_Escape;
    ButtonImpl* target = nullptr;
    for (const auto& b : buttons_) {
        QPushButton* w = b->button();
        if (!w->isEnabled() || !w->isVisibleTo(this)) continue;
        if (enter && w == QApplication::focusWidget()) {
            target = b.get();
            break;
        }
        if (enter ? b->isDefault() : b->isCancel()) target = b.get();
    }
    if (target == nullptr) return false;
    target->button()->click();
    return true;
}

}  // namespace kv7
