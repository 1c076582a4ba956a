#pragma once
#include <memory>
#include <string>
#include <vector>

#include "testset/test_set_link.h"

namespace kv7 {

// A serial link to a USB-to-GPIB adapter that speaks "++" commands: once the device is open the
// adapter is set up (its prologue) before the open is reported, and before each answer is read
// the adapter is told to read the instrument up to EOI. Everything else passes through, so the
// exchange above speaks SCPI only.
class GpibAdapterLink : public TestSetLink, private TestSetLinkListener {
  public:
    GpibAdapterLink(std::unique_ptr<TestSetLink> serial, std::vector<std::string> prologue);
    ~GpibAdapterLink() override;

    void open() override { serial_->open(); }
    void close() override { serial_->close(); }
    bool isOpen() const override { return serial_->isOpen(); }
    void write(const std::string& bytes) override { serial_->write(bytes); }
    void beginRead() override;
    void setListener(TestSetLinkListener* listener) override { listener_ = listener; }

  private:
    void onLinkOpened() override;
    void onLinkReceived(const std::string& bytes) override;
    void onLinkError(const std::string& message) override;

    std::unique_ptr<TestSetLink> serial_;
    std::vector<std::string> prologue_;
    TestSetLinkListener* listener_ = nullptr;
};

}  // namespace kv7
