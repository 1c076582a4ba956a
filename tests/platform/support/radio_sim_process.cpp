#include "platform/support/radio_sim_process.h"

#include "platform/support/pty_pair.h"

namespace kv7::test {

bool RadioSimProcess::start(const char* program, const QStringList& args) {
    proc_.setProgram(QString::fromUtf8(program));
    proc_.setArguments(args);
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start();
    if (!proc_.waitForStarted(5000)) return false;
    slavePath_ = readLine();
    return !slavePath_.empty();
}

std::string RadioSimProcess::readLine(int timeoutMs) {
    if (!pumpUntil([this] { return proc_.canReadLine(); }, timeoutMs)) return {};
    return QString::fromUtf8(proc_.readLine()).trimmed().toStdString();
}

void RadioSimProcess::stop() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.terminate();
    if (!proc_.waitForFinished(3000)) kill();
}

void RadioSimProcess::kill() {
    proc_.kill();
    proc_.waitForFinished(3000);
}

}  // namespace kv7::test
