#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv7 {

// The section and key of the settings file that assign COM n a device.
inline constexpr const char* kPortsSection = "PORTS";
std::string portsKey(int16_t n);

// Which device COM n is: the key "COMn" of section [PORTS] of the settings file when it names a
// device; otherwise on Windows the device "COMn", elsewhere /dev/ttyUSB{n-1} when that exists,
// else /dev/ttyS{n-1}.
struct PortNameRule {
    bool windows = false;
    // The value of key in [PORTS]; nullopt when the file holds none.
    std::function<std::optional<std::string>(const std::string& key)> portsEntry;
    std::function<bool(const std::string& path)> exists;
};

std::string resolvePortName(int16_t n, const PortNameRule& rule);

// Whether the program runs on Windows, for the rule above.
constexpr bool kWindowsHost =
#ifdef _WIN32
    true;
#else
    false;
#endif

}  // namespace kv7
