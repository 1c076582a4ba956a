#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kv7 {

// Being told from outside to end - Ctrl+C, kill, a closed terminal; on Windows also a closed
// console, the user logging off and the system shutting down - ends every entry point the way
// its window's close box does: the entry point hands over how it closes (its window's close,
// which cancels an alignment and waits for the item to be back on the line), and this calls it
// on the event loop, once for each request. One object owns the requests of the whole process;
// the system's own handling comes back when it goes.
class CloseRequests : public QObject {
  public:
    explicit CloseRequests(std::function<void()> close, QObject* parent = nullptr);
    ~CloseRequests() override;
    CloseRequests(const CloseRequests&) = delete;
    CloseRequests& operator=(const CloseRequests&) = delete;

    // A request as the system's would come, on the event loop's thread.
    void request();
    // Whether the program was told to end (its exit status may say so).
    bool requested() const { return requested_; }

  private:
    void watch();
    void unwatch();

    std::function<void()> close_;
    bool requested_ = false;
    QSocketNotifier* notifier_ = nullptr;  // POSIX: the signal handler's wake-up
};

}  // namespace kv7
