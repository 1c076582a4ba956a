#include "platform/qt/close_requests.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <iterator>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QSessionManager>
#include <mutex>
#else
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#endif

namespace kv7 {

namespace {

#ifdef Q_OS_WIN
// The console's handler runs on a thread of its own; it reaches the object under this lock.
std::mutex activeLock;
CloseRequests* active = nullptr;
// Set once the close sequence is over, so a handler that must hold the process may let go.
HANDLE closed = nullptr;
// The system ends the process when the handler of a closed console, a logoff or a shutdown
// returns, so the handler waits for the close sequence: an alignment's put-back takes up to
// 10 s. The system may end the process sooner on its own.
constexpr DWORD kCloseWaitMs = 12000;

BOOL WINAPI onConsoleEvent(DWORD type) {
    {
        std::lock_guard<std::mutex> hold(activeLock);
        if (active == nullptr) return FALSE;
        CloseRequests* target = active;
        QMetaObject::invokeMethod(
            target, [target] { target->request(); }, Qt::QueuedConnection);
    }
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) WaitForSingleObject(closed, kCloseWaitMs);
    return TRUE;
}
#else
// The signal handler may only write to the pipe; the event loop reads it.
int wakePipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kSignals)];

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &c, 1);
}
#endif

}  // namespace

CloseRequests::CloseRequests(std::function<void()> close, QObject* parent)
    : QObject(parent), close_(std::move(close)) {
    watch();
}

CloseRequests::~CloseRequests() {
    unwatch();
}

void CloseRequests::request() {
    requested_ = true;
    if (close_) close_();
}

#ifdef Q_OS_WIN

void CloseRequests::watch() {
    {
        std::lock_guard<std::mutex> hold(activeLock);
        active = this;
        if (closed == nullptr) closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ResetEvent(closed);
    }
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    // A program without a console hears of the session's end from the window system.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { request(); });
    }
}

void CloseRequests::unwatch() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    std::lock_guard<std::mutex> hold(activeLock);
    if (active == this) active = nullptr;
    SetEvent(closed);
}

#else

void CloseRequests::watch() {
    if (::pipe(wakePipe) != 0) return;
    for (int fd : wakePipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(wakePipe[0], buf, sizeof buf) > 0) {
        }
        request();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &sa, &previous[i]);
    }
}

void CloseRequests::unwatch() {
    if (notifier_ == nullptr) return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : wakePipe) {
        ::close(fd);
        fd = -1;
    }
}

#endif

}  // namespace kv7
