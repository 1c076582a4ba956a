#include "serial/port_names.h"

namespace kv7 {

std::string portsKey(int16_t n) {
    return "COM" + std::to_string(n);
}

std::string resolvePortName(int16_t n, const PortNameRule& rule) {
    const std::string key = portsKey(n);
    if (rule.portsEntry) {
        const std::optional<std::string> entry = rule.portsEntry(key);
        // An empty entry names no device; the default devices apply.
        if (entry.has_value() && !entry->empty()) return *entry;
    }
    if (rule.windows) return key;
    const std::string index = std::to_string(static_cast<int32_t>(n) - 1);
    const std::string usb = "/dev/ttyUSB" + index;
    if (rule.exists && rule.exists(usb)) return usb;
    return "/dev/ttyS" + index;
}

}  // namespace kv7
