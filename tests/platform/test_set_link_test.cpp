// The test set's TCP link on Qt while the program cannot take its reports (a message box is
// open): what it holds back stays bounded, and past the bound the connection ends with a reason.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <string>

#include "platform/qt/qt_test_set_links.h"
#include "testset/test_set_address.h"

namespace kv7 {
namespace {

struct Heard : TestSetLinkListener {
    void onLinkOpened() override { opened = true; }
    void onLinkReceived(const std::string& b) override { bytes += b.size(); }
    void onLinkError(const std::string& message) override { error = message; }
    bool opened = false;
    size_t bytes = 0;
    std::string error;
};

bool spin(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(QtTestSetLink, WhatTheProgramCannotTakeYetIsHeldUpTo64KiBThenTheConnectionEnds) {
    constexpr int kSent = 200 * 1024;
    const struct {
        const char* name;
        bool busy;  // the program takes no report while the instrument sends
        size_t heard;
        std::string error;
    } rows[] = {
        {"taken as it comes", false, kSent, ""},
        {"held while busy", true, 0,
         "the test set sent more than 64 KiB while the program could not take it"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        bool busy = false;
        QtTestSetLinks links([&](const std::function<void()>& call) {
            if (busy) return false;
            call();
            return true;
        });
        TestSetAddress a;
        a.host = "127.0.0.1";
        a.port = server.serverPort();
        std::unique_ptr<TestSetLink> link = links.createLink(a);
        Heard heard;
        link->setListener(&heard);
        link->open();
        ASSERT_TRUE(spin([&] { return heard.opened && server.hasPendingConnections(); }, 5000));
        QTcpSocket* peer = server.nextPendingConnection();
        busy = row.busy;
        peer->write(QByteArray(kSent, 'x'));
        spin([&] { return heard.bytes >= static_cast<size_t>(kSent); }, 1500);
        busy = false;
        links.deliverHeld();
        spin([] { return false; }, 200);
        EXPECT_EQ(heard.bytes, row.heard);
        EXPECT_EQ(heard.error, row.error);
    }
}

}  // namespace
}  // namespace kv7
