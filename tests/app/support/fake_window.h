#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "view/window_controls.h"

namespace kv7::test {

class FakeWindow;

// State shared by every fake control; the window records which control took the focus.
class FakeControlBase : public virtual Control {
  public:
    std::string name;
    bool visible = true;
    bool enabled = true;
    double left = 0, top = 0, width = 0, height = 0;
    bool tabStop = true;
    int tabIndex = 0;
    int moves = 0;
    int focusCount = 0;
    FakeWindow* owner = nullptr;

    void setVisible(bool v) override { visible = v; }
    bool Visible() const override { return visible; }
    void setEnabled(bool v) override { enabled = v; }
    bool Enabled() const override { return enabled; }
    double Left() const override { return left; }
    double Top() const override { return top; }
    double Width() const override { return width; }
    double Height() const override { return height; }
    void Move(double l, double t, double w, double h) override;
    void setTabStop(bool v) override { tabStop = v; }
    void setTabIndex(int v) override { tabIndex = v; }
    void SetFocus() override;
};

class FakeLabel : public Label, public FakeControlBase {
  public:
    std::string caption;
    SystemColor foreColor = SystemColor::ButtonText;
    int foreColorWrites = 0;

    void setCaption(const std::string& s) override { caption = s; }
    std::string Caption() const override { return caption; }
    void setForeColor(SystemColor c) override {
        foreColor = c;
        ++foreColorWrites;
    }
};

class FakeButton : public Button, public FakeControlBase {
  public:
    std::string caption;
    bool isDefault = false;
    bool isCancel = false;

    void setCaption(const std::string& s) override { caption = s; }
    std::string Caption() const override { return caption; }
    void setDefault(bool v) override { isDefault = v; }
    void setCancel(bool v) override { isCancel = v; }
};

class FakeCheckBox : public CheckBox, public FakeControlBase {
  public:
    std::string caption;
    int16_t value = 0;

    void setCaption(const std::string& s) override { caption = s; }
    std::string Caption() const override { return caption; }
    int16_t Value() const override { return value; }
    // Only 0 (clear), 1 (checked) and 2 (greyed) exist; anything else is a fault of the caller.
    void setValue(int16_t v) override;
};

class FakeTextBox : public TextBox, public FakeControlBase {
  public:
    std::string text;

    void setText(const std::string& s) override { text = s; }
    std::string Text() const override { return text; }
};

class FakeFrame : public Frame, public FakeControlBase {
  public:
    int borderStyle = 1;

    void setBorderStyle(int style) override { borderStyle = style; }
};

// A list box: reading or replacing a line that does not exist, or selecting one, throws
// SubscriptError as the platform's list does.
class FakeListControl : public ListControl, public FakeControlBase {
  public:
    std::vector<std::string> lines;
    int16_t listIndex = -1;

    void Clear() override;
    int16_t ListCount() const override { return static_cast<int16_t>(lines.size()); }
    void AddItem(const std::string& text) override { lines.push_back(text); }
    void setList(int16_t index, const std::string& text) override;
    std::string List(int16_t index) const override;
    int16_t ListIndex() const override { return listIndex; }
    void setListIndex(int16_t i) override;
};

class FakeLine : public Line {
  public:
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;

    void setCoords(double a, double b, double c, double d) override {
        x1 = a;
        y1 = b;
        x2 = c;
        y2 = d;
    }
    double X1() const override { return x1; }
    double Y1() const override { return y1; }
    double X2() const override { return x2; }
    double Y2() const override { return y2; }
};

class FakeMenuItem : public MenuItem {
  public:
    bool checked = false;

    void setChecked(bool v) override { checked = v; }
    bool Checked() const override { return checked; }
};

// The main window in memory. Every control is a public member for assertions; indexed access
// outside the window's control arrays throws SubscriptError. Sizes are twips.
class FakeWindow : public MainWindowView {
  public:
    FakeWindow();

    FakeListControl console;
    std::array<FakeButton, 3> buttons;
    FakeCheckBox check1;
    FakeTextBox dispPara;
    std::array<FakeListControl, 2> readings;
    FakeLabel progress;
    FakeLabel title;
    FakeLabel comBusy;
    std::array<FakeFrame, 4> frames;
    std::array<FakeLine, 2> separators;
    std::array<FakeMenuItem, 5> portMenu;     // entries 1..4 are the menu items
    std::array<FakeMenuItem, 6> releaseMenu;  // entries 0..5

    std::string caption;
    double left = 0, top = 0, width = 9600, height = 7200;
    double scaleWidth = 9480, scaleHeight = 6480;
    double screenWidth = 19200, screenHeight = 14400;
    double twipsPerPixelX = 15, twipsPerPixelY = 15;

    std::string focused;  // name of the control that took the focus last, empty for none
    int focusChanges = 0;
    int unloads = 0;
    // Runs on Unload, after counting it: a test routes it to the close handlers.
    std::function<void()> onUnload;

    ListControl& lboConsole() override { return console; }
    Button& cmd00(int index) override;
    CheckBox& Check1() override { return check1; }
    TextBox& txtDispPara() override { return dispPara; }
    ListControl& lbo01(int index) override;
    Label& lblProgress() override { return progress; }
    Label& lblTitle() override { return title; }
    Label& lblComBusy() override { return comBusy; }
    Frame& fra01(int index) override;
    Line& linSepa(int index) override;
    MenuItem& mnuOptSelCom(int index) override;
    MenuItem& mnuOptionSelAutoRelease(int index) override;

    void setCaption(const std::string& s) override { caption = s; }
    std::string Caption() const override { return caption; }
    double Width() const override { return width; }
    double Height() const override { return height; }
    void Move(double l, double t, double w, double h) override;
    double ScaleWidth() const override { return scaleWidth; }
    double ScaleHeight() const override { return scaleHeight; }
    double ScreenWidth() const override { return screenWidth; }
    double ScreenHeight() const override { return screenHeight; }
    double TwipsPerPixelX() const override { return twipsPerPixelX; }
    double TwipsPerPixelY() const override { return twipsPerPixelY; }
    void Unload() override;

    // Which port menu items (1..4) and release items (0..5) carry a check mark.
    std::vector<int> checkedPorts() const;
    std::vector<int> checkedReleases() const;

  private:
    void adopt(FakeControlBase& c, std::string name);
};

}  // namespace kv7::test
