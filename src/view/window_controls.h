#pragma once
#include <cstdint>
#include <string>

#include "console/list_box.h"

namespace kv7 {

// The controls of the main window as the program logic sees them. Lengths are twips
// (1/1440 inch); the Qt adapter converts them to the screen's pixels.
class Control {
public:
    virtual ~Control() = default;
    virtual void setVisible(bool v) = 0;
    virtual bool Visible() const = 0;
    virtual void setEnabled(bool v) = 0;
    virtual bool Enabled() const = 0;
    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void Move(double left, double top, double width, double height) = 0;
    virtual void setTabStop(bool v) = 0;
    // 9999 moves the control to the end of the tab order.
    virtual void setTabIndex(int v) = 0;
    virtual void SetFocus() = 0;
};

enum class SystemColor { ButtonText, GrayText };

class Label : public virtual Control {
public:
    virtual void setCaption(const std::string& s) = 0;
    virtual std::string Caption() const = 0;
    virtual void setForeColor(SystemColor c) = 0;
};

class Button : public virtual Control {
public:
    virtual void setCaption(const std::string& s) = 0;
    virtual std::string Caption() const = 0;
    virtual void setDefault(bool v) = 0;  // Enter presses it
    virtual void setCancel(bool v) = 0;   // Escape presses it
};

class CheckBox : public virtual Control {
public:
    virtual void setCaption(const std::string& s) = 0;
    virtual std::string Caption() const = 0;
    virtual int16_t Value() const = 0;  // 0 clear, 1 checked, 2 greyed
    virtual void setValue(int16_t v) = 0;
};

class TextBox : public virtual Control {
public:
    virtual void setText(const std::string& s) = 0;
    virtual std::string Text() const = 0;
};

class Frame : public virtual Control {
public:
    virtual void setBorderStyle(int style) = 0;  // 0 none, 1 single
};

class ListControl : public virtual Control, public ListBox {
public:
    virtual int16_t ListIndex() const = 0;  // -1 when no line is selected
    virtual void setListIndex(int16_t i) = 0;
};

class Line {
public:
    virtual ~Line() = default;
    virtual void setCoords(double x1, double y1, double x2, double y2) = 0;
    virtual double X1() const = 0;
    virtual double Y1() const = 0;
    virtual double X2() const = 0;
    virtual double Y2() const = 0;
};

class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual void setChecked(bool v) = 0;
    virtual bool Checked() const = 0;
};

// Everything of the main window that the logic, the controller and the layout touch.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual ListControl& lboConsole() = 0;
    virtual Button& cmd00(int index) = 0;  // 0..2
    virtual CheckBox& Check1() = 0;
    virtual TextBox& txtDispPara() = 0;
    virtual ListControl& lbo01(int index) = 0;  // 0..1
    virtual Label& lblProgress() = 0;
    virtual Label& lblTitle() = 0;
    virtual Label& lblComBusy() = 0;
    virtual Frame& fra01(int index) = 0;  // 0..3
    virtual Line& linSepa(int index) = 0;  // 0..1
    virtual MenuItem& mnuOptSelCom(int index) = 0;             // 1..4
    virtual MenuItem& mnuOptionSelAutoRelease(int index) = 0;  // 0..5

    virtual void setCaption(const std::string& s) = 0;
    virtual std::string Caption() const = 0;
    // Outer size and position, and the inner (client) size, in twips.
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void Move(double left, double top, double width, double height) = 0;
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    virtual double ScreenWidth() const = 0;
    virtual double ScreenHeight() const = 0;
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;
    // Unloads the window: the close sequence runs, then the program ends.
    virtual void Unload() = 0;
};

}  // namespace kv7
