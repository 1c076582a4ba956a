#include "platform/support/pty_pair.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstdlib>

namespace kv7::test {

TerminalHold::TerminalHold(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}

TerminalHold::~TerminalHold() {
    if (fd_ >= 0) ::close(fd_);
}

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        closeMaster();
        return;
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        closeMaster();
        return;
    }
    slavePath_ = name;
    hold_.emplace(slavePath_);
}

PtyPair::~PtyPair() {
    closeMaster();
}

size_t PtyPair::write(const ByteString& bytes) {
    if (master_ < 0 || bytes.empty()) return 0;
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    return n > 0 ? static_cast<size_t>(n) : 0;
}

ByteString PtyPair::read() {
    ByteString all;
    if (master_ < 0) return all;
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        all.insert(all.end(), buf, buf + n);
    }
    return all;
}

void PtyPair::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

QString writePortsFile(const QString& dir, const std::string& body) {
    const QString path = dir + QStringLiteral("/SWKV7ADJ.rs");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write("[OPTION]\r\nComPort=1\r\n[PORTS]\r\n");
        f.write(body.data(), static_cast<qint64>(body.size()));
    }
    return path;
}

}  // namespace kv7::test
