#pragma once
#include <QLabel>
#include <QString>

namespace kv7 {

// The status line's text: never wider than the window gives it (a long path must not widen the
// window), shortened in the middle when it does not fit so its start and the file name at its
// end stay readable; the whole text is its tooltip.
class StatusLineLabel : public QLabel {
  public:
    explicit StatusLineLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fit();

    QString full_;
};

}  // namespace kv7
