#pragma once
#include <functional>
#include <memory>

#include "testset/test_set_link.h"

namespace kv7 {

// The test set's links on Qt: SCPI over a raw TCP socket (QTcpSocket) or over a serial device
// (QSerialPort, 8N1 at the address's baud rate). Nothing waits: connecting, receiving and
// failing are reported from the event loop. The exchange above splits the lines, speaks to a
// GPIB adapter and times the queries.
class QtTestSetLinks : public TestSetLinkFactory {
  public:
    // Runs one report of a link as an event of the program; false when it cannot run now (a
    // message box is open), and the report waits for a later try, in order with the rest.
    using Runner = std::function<bool(const std::function<void()>&)>;

    // Without a runner, reports run as they come.
    explicit QtTestSetLinks(Runner runner = {}) : runner_(std::move(runner)) {}

    std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) override;

  private:
    Runner runner_;
};

}  // namespace kv7
