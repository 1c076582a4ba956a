// The test set's reply parser and the profile reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "testset/test_set_profile.h"
#include "testset/test_set_reading.h"

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
    return 0;
}
