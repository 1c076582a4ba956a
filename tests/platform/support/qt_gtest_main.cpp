#include <gtest/gtest.h>

#include <QApplication>

// One application object for the whole binary: the serial port, the timers and the widgets all
// need its event loop. Run directly, the binary chooses the offscreen platform too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
