#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>

#include "store/common.h"

namespace kv7 {

namespace {

QString boxText(const std::string& s) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString t = decoder(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    if (decoder.hasError()) t = QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

// Shows a modal box with the application title; `quiet` is its default and Escape button, and
// `autoAnswer`, when not NoButton, is pressed at once. Returns the button pressed.
int execBox(QMessageBox::Icon icon, const std::string& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton quiet, QMessageBox::StandardButton autoAnswer,
            QWidget* parent) {
    QMessageBox box(icon, QString::fromLatin1(kAppTitle), boxText(text), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(quiet);
    box.setEscapeButton(quiet);
    if (autoAnswer != QMessageBox::NoButton) {
        QTimer::singleShot(0, &box, [&box, autoAnswer] { box.button(autoAnswer)->click(); });
    }
    QWidget* active = QApplication::activeWindow();
    const int answer = box.exec();
    // The window that was active before the box gets the keys again.
    if (active != nullptr && active->isVisible()) active->activateWindow();
    return answer;
}

}  // namespace

void QtMessageBox::showMessage(const std::string& text) {
    shown_.push_back(text);
    if (observer_) observer_(text);
    const bool good = goodNews_ && goodNews_(text);
    execBox(good ? QMessageBox::Information : QMessageBox::Warning, text, QMessageBox::Ok,
            QMessageBox::Ok, autoAnswer_ ? QMessageBox::Ok : QMessageBox::NoButton, parent_.data());
}

bool QtConfirmBox::confirm(const std::string& text) {
    if (observer_) observer_(text);
    return execBox(QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Cancel,
                   !autoAnswer_  ? QMessageBox::NoButton
                   : autoCancel_ ? QMessageBox::Cancel
                                 : QMessageBox::Ok,
                   parent_.data()) == QMessageBox::Ok;
}

void QtBeeper::beep() {
    ++count_;
    QApplication::beep();
}

}  // namespace kv7
