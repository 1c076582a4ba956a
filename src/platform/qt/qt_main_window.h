#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/event_boundary.h"
#include "platform/qt/close_delay.h"
#include "platform/qt/event_gate.h"
#include "view/status_line.h"
#include "view/window_controls.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace kv7 {

class frmMain;
class StatusLineLabel;

namespace qtwin {
class ControlImpl;
class ListImpl;
class ButtonImpl;
class CheckImpl;
class TextImpl;
class LabelImpl;
class FrameImpl;
class LineImpl;
class MenuImpl;
class KeyPreview;
}  // namespace qtwin

// The main window on Qt Widgets. Every control sits at an absolute position given in twips and
// shown at the screen's pixel size (1440 / logical DPI twips per pixel). The window's events go
// to the frmMain logic through the event boundary, one handler at a time. Under the controls
// sits one more line, the additions' status line; the window's sizes as the logic sees them
// leave it out, so the controls keep their places and the window grows by that line.
class QtMainWindow : public QMainWindow, public MainWindowView, public StatusLine {
  public:
    explicit QtMainWindow(QWidget* parent = nullptr);
    ~QtMainWindow() override;

    // The logic whose handlers the events call; events before this are ignored.
    void setLogic(frmMain* logic) { logic_ = logic; }
    // Runs every handler; without one, handlers run bare.
    void setEventBoundary(EventBoundary* boundary) { boundary_ = boundary; }
    // Runs once the close sequence is over; by default it ends the event loop.
    void setOnUnloaded(std::function<void()> f) { onUnloaded_ = std::move(f); }
    // Whether the close sequence (Form_QueryUnload) has run.
    bool unloaded() const { return gate_.unloadStarted(); }
    // Asked before the close sequence starts; while it says no, the close waits (see CloseDelay).
    void setReadyToClose(std::function<bool()> ready) { closeDelay_.setReady(std::move(ready)); }
    // On every heartbeat: a close that waits goes ahead once the program is ready.
    void retryClose();

    // MainWindowView
    ListControl& lboConsole() override;
    Button& cmd00(int index) override;
    CheckBox& Check1() override;
    TextBox& txtDispPara() override;
    ListControl& lbo01(int index) override;
    Label& lblProgress() override;
    Label& lblTitle() override;
    Label& lblComBusy() override;
    Frame& fra01(int index) override;
    Line& linSepa(int index) override;
    MenuItem& mnuOptSelCom(int index) override;
    MenuItem& mnuOptionSelAutoRelease(int index) override;
    void setCaption(const std::string& s) override;
    std::string Caption() const override { return caption_; }
    double Width() const override;
    double Height() const override;
    void Move(double left, double top, double width, double height) override;
    double ScaleWidth() const override;
    double ScaleHeight() const override;
    double ScreenWidth() const override;
    double ScreenHeight() const override;
    double TwipsPerPixelX() const override;
    double TwipsPerPixelY() const override;
    void Unload() override;

    // StatusLine
    void showStatus(const std::string& text) override;
    // The status line's text, for tests; each new text also goes to the observer (the scripted
    // session prints it).
    QString additionsStatus() const;
    StatusLineLabel* additionsStatusWidget() const { return statusText_; }
    void setStatusObserver(std::function<void(const std::string&)> f) {
        statusObserver_ = std::move(f);
    }

    // The widgets behind the controls, for tests and the scripted session.
    QListWidget* consoleWidget() const;
    QPushButton* buttonWidget(int index) const;
    QCheckBox* checkWidget() const;
    QPlainTextEdit* dispParaWidget() const;
    QListWidget* monitorWidget(int index) const;
    QLabel* progressWidget() const;
    QLabel* titleWidget() const;
    QLabel* comBusyWidget() const;
    QFrame* frameWidget(int index) const;
    QWidget* lineWidget(int index) const;
    QAction* exitAction() const { return exitAction_; }
    // The menus, for additions; the File menu's own items go above "Exit".
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* optionMenu() const { return optionMenu_; }
    QAction* portAction(int index) const;     // 1..4
    QAction* releaseAction(int index) const;  // 0..5
    // Option > Port > Device…
    QAction* deviceAction() const { return deviceAction_; }

    // Pixel positions of a length in twips, as the controls use them.
    int pixelsX(double twips) const;
    int pixelsY(double twips) const;
    // Puts a control at a place of the tab order (9999: at its end).
    void placeInTabOrder(QWidget* w, int index);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class qtwin::KeyPreview;

    void buildMenus();
    void buildControls();
    void buildStatusLine();
    // Runs one handler of the logic; nested events (a resize or close while a handler runs)
    // wait until the outermost one has finished.
    EventOutcome dispatch(const std::string& what, const std::function<void()>& handler);
    // An input that changes the radio or the console: refused with a beep while the program
    // locks the inputs (an alignment runs), otherwise as dispatch.
    EventOutcome dispatchInput(const std::string& what, const std::function<void()>& handler);
    // One handler through the event boundary, as the gate runs it.
    EventOutcome runHandler(const std::string& what, const std::function<void()>& handler);
    // The end after the close sequence: the window hides and the program goes on to its end.
    void finishUnload();
    // Whether a close may start now; false puts it off (the program has work on the line).
    bool mayClose();
    // Window-wide keys: F5 to the logic, Enter/Escape to the default/cancel button.
    bool previewKey(QObject* receiver, QKeyEvent* event);
    bool pressDefaultOrCancel(int key);
    // Pixels the status line takes below the controls (0 when it is hidden).
    int statusLineHeight() const;

    frmMain* logic_ = nullptr;
    EventBoundary* boundary_ = nullptr;
    std::function<void()> onUnloaded_;
    std::string caption_;
    QWidget* client_ = nullptr;
    std::unique_ptr<qtwin::ListImpl> console_;
    std::array<std::unique_ptr<qtwin::ButtonImpl>, 3> buttons_;
    std::unique_ptr<qtwin::CheckImpl> check_;
    std::unique_ptr<qtwin::TextImpl> dispPara_;
    std::array<std::unique_ptr<qtwin::ListImpl>, 2> monitors_;
    std::unique_ptr<qtwin::LabelImpl> progress_;
    std::unique_ptr<qtwin::LabelImpl> title_;
    std::unique_ptr<qtwin::LabelImpl> comBusy_;
    std::array<std::unique_ptr<qtwin::FrameImpl>, 4> frames_;
    std::array<std::unique_ptr<qtwin::LineImpl>, 2> lines_;
    std::array<std::unique_ptr<qtwin::MenuImpl>, 4> ports_;
    std::array<std::unique_ptr<qtwin::MenuImpl>, 6> releases_;
    QAction* exitAction_ = nullptr;
    QAction* deviceAction_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* optionMenu_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    StatusLineLabel* statusText_ = nullptr;
    std::function<void(const std::string&)> statusObserver_;
    std::unique_ptr<qtwin::KeyPreview> keyPreview_;
    QPointer<QWindow> previewed_;
    std::vector<QWidget*> tabOrder_;
    EventGate gate_;
    CloseDelay closeDelay_;
};

}  // namespace kv7
