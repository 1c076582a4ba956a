#include "serial/port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "serial/port_assignment.h"

namespace kv7 {
namespace {

namespace fs = std::filesystem;

const std::string kFtdiLink = "/dev/serial/by-id/usb-FTDI_Cable_A1-if00-port0";
const std::string kAcmLink = "/dev/serial/by-id/usb-Maker_Board_77-if00";

// A system with two USB adapters, a modem-class device and a built-in port, as fake rows.
struct FakeSystem {
    std::map<std::string, std::string> devices = {
        {"/dev/ttyUSB1", "/dev/ttyUSB1"}, {"/dev/ttyUSB10", "/dev/ttyUSB10"},
        {"/dev/ttyACM0", "/dev/ttyACM0"}, {"/dev/ttyS0", "/dev/ttyS0"},
        {kFtdiLink, "/dev/ttyUSB1"},      {kAcmLink, "/dev/ttyACM0"},
    };
    std::vector<StableLink> links = {{kAcmLink, "/dev/ttyACM0"},
                                     {"/dev/serial/by-id/usb-Gone-if00", ""},
                                     {kFtdiLink, "/dev/ttyUSB1"}};
    std::map<std::string, DeviceAccess> access = {
        {"/dev/ttyUSB10", {false, "dialout", false}},
        {"/dev/ttyACM0", {false, "dialout", true}},
        {"/dev/ttyS0", {false, "root", false}},
    };

    DeviceFiles files() const {
        DeviceFiles f;
        f.canonical = [this](const std::string& p) {
            const auto it = devices.find(p);
            return it == devices.end() ? std::string() : it->second;
        };
        f.stableLinks = [this] { return links; };
        f.access = [this](const std::string& p) {
            const auto it = access.find(p);
            return it == access.end() ? DeviceAccess{} : it->second;
        };
        return f;
    }
};

TEST(PortList, RowsWithStableNamesAccessAndTheCurrentDevice) {
    const FakeSystem sys;
    const std::vector<SerialDeviceRow> rows = {
        {"/dev/ttyS0", "", "", "", std::nullopt, std::nullopt},
        {"/dev/ttyUSB10", "USB Serial", "Prolific", "", 0x067b, 0x2303},
        {"/dev/ttyACM0", "Board|Rev\nB", "Maker", "77", 0x2341, 0x0043},
        {"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "A1", 0x0403, 0x6001},
    };
    // COM n named by the stable path: the adapter behind it is the current one.
    const std::vector<PortListEntry> list = buildPortList(rows, sys.files(), kFtdiLink);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"/dev/ttyACM0 | " + kAcmLink +
             " | Board/Rev B | Maker | 77 | 2341:0043 | no: log out and in again, membership of "
             "the group dialout counts from the next login",
         false},
        {"/dev/ttyUSB1 | " + kFtdiLink + " | FT232R USB UART | FTDI | A1 | 0403:6001 | yes", true},
        {"/dev/ttyUSB10 | - | USB Serial | Prolific | - | 067b:2303 | no: join the group dialout "
         "(sudo usermod -aG dialout \"$USER\"), then log in again",
         false},
        {"/dev/ttyS0 | - | - | - | - | - | no: this user may not read and write it", false},
    };
    ASSERT_EQ(list.size(), expected.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(portListLine(list[i]), expected[i].first) << i;
        EXPECT_EQ(list[i].current, expected[i].second) << i;
    }
    EXPECT_TRUE(buildPortList({}, sys.files(), kFtdiLink).empty());
}

TEST(PortList, DeviceNamedByPath) {
    const FakeSystem sys;
    const struct {
        std::string path;
        bool found;
        std::string stable;
    } cases[] = {
        {"/dev/ttyUSB1", true, kFtdiLink},  // the stable name that leads to it
        {kFtdiLink, true, kFtdiLink},       // a stable name stays itself
        {"/dev/ttyUSB10", true, ""},        // none leads to it
        {"/dev/ttyUSB7", false, ""},        // nothing there
        {"/dev/serial/by-id/usb-Gone-if00", false, ""},
    };
    for (const auto& c : cases) {
        const std::optional<PortListEntry> e = entryForPath(c.path, sys.files());
        ASSERT_EQ(e.has_value(), c.found) << c.path;
        if (e) {
            EXPECT_EQ(e->stablePath, c.stable) << c.path;
        }
    }
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Assignments against a settings file on disk: the stable name is written, and whatever goes
// wrong (device gone, stable name moved, file not writable) leaves the file as it was.
TEST(PortAssignment, WritesTheStableNameOrNothing) {
    const fs::path dir =
        fs::temp_directory_path() / ("kv7_ports_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const fs::path file = dir / "SWKV7ADJ.rs";
    const std::string original =
        "[OPTION]\r\nComPort=2\r\n; cable on the bench\r\n[PORTS]\r\nCOM1=/dev/pts/3\r\n";

    FakeSystem sys;
    PortListEntry ftdi;
    ftdi.device.systemLocation = "/dev/ttyUSB1";
    ftdi.stablePath = kFtdiLink;
    PortListEntry gone;
    gone.device.systemLocation = "/dev/ttyUSB5";
    PortListEntry moved = ftdi;
    moved.device.systemLocation = "/dev/ttyUSB10";

    const struct {
        const char* what;
        const PortListEntry* chosen;  // null: back to the default
        bool readOnly;
        bool done;
        std::string after;
        std::string message;
    } cases[] = {
        {"stable name", &ftdi, false, true, original + "COM2=" + kFtdiLink + "\r\n",
         "COM 2 now uses " + kFtdiLink + " (at present /dev/ttyUSB1)."},
        {"device gone", &gone, false, false, original,
         "The device /dev/ttyUSB5 is no longer there. Refresh the list and choose again. The "
         "assignment of COM 2 is unchanged."},
        {"stable name moved", &moved, false, false, original,
         "The name " + kFtdiLink +
             " no longer leads to /dev/ttyUSB10. Refresh the list and choose again. The "
             "assignment of COM 2 is unchanged."},
        {"read-only file", &ftdi, true, false, original,
         "Cannot write the settings file " + file.string() +
             ". The assignment of COM 2 is unchanged."},
        {"default", nullptr, false, true, original, "COM 2 uses its default device."},
    };
    for (const auto& c : cases) {
        fs::remove(file);
        std::ofstream(file, std::ios::binary) << original;
        if (c.chosen == nullptr)
            std::ofstream(file, std::ios::binary | std::ios::app) << "COM2=x\r\n";
        if (c.readOnly) fs::permissions(file, fs::perms::owner_read);
        const PortAssignment r = c.chosen != nullptr
                                     ? assignPortDevice(file.string(), 2, *c.chosen, sys.files())
                                     : removePortDevice(file.string(), 2);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(r.done, c.done) << c.what;
        EXPECT_EQ(r.message, c.message) << c.what;
        EXPECT_EQ(readAll(file), c.after) << c.what;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
            << c.what << ": a temporary file was left behind";
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kv7
