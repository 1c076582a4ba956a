// The test set's reply parser, the profile reader, the typed address and the exchange's line
// splitting on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/tick.h"
#include "testset/scpi_exchange.h"
#include "testset/test_set.h"
#include "testset/test_set_address.h"
#include "testset/test_set_profile.h"
#include "testset/test_set_reading.h"

namespace {

struct Link : kv7::TestSetLink {
    void open() override { open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(const std::string&) override {}
    void setListener(kv7::TestSetLinkListener* l) override { listener = l; }
    kv7::TestSetLinkListener* listener = nullptr;
    bool open_ = false;
};

struct Events : kv7::ScpiExchangeEvents {
    void onExchangeOpened() override {}
    void onExchangeFailed(kv7::TestSetFault, const std::string&) override {}
};

// The bytes arrive as the instrument's answers, in chunks the first byte sizes.
void exchange(const std::string& text) {
    kv7::ManualTickSource ticks;
    Link link;
    Events events;
    int answered = 0, asked = 0;
    {
        kv7::ScpiExchange x(link, ticks, events);
        x.open();
        link.listener->onLinkOpened();
        auto handler = [&](const kv7::ScpiReply& r) {
            if (r.line.size() > kv7::kMaxReplyLength || r.ok() == !r.fault.empty()) std::abort();
            ++answered;
        };
        for (int i = 0; i < 8; ++i, ++asked) x.query("MEAS:POW?", handler);
        const size_t chunk = text.empty() ? 1 : 1 + static_cast<unsigned char>(text[0]) % 64;
        for (size_t at = 0; at < text.size(); at += chunk) {
            link.listener->onLinkReceived(text.substr(at, chunk));
        }
        x.close();
    }
    if (answered != asked) std::abort();  // every query hears once, answered or not
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kv7::QuantityProfile q;
    for (kv7::Unit unit : {kv7::Unit::W, kv7::Unit::mW, kv7::Unit::dBm, kv7::Unit::kHz}) {
        q.unit = unit;
        q.field = 1 + static_cast<int>(size % 3);
        const kv7::Reading r = kv7::ParseReading(text, q);
        if (r.valid == !r.reason.empty()) std::abort();  // a reading, or a reason: never both
    }
    const kv7::ProfileParse p = kv7::ParseTestSetProfile(text, "fuzz.testset");
    if (p.profile.has_value() == !p.error.empty()) std::abort();
    (void)kv7::ProfileMatches(kv7::GenericScpiProfile(), text);
    const kv7::AddressParse a = kv7::ParseTestSetAddress(text);
    if (a.address.has_value() == !a.error.empty()) std::abort();
    (void)kv7::ScpiErrorCode(text);
    exchange(text);
    return 0;
}
