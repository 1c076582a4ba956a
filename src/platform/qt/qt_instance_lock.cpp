#include "platform/qt/qt_instance_lock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace kv7 {

QtInstanceLock::QtInstanceLock(const QString& path)
    : path_(path), lock_(std::make_unique<QLockFile>(path)) {
    // Only a dead owner makes a lock stale: a copy that runs for days keeps its lock.
    lock_->setStaleLockTime(0);
}

QtInstanceLock::~QtInstanceLock() {
    unlock();
}

QString QtInstanceLock::defaultPath() {
    // The user's own runtime directory when the session has one, so another user's copy (or
    // its stale lock) never stands in the way; the temp directory otherwise.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!dir.isEmpty() && QDir(dir).exists()) {
            return QDir(dir).filePath(QStringLiteral("swkv7adj.lock"));
        }
    }
    QString user = qEnvironmentVariable("USER");
    user.remove(QLatin1Char('/'));
    return QDir(QDir::tempPath())
        .filePath(user.isEmpty() ? QStringLiteral("swkv7adj.lock")
                                 : QStringLiteral("swkv7adj-%1.lock").arg(user));
}

bool QtInstanceLock::tryLock() {
    if (locked_) return true;
    if (lock_->tryLock(0)) {
        locked_ = true;
        return true;
    }
    return lock_->error() != QLockFile::LockFailedError;
}

void QtInstanceLock::unlock() {
    if (!locked_) return;
    lock_->unlock();
    locked_ = false;
}

}  // namespace kv7
