#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv7 {

inline constexpr uint16_t kDefaultScpiPort = 5025;
inline constexpr int32_t kDefaultTestSetBaud = 9600;

// Where the test set is, as the technician types it:
//   HOST[:PORT]            SCPI over TCP (port 5025 when none is given); [v6-address]:PORT too
//   DEVICE[@BAUD][#ADDR]   a serial device ("/dev/ttyUSB0", "COM3"), 9600 baud 8N1 by default;
//                          #ADDR (0..30) drives a USB-to-GPIB adapter that speaks "++" commands
struct TestSetAddress {
    enum class Kind { Tcp, Serial };
    Kind kind = Kind::Tcp;
    std::string host;  // Tcp: name or address, without brackets
    uint16_t port = kDefaultScpiPort;
    std::string device;  // Serial
    int32_t baud = kDefaultTestSetBaud;
    std::optional<int> gpibAddress;  // Serial through a GPIB adapter

    bool gpib() const { return gpibAddress.has_value(); }
    // The address written back in the form it is typed, with every default spelled out.
    std::string text() const;
};

struct AddressParse {
    std::optional<TestSetAddress> address;
    std::string error;  // a sentence naming what is wrong, when refused
};

AddressParse ParseTestSetAddress(const std::string& text);

// The number of a device named COM1..COM256 (any case), which stands for the device the
// program's port rule assigns to it; none for any other name.
std::optional<int16_t> TestSetComPort(const std::string& device);

// The adapter's settings, sent once after the device opens: controller mode, the instrument's
// bus address, no automatic read after each write (the exchange asks with "++read eoi" after a
// query), EOI with the last byte, LF to end what goes to the instrument, and no character
// added to what comes back (a second line end would be read as the answer to the next query).
// Empty for a plain serial instrument and for TCP.
std::vector<std::string> GpibPrologue(const TestSetAddress& address);

// What follows each query for a GPIB adapter: read the instrument's answer up to EOI.
inline constexpr const char* kGpibRead = "++read eoi";

}  // namespace kv7
