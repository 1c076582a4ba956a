#include "testset/test_set_address.h"

#include <algorithm>
#include <cctype>

#include "store/ini_text.h"

namespace kv7 {

namespace {

constexpr const char* kForms =
    " Type HOST[:PORT] for a test set on the network, or a serial device such as /dev/ttyUSB0, "
    "/dev/ttyS0@19200 or COM3#12 (@BAUD, #GPIB address 0..30).";

bool isHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

AddressParse refuse(const std::string& why) {
    return {std::nullopt, why + kForms};
}

// Takes "@BAUD" and "#ADDR" off the end of a device name, in either order.
AddressParse parseSerial(std::string rest) {
    TestSetAddress a;
    a.kind = TestSetAddress::Kind::Serial;
    for (int i = 0; i < 2; ++i) {
        const size_t at = rest.find_last_of("@#");
        if (at == std::string::npos || at == 0) break;
        const std::string value = rest.substr(at + 1);
        int n = 0;
        if (rest[at] == '@') {
            if (!IniInt(value, 50, 4000000, n))
                return refuse("The baud rate '" + value + "' is not a number from 50 to 4000000.");
            a.baud = static_cast<int32_t>(n);
        } else {
            if (!IniInt(value, 0, 30, n))
                return refuse("The GPIB address '" + value + "' is not a number from 0 to 30.");
            a.gpibAddress = static_cast<int>(n);
        }
        rest.erase(at);
    }
    if (rest.find_first_of("@#") != std::string::npos)
        return refuse("The device '" + rest + "' is followed by more than one @BAUD or #ADDR.");
    if (rest[0] != '/' && !TestSetComPort(rest))
        return refuse("'" + rest + "' is no serial device.");
    a.device = rest;
    return {a, {}};
}

AddressParse parseTcp(const std::string& text) {
    TestSetAddress a;
    std::string host = text, port;
    if (text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) return refuse("The address '" + text + "' lacks its ].");
        host = text.substr(1, close - 1);
        const std::string after = text.substr(close + 1);
        if (!after.empty() && after[0] != ':')
            return refuse("After ']' only :PORT may follow in '" + text + "'.");
        if (!after.empty()) port = after.substr(1);
        const bool v6 = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        });
        if (!v6) return refuse("'" + host + "' is no IPv6 address.");
    } else {
        const size_t colon = text.find(':');
        if (colon != text.rfind(':'))
            return refuse("'" + text +
                          "' has more than one ':'; an IPv6 address goes in brackets.");
        if (colon != std::string::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), isHostChar))
            return refuse("'" + host + "' is no host name or address.");
    }
    if (!port.empty() || text.back() == ':') {
        int n = 0;
        if (!IniInt(port, 1, 65535, n))
            return refuse("The port '" + port + "' is not a number from 1 to 65535.");
        a.port = static_cast<uint16_t>(n);
    }
    a.host = host;
    return {a, {}};
}

}  // namespace

std::string TestSetAddress::text() const {
    if (kind == Kind::Serial) {
        std::string t = device + "@" + std::to_string(baud);
        if (gpibAddress) t += "#" + std::to_string(*gpibAddress);
        return t;
    }
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

AddressParse ParseTestSetAddress(const std::string& typed) {
    const std::string text = IniTrim(typed);
    if (text.empty()) return refuse("No test set address is given.");
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return refuse("The address holds characters that are not text.");
    const std::string head = text.substr(0, text.find_first_of("@#"));
    if (text[0] == '/' || TestSetComPort(head)) return parseSerial(text);
    if (text.find_first_of("@#") != std::string::npos)
        return refuse("@BAUD and #ADDR belong to a serial device, not to '" + head + "'.");
    return parseTcp(text);
}

std::optional<int16_t> TestSetComPort(const std::string& device) {
    int n = 0;
    if (device.size() < 4 || device.size() > 6 || IniUpper(device.substr(0, 3)) != "COM" ||
        !IniInt(device.substr(3), 1, 256, n)) {
        return std::nullopt;
    }
    return static_cast<int16_t>(n);
}

std::vector<std::string> GpibPrologue(const TestSetAddress& address) {
    if (!address.gpib()) return {};
    return {"++mode 1", "++addr " + std::to_string(*address.gpibAddress),
            "++auto 0", "++eoi 1",
            "++eos 2",  "++eot_enable 0"};
}

}  // namespace kv7
