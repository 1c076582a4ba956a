#include "testset/gpib_adapter_link.h"

#include "testset/test_set_address.h"

namespace kv7 {

GpibAdapterLink::GpibAdapterLink(std::unique_ptr<TestSetLink> serial,
                                 std::vector<std::string> prologue)
    : serial_(std::move(serial)), prologue_(std::move(prologue)) {
    serial_->setListener(this);
}

GpibAdapterLink::~GpibAdapterLink() {
    serial_->setListener(nullptr);
}

void GpibAdapterLink::beginRead() {
    serial_->write(std::string(kGpibRead) + "\n");
}

void GpibAdapterLink::onLinkOpened() {
    // The adapter's settings go out before anything meant for the instrument.
    for (const std::string& c : prologue_) {
        serial_->write(c + "\n");
        if (!serial_->isOpen()) return;  // a failure reported from inside the write
    }
    if (listener_ != nullptr) listener_->onLinkOpened();
}

void GpibAdapterLink::onLinkReceived(const std::string& bytes) {
    if (listener_ != nullptr) listener_->onLinkReceived(bytes);
}

void GpibAdapterLink::onLinkError(const std::string& message) {
    if (listener_ != nullptr) listener_->onLinkError(message);
}

}  // namespace kv7
