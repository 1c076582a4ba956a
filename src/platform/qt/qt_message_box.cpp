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

}  // namespace

void QtMessageBox::showMessage(const std::string& text) {
    shown_.push_back(text);
    if (observer_) observer_(text);
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppTitle), boxText(text),
                    QMessageBox::Ok, parent_.data());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    if (autoAnswer_) {
        QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Ok)->click(); });
    }
    QWidget* active = QApplication::activeWindow();
    box.exec();
    // The window that was active before the box gets the keys again.
    if (active != nullptr && active->isVisible()) active->activateWindow();
}

void QtBeeper::beep() {
    ++count_;
    QApplication::beep();
}

}  // namespace kv7
