#include "platform/qt/window_transcript.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <iostream>

#include "app/test_set_station.h"
#include "model/operation_controller.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/test_set_dialog.h"
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

// The menu's entries as the technician sees them on opening it, a grey one with its reason.
std::vector<std::string> menuLines(QMenu* menu) {
    Q_EMIT menu->aboutToShow();
    std::vector<std::string> out;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        std::string line = a->text().remove(QLatin1Char('&')).toStdString();
        if (!a->isEnabled()) {
            line += " (disabled";
            if (!a->toolTip().isEmpty() && a->toolTip() != a->text().remove(QLatin1Char('&')))
                line += ": " + a->toolTip().toStdString();
            line += ")";
        }
        out.push_back(line);
    }
    return out;
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

void printWindow(QtMainWindow& window, const clsIndOp_RigKV7& c, const TestSetWindow* testSet,
                 const std::vector<std::string>& more) {
    say("=== window: " + window.windowTitle().toStdString() + " (" +
        stateText(c.connectionState()) + ", step " + std::to_string(static_cast<int>(c.opStep())) +
        ")");
    say("port label: " + window.comBusyWidget()->text().toStdString());
    // Set when something needs saying about the port (its device gone).
    const QString tip = window.comBusyWidget()->toolTip();
    if (!tip.isEmpty()) saySection("port label tooltip", textLines(tip), true);
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
    saySection("file menu", menuLines(window.fileMenu()), true);
    if (testSet != nullptr) saySection("test set", testSet->lines(), testSet->isVisible());
    for (const std::string& l : more) say(l);
    say("=== end of window");
}

std::string testSetDialogLine(TestSetDialog& dialog, const TestSetStation& station) {
    dialog.refresh();
    std::string line = "test-set dialog:";
    const char* sep = " ";
    for (const QPushButton* b : {dialog.connectButton(), dialog.disconnectButton()}) {
        line += sep + b->text().remove(QLatin1Char('&')).toStdString() +
                (b->isEnabled() ? "" : " (disabled)");
        sep = " | ";
    }
    line +=
        " | kept address: " + (station.storedAddress().empty() ? "none" : station.storedAddress());
    if (!station.storedProfile().empty()) line += " (" + station.storedProfile() + ")";
    return line;
}

void SessionBeeper::beep() {
    say("=== beep");
    inner_.beep();
}

}  // namespace kv7
