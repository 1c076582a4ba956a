#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include "platform/qt/qt_instance_lock.h"

namespace kv7 {
namespace {

class InstanceLockTest : public ::testing::Test {
  protected:
    QString lockPath() const { return dir.filePath(QStringLiteral("swkv7adj.lock")); }
    QTemporaryDir dir;
};

TEST_F(InstanceLockTest, ASecondCopyIsRefusedUntilTheFirstEnds) {
    ASSERT_TRUE(dir.isValid());
    QtInstanceLock first(lockPath());
    EXPECT_FALSE(first.anotherInstanceRunning());
    EXPECT_TRUE(first.isLocked());
    EXPECT_TRUE(first.tryLock());  // asking again keeps it

    QtInstanceLock second(lockPath());
    EXPECT_TRUE(second.anotherInstanceRunning());
    EXPECT_FALSE(second.isLocked());

    first.unlock();
    EXPECT_FALSE(QFile::exists(lockPath()));
    EXPECT_FALSE(second.anotherInstanceRunning());
}

TEST_F(InstanceLockTest, TheLockOfAKilledCopyIsTakenOver) {
    ASSERT_TRUE(dir.isValid());
    // A process that has ended left its lock behind.
    QProcess gone;
    gone.start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    QFile stale(lockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nswkv7adj\n" +
                QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();

    QtInstanceLock next(lockPath());
    EXPECT_FALSE(next.anotherInstanceRunning());
    EXPECT_TRUE(next.isLocked());
}

TEST_F(InstanceLockTest, ALockThatCannotBeMadeDoesNotStopTheProgram) {
    QtInstanceLock nowhere(dir.filePath(QStringLiteral("no/such/dir/swkv7adj.lock")));
    EXPECT_FALSE(nowhere.anotherInstanceRunning());
    EXPECT_FALSE(nowhere.isLocked());
}

}  // namespace
}  // namespace kv7
