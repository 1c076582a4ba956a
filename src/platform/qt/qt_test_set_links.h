#pragma once
#include <functional>
#include <memory>
#include <set>

#include "testset/test_set_link.h"

namespace kv7 {

namespace testsetlink {
class ReportingLink;
}  // namespace testsetlink

// The test set's links on Qt: SCPI over a raw TCP socket (QTcpSocket) or over a serial device
// (QSerialPort, 8N1 at the address's baud rate). Nothing waits: connecting, receiving and
// failing are reported from the event loop; a serial device behind a GPIB adapter gets the
// adapter's own commands from a GpibAdapterLink around it. The exchange above splits the lines
// and times the queries.
class QtTestSetLinks : public TestSetLinkFactory {
  public:
    // Runs one report of a link as an event of the program; false when it cannot run now (a
    // message box is open), and the report waits for a later try, in order with the rest.
    using Runner = std::function<bool(const std::function<void()>&)>;

    // Without a runner, reports run as they come.
    explicit QtTestSetLinks(Runner runner = {}) : runner_(std::move(runner)) {}

    std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) override;
    // The device a COMn name stands for, as the radio's port resolves it.
    void setComDevices(std::function<std::string(int16_t)> device) {
        comDevice_ = std::move(device);
    }

    // Delivers what the links hold back, ahead of the heartbeat that checks the time-outs: an
    // answer that came while a message box was open is then taken as in time.
    void deliverHeld();

  private:
    Runner runner_;
    std::function<std::string(int16_t)> comDevice_;
    // The links made and not yet gone; they may outlive the factory.
    std::shared_ptr<std::set<testsetlink::ReportingLink*>> live_ =
        std::make_shared<std::set<testsetlink::ReportingLink*>>();
};

}  // namespace kv7
