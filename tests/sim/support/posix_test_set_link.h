#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testset/test_set_link.h"

namespace kv7::simtest {

// A TCP link to a test set with plain POSIX sockets, driven by pump() from a test's loop in
// real time (the program's own link is a platform adapter).
class PosixTestSetLinks;

class PosixTestSetLink : public TestSetLink {
  public:
    PosixTestSetLink(PosixTestSetLinks& owner, std::string host, uint16_t port);
    ~PosixTestSetLink() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0 && connected_; }
    void write(const std::string& bytes) override;
    void setListener(TestSetLinkListener* listener) override { listener_ = listener; }

    // Waits up to ms for the socket, then reports what happened.
    void pump(int ms);

  private:
    void report(const std::string& error);

    PosixTestSetLinks& owner_;
    std::string host_;
    uint16_t port_;
    int fd_ = -1;
    bool connected_ = false;
    TestSetLinkListener* listener_ = nullptr;
};

// Makes POSIX TCP links (none for a serial address) and pumps the one in use.
class PosixTestSetLinks : public TestSetLinkFactory {
  public:
    std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) override;
    void pump(int ms);

  private:
    friend class PosixTestSetLink;
    PosixTestSetLink* current_ = nullptr;  // the test set owns it; it says when it goes
};

}  // namespace kv7::simtest
