#include "sim/test_set_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv7::sim {

namespace {

constexpr size_t kMaxUnsent = 1 << 20;  // a client that reads nothing is dropped beyond this
constexpr int kMaxClients = 16;

}  // namespace

TestSetServer::TestSetServer(SimTestSet::Source source, SimTestSetFault fault, SimBenchFaults bench,
                             SimTestSet::MeasureListener listener)
    : source_(std::move(source)),
      fault_(fault),
      bench_(std::move(bench)),
      listener_(std::move(listener)) {}

TestSetServer::~TestSetServer() {
    for (const Client& c : clients_) ::close(c.fd);
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool TestSetServer::listen(uint16_t port, std::string& error) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("no socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(a.sin_port);
    return true;
}

void TestSetServer::addPollFds(std::vector<pollfd>& fds) const {
    if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
    for (const Client& c : clients_) {
        fds.push_back({c.fd, static_cast<short>(POLLIN | (c.unsent.empty() ? 0 : POLLOUT)), 0});
    }
}

void TestSetServer::handle(const std::vector<pollfd>& fds) {
    // Late answers come due whether or not the client's socket woke the loop.
    for (size_t i = 0; i < clients_.size();) {
        Client& c = clients_[i];
        const bool had = c.unsent.empty();
        release(c);
        if (had && !c.unsent.empty() && !serve(c, 0)) {
            ::close(c.fd);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
    for (const pollfd& p : fds) {
        if (p.revents == 0) continue;
        if (p.fd == listenFd_) {
            accept();
            continue;
        }
        auto c = std::find_if(clients_.begin(), clients_.end(),
                              [&](const Client& x) { return x.fd == p.fd; });
        if (c == clients_.end() || serve(*c, p.revents)) continue;
        ::close(c->fd);
        clients_.erase(c);
    }
}

void TestSetServer::accept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (static_cast<int>(clients_.size()) >= kMaxClients) {
        ::close(fd);
        return;
    }
    auto instrument = std::make_unique<SimTestSet>(source_, fault_, seed_++);
    instrument->setBenchFaults(bench_);
    instrument->setMeasureListener(listener_);
    clients_.push_back({fd, std::move(instrument), {}, {}});
}

bool TestSetServer::holding() const {
    return std::any_of(clients_.begin(), clients_.end(),
                       [](const Client& c) { return !c.held.empty(); });
}

void TestSetServer::release(Client& c) {
    const Clock::time_point now = Clock::now();
    while (!c.held.empty() && c.held.front().first <= now) {
        c.unsent += c.held.front().second;
        c.held.pop_front();
    }
}

bool TestSetServer::serve(Client& c, short revents) {
    if (revents & POLLIN) {
        char buf[4096];
        const ssize_t n = ::read(c.fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
        if (n > 0) {
            const Clock::time_point now = Clock::now();
            for (SimTestSet::Piece& p :
                 c.instrument->receiveTimed(std::string(buf, static_cast<size_t>(n)))) {
                // A piece held back holds back what follows it.
                Clock::time_point due = now + std::chrono::milliseconds(p.delayMs);
                if (!c.held.empty()) due = std::max(due, c.held.back().first);
                c.held.emplace_back(due, std::move(p.text));
            }
            release(c);
        }
    } else if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
        return false;
    }
    if (!c.unsent.empty()) {
        const ssize_t put = ::send(c.fd, c.unsent.data(), c.unsent.size(), MSG_NOSIGNAL);
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (put > 0) c.unsent.erase(0, static_cast<size_t>(put));
    }
    return c.unsent.size() <= kMaxUnsent;
}

}  // namespace kv7::sim
