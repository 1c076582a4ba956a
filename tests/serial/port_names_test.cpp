#include "serial/port_names.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace kv7 {
namespace {

TEST(PortNames, RuleByHostEntryAndDevices) {
    const std::map<std::string, std::string> ports = {
        {"COM1", "/dev/pts/7"}, {"COM3", ""}, {"COM10", "/dev/ttyACM0"}};
    const std::set<std::string> devices = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB9"};
    std::vector<std::string> asked;
    PortNameRule rule;
    rule.portsEntry = [&](const std::string& key) -> std::optional<std::string> {
        asked.push_back(key);
        const auto it = ports.find(key);
        if (it == ports.end()) return std::nullopt;
        return it->second;
    };
    rule.exists = [&](const std::string& path) { return devices.count(path) != 0; };

    const struct {
        bool windows;
        int16_t n;
        const char* expected;
    } cases[] = {
        {true, 1, "/dev/pts/7"},  // an assigned device wins on every system
        {true, 2, "COM2"},        // Windows: no entry, the device of that name
        {true, 3, "COM3"},
        {false, 1, "/dev/pts/7"},    // [PORTS] entry wins over an
                                     // existing ttyUSB0
        {false, 2, "/dev/ttyUSB1"},  // no entry, USB adapter present
        {false, 3, "/dev/ttyS2"},    // an empty entry names no device; no ttyUSB2
        {false, 4, "/dev/ttyS3"},
        {false, 10, "/dev/ttyACM0"},
        {false, 9, "/dev/ttyS8"},
    };
    for (const auto& c : cases) {
        rule.windows = c.windows;
        asked.clear();
        EXPECT_EQ(resolvePortName(c.n, rule), c.expected) << c.n << (c.windows ? " win" : "");
        EXPECT_EQ(asked, std::vector<std::string>{"COM" + std::to_string(c.n)});
    }
}

TEST(PortNames, WithoutLookupsFallsBackToTheSerialDevice) {
    PortNameRule rule;
    EXPECT_EQ(resolvePortName(1, rule), "/dev/ttyS0");
    EXPECT_EQ(resolvePortName(10, rule), "/dev/ttyS9");
}

}  // namespace
}  // namespace kv7
