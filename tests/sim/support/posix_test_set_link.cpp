#include "sim/support/posix_test_set_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "testset/test_set_address.h"

namespace kv7::simtest {

PosixTestSetLink::PosixTestSetLink(PosixTestSetLinks& owner, std::string host, uint16_t port)
    : owner_(owner), host_(std::move(host)), port_(port) {
    owner_.current_ = this;
}

PosixTestSetLink::~PosixTestSetLink() {
    close();
    if (owner_.current_ == this) owner_.current_ = nullptr;
}

void PosixTestSetLink::open() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port_);
    if (fd_ < 0 || ::inet_pton(AF_INET, host_.c_str(), &a.sin_addr) != 1) return report("bad host");
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS)
        return report(std::strerror(errno));
}

void PosixTestSetLink::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connected_ = false;
}

void PosixTestSetLink::write(const std::string& bytes) {
    size_t done = 0;
    while (isOpen() && done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return report(std::strerror(errno));
        }
    }
}

void PosixTestSetLink::pump(int ms) {
    if (fd_ < 0) return;
    pollfd p{fd_, static_cast<short>(connected_ ? POLLIN : POLLOUT), 0};
    if (::poll(&p, 1, ms) <= 0) return;
    if (!connected_) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) return report(std::strerror(err));
        connected_ = true;
        if (listener_ != nullptr) listener_->onLinkOpened();
        return;
    }
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) return report(n == 0 ? "the test set closed the connection" : std::strerror(errno));
    if (listener_ != nullptr) listener_->onLinkReceived(std::string(buf, static_cast<size_t>(n)));
}

void PosixTestSetLink::report(const std::string& error) {
    close();
    if (listener_ != nullptr) listener_->onLinkError(error);
}

std::unique_ptr<TestSetLink> PosixTestSetLinks::createLink(const TestSetAddress& address) {
    if (address.kind != TestSetAddress::Kind::Tcp) return nullptr;
    return std::make_unique<PosixTestSetLink>(*this, address.host, address.port);
}

void PosixTestSetLinks::pump(int ms) {
    if (current_ != nullptr) current_->pump(ms);
}

}  // namespace kv7::simtest
