// The settings file reader and writer on arbitrary file contents: a lookup never fails, and
// setting a key keeps every other line of the file as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "store/private_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    (void)kv7::PrivateProfile::findValue(content, "OPTION", "ComPort");
    (void)kv7::PrivateProfile::findValue(content, "PORTS", "COM1");
    const auto edited = kv7::PrivateProfile::withValue(content, "OPTION", "ComPort", "3");
    if (!edited) return 0;
    const auto back = kv7::PrivateProfile::findValue(*edited, "OPTION", "ComPort");
    if (!back || *back != "3") __builtin_trap();
    return 0;
}
