#pragma once
#include <QCheckBox>
#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "view/window_controls.h"

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace kv7 {

class QtMainWindow;

namespace qtwin {

// Texts come as UTF-8 when they are valid UTF-8, otherwise as the single-byte set.
QString toQt(const std::string& s);
// The logic separates lines with CR LF; Qt's plain text wants LF alone.
QString displayText(const std::string& s);
// The window's fixed-width font at a size in points.
QFont courier(double points, bool bold = false);

// Position, size, visibility and focus shared by every control. Lengths are kept in twips as
// the logic wrote them; the widget shows them rounded to whole pixels.
class ControlImpl : public virtual Control {
  public:
    ControlImpl(QtMainWindow& window, QWidget* widget);

    void setVisible(bool v) override;
    bool Visible() const override { return visible_; }
    void setEnabled(bool v) override;
    bool Enabled() const override { return enabled_; }
    double Left() const override { return left_; }
    double Top() const override { return top_; }
    double Width() const override { return width_; }
    double Height() const override { return height_; }
    void Move(double left, double top, double width, double height) override;
    void setTabStop(bool v) override;
    void setTabIndex(int v) override;
    void SetFocus() override;

    QWidget* widget() const { return widget_; }

  protected:
    void place();
    void setSizeFromPixels(const QSize& s);

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
    ListImpl(QtMainWindow& window, QListWidget* list);

    void Clear() override;
    int16_t ListCount() const override { return static_cast<int16_t>(lines_.size()); }
    void AddItem(const std::string& text) override;
    void setList(int16_t index, const std::string& text) override;
    std::string List(int16_t index) const override;
    int16_t ListIndex() const override;
    void setListIndex(int16_t i) override;

  private:
    void check(int16_t index) const;

    QListWidget* list_;
    std::vector<std::string> lines_;
};

class ButtonImpl : public Button, public ControlImpl {
  public:
    ButtonImpl(QtMainWindow& window, QPushButton* button);

    void setCaption(const std::string& s) override;
    std::string Caption() const override { return caption_; }
    void setDefault(bool v) override;
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
    void nextCheckState() override;
};

class CheckImpl : public CheckBox, public ControlImpl {
  public:
    CheckImpl(QtMainWindow& window, QCheckBox* box);

    void setCaption(const std::string& s) override;
    std::string Caption() const override { return caption_; }
    int16_t Value() const override;
    void setValue(int16_t v) override;

  private:
    QCheckBox* box_;
    std::string caption_;
};

class TextImpl : public TextBox, public ControlImpl {
  public:
    TextImpl(QtMainWindow& window, QPlainTextEdit* edit);

    void setText(const std::string& s) override;
    std::string Text() const override { return text_; }

  private:
    QPlainTextEdit* edit_;
    std::string text_;
};

class LabelImpl : public Label, public ControlImpl {
  public:
    // An auto-sized label takes the size of its text at each caption.
    LabelImpl(QtMainWindow& window, QLabel* label, bool autoSize);

    void setCaption(const std::string& s) override;
    std::string Caption() const override { return caption_; }
    void setForeColor(SystemColor c) override;

  private:
    QLabel* label_;
    std::string caption_;
    bool autoSize_;
};

class FrameImpl : public Frame, public ControlImpl {
  public:
    FrameImpl(QtMainWindow& window, QFrame* frame);
    void setBorderStyle(int style) override;

  private:
    QFrame* frame_;
};

// A one-pixel line between two points, drawn in a colour of the system palette.
class LineWidget : public QWidget {
  public:
    LineWidget(QWidget* parent, QPalette::ColorRole role);
    void setEnds(QPoint a, QPoint b);
    QColor color() const { return palette().color(role_); }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QPalette::ColorRole role_;
    QPoint a_;
    QPoint b_;
};

class LineImpl : public Line {
  public:
    LineImpl(QtMainWindow& window, LineWidget* widget) : window_(window), widget_(widget) {}

    void setCoords(double x1, double y1, double x2, double y2) override;
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
    explicit MenuImpl(QAction* action);
    void setChecked(bool v) override;
    bool Checked() const override { return checked_; }
    // Undoes the toggle Qt makes on a click.
    void restore();
    QAction* action() const { return action_; }

  private:
    QAction* action_;
    bool checked_ = false;
};

}  // namespace qtwin
}  // namespace kv7
