#pragma once
#include <QString>
#include <memory>

class QLockFile;

namespace kv7 {

// One running copy of the program: a lock file held for the program's life. The lock of a copy
// that no longer runs (killed, crashed) is taken over.
class QtInstanceLock {
  public:
    // The user's runtime directory (or the temp directory) holds the lock by default.
    explicit QtInstanceLock(const QString& path = defaultPath());
    ~QtInstanceLock();
    QtInstanceLock(const QtInstanceLock&) = delete;
    QtInstanceLock& operator=(const QtInstanceLock&) = delete;

    static QString defaultPath();

    // True when this copy holds the lock now; false only while another running copy holds it.
    // A lock file that cannot be made at all (no writable directory) does not stop the program.
    bool tryLock();
    // The platform's answer to "does another copy run?", taking the lock when none does.
    bool anotherInstanceRunning() { return !tryLock(); }
    bool isLocked() const { return locked_; }
    void unlock();
    const QString& path() const { return path_; }

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool locked_ = false;
};

}  // namespace kv7
