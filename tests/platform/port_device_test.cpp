// Option > Port > Device… in the real window, with two pseudo-terminal radios standing for two
// cables: a device that is gone is refused without touching the settings file, choosing the
// other radio writes its [PORTS] key, resets the running connection, and the next "Connect"
// reaches the chosen radio.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/program.h"
#include "platform/qt/port_device_chooser.h"
#include "platform/qt/port_device_dialog.h"
#include "platform/qt/qt_heartbeat.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/support/pty_pair.h"
#include "platform/support/radio_sim_process.h"
#include "platform/support/window_support.h"
#include "protocol/tick.h"

namespace kv7 {
namespace {

using test::kSimProgram;
using test::pumpUntil;

constexpr const char* kGhost = "/dev/ttyUSB97";

std::string fileText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

// The dialog's row of a device.
QTreeWidgetItem* rowOf(PortDeviceDialog& d, const std::string& device) {
    for (int i = 0; i < d.table()->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = d.table()->topLevelItem(i);
        if (item->text(PortDeviceDialog::kMarkColumn + 1).toStdString() == device) return item;
    }
    return nullptr;
}

TEST(PortDevice, ChosenDeviceIsWrittenResetsTheConnectionAndIsOpenedNext) {
    if (kSimProgram == nullptr) GTEST_SKIP() << "kv7-radio-sim is not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::RadioSimProcess first;
    test::RadioSimProcess second;
    ASSERT_TRUE(first.start(kSimProgram, {QStringLiteral("--no-pacing")}));
    ASSERT_TRUE(second.start(kSimProgram, {QStringLiteral("--no-pacing")}));
    const std::string before =
        "[OPTION]\r\nComPort=1\r\n; bench cable\r\n[PORTS]\r\nCOM1=" + first.slavePath() +
        "\r\nCOM3=/dev/ttyUSB7\r\n";
    const QString settings = dir.filePath(QStringLiteral("SWKV7ADJ.rs"));
    {
        QFile f(settings);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before.data(), static_cast<qint64>(before.size()));
    }

    QtSerialPort port;
    SteadyTickSource ticks;
    QtHeartbeat heartbeat;
    QtMainWindow window;
    QtMessageBox messages(&window);
    messages.setAutoAnswer(true);
    QtBeeper beeper;
    Program program(port, ticks, messages, beeper, window, dir.path().toStdString(),
                    test::constIniPath(), &heartbeat);
    port.setSettingsFile(program.link().profMain().FullPath());
    heartbeat.setOnTick([&program] { program.heartbeat(); });
    window.setLogic(&program.window());
    window.setEventBoundary(&program.boundary());
    window.setOnUnloaded([] {});
    PortDeviceChooser chooser(window, program, port);
    const std::string chosen = second.slavePath();
    chooser.setEnumerator([&chosen] {
        return std::vector<SerialDeviceRow>{
            {kGhost, "USB Serial", "Maker", "", 0x067b, 0x2303},
            {chosen, "Simulated cable", "", "", std::nullopt, std::nullopt}};
    });
    ASSERT_EQ(program.Main([] { return false; }), StartResult::Running);
    window.show();

    const auto connected = [&] { return program.controller().RigKV7Prop_EditEnabled(); };
    QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil(connected, 30000));

    bool operated = false;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<PortDeviceDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        const auto cleanup = qScopeGuard([d] { d->reject(); });
        EXPECT_NE(d->currentLabel()->text().toStdString().find("COM 1 uses " + first.slavePath() +
                                                               ", assigned in the settings file"),
                  std::string::npos);
        ASSERT_EQ(d->table()->topLevelItemCount(), 2);

        // The adapter was pulled after the list was read.
        d->table()->setCurrentItem(rowOf(*d, kGhost));
        d->assignButton()->click();
        EXPECT_NE(d->statusLabel()->text().toStdString().find(std::string("The device ") + kGhost +
                                                              " is no longer there"),
                  std::string::npos);
        EXPECT_EQ(fileText(settings), before);
        EXPECT_TRUE(connected());

        d->table()->setCurrentItem(rowOf(*d, chosen));
        d->assignButton()->click();
        EXPECT_EQ(d->statusLabel()->text().toStdString(), "COM 1 now uses " + chosen + ".");
        EXPECT_EQ(rowOf(*d, chosen)->text(PortDeviceDialog::kMarkColumn), QStringLiteral("COM 1"));
        operated = true;
    });
    window.deviceAction()->trigger();
    ASSERT_TRUE(operated);

    // Only the one value changed; the running connection was reset as for another port.
    std::string after = before;
    after.replace(after.find(first.slavePath()), first.slavePath().size(), chosen);
    EXPECT_EQ(fileText(settings), after);
    EXPECT_EQ(program.controller().opStep(), OperationStep::Idle);
    EXPECT_FALSE(program.link().comOpen());
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
    QApplication::sendEvent(window.comBusyWidget(), &tip);
    EXPECT_EQ(window.comBusyWidget()->toolTip().toStdString(),
              "COM 1 uses " + chosen + ", assigned in the settings file.");

    // With the first radio gone, only the chosen one can answer the next connection.
    first.kill();
    QTest::mouseClick(window.buttonWidget(0), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil(connected, 30000));
    EXPECT_TRUE(messages.shown().empty());
    heartbeat.setEnabled(false);
    window.setLogic(nullptr);
}

}  // namespace
}  // namespace kv7
