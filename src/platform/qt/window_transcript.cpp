#include "platform/qt/window_transcript.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <iostream>

#include "model/operation_controller.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/test_set_window.h"

namespace kv7 {

namespace {

std::string stateText(ConnectionState state) {
    switch (state) {
        case ConnectionState::Idle: return "idle";
        case ConnectionState::Connecting: return "connecting";
        case ConnectionState::Monitoring: return "connected";
        case ConnectionState::ShowingParameters: return "disp-para";
    }
    return "unknown";
}

void sayBox(const std::string& heading, const std::string& text) {
    say(heading);
    QString t = QString::fromStdString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const std::string& l : textLines(t + QLatin1Char('\n'))) say("| " + l);
}

}  // namespace

void say(const std::string& line) {
    std::cout << line << std::endl;
}

std::vector<std::string> textLines(const QString& text) {
    QStringList parts = text.split(QLatin1Char('\n'));
    if (!parts.isEmpty() && parts.back().isEmpty()) parts.removeLast();
    std::vector<std::string> out;
    for (const QString& p : parts) out.push_back(p.toStdString());
    return out;
}

std::vector<std::string> listLines(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

void saySection(const std::string& name, const std::vector<std::string>& lines, bool shown,
                const std::string& extra) {
    say(name + (shown ? "" : " (hidden)") + ", " + std::to_string(lines.size()) +
        (lines.size() == 1 ? " line" : " lines") + extra + ":");
    for (const std::string& l : lines) say("| " + l);
}

void sayMessageBox(const std::string& text) {
    sayBox("=== message box", text);
}

void sayQuestion(const std::string& text) {
    sayBox("=== question, answered OK", text);
}

void printWindow(QtMainWindow& window, const clsIndOp_RigKV7& c, const TestSetWindow* testSet) {
    say("=== window: " + window.windowTitle().toStdString() + " (" +
        stateText(c.connectionState()) + ", step " + std::to_string(static_cast<int>(c.opStep())) +
        ")");
    say("port label: " + window.comBusyWidget()->text().toStdString());
    std::string buttons = "buttons:";
    for (int i = 0; i < 3; ++i) {
        const QPushButton* b = window.buttonWidget(i);
        buttons += std::string(i == 0 ? " " : " | ") + b->text().toStdString() +
                   (b->isEnabled() ? "" : " (disabled)");
    }
    const QCheckBox* box = window.checkWidget();
    buttons += " | " + box->text().toStdString() + (box->isChecked() ? " [x]" : " [ ]") +
               (box->isEnabled() ? "" : " (disabled)");
    say(buttons);
    const bool titleShown = window.frameWidget(0)->isVisible();
    saySection("title", textLines(window.titleWidget()->text()), titleShown);
    say("progress" + std::string(titleShown ? "" : " (hidden)") + ": " +
        window.progressWidget()->text().toStdString());
    const bool consoleShown = window.frameWidget(1)->isVisible();
    saySection("monitor list 0", listLines(window.monitorWidget(0)), consoleShown);
    saySection("monitor list 1", listLines(window.monitorWidget(1)), consoleShown);
    const int16_t selected = window.lboConsole().ListIndex();
    saySection("console", listLines(window.consoleWidget()), consoleShown,
               selected >= 0 ? ", line " + std::to_string(selected) + " selected"
                             : std::string(", no line selected"));
    if (window.frameWidget(3)->isVisible()) {
        saySection("parameter display", textLines(window.dispParaWidget()->toPlainText()), true);
    } else {
        say("parameter display: hidden");
    }
    if (testSet != nullptr) saySection("test set", testSet->lines(), testSet->isVisible());
    say("=== end of window");
}

void SessionBeeper::beep() {
    say("=== beep");
    inner_.beep();
}

}  // namespace kv7
