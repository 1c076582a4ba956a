#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv7 {

// One serial device as the platform enumerates it.
struct SerialDeviceRow {
    std::string systemLocation;  // "/dev/ttyUSB0", "COM7"
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    std::optional<uint16_t> vendorId;  // USB devices only
    std::optional<uint16_t> productId;
};

// Whether this user may open a device, as far as the platform can tell without opening it.
struct DeviceAccess {
    bool mayOpen = true;
    std::string group;  // the device's group, empty when unknown
    // The user is listed in that group, but the running login does not have it yet.
    bool groupAfterLogin = false;
};

// A stable name of a device (a link in /dev/serial/by-id) and the device it leads to now.
struct StableLink {
    std::string path;
    std::string target;  // canonical device path; empty when the link leads nowhere
};

// What the list logic asks of the system; tests give it their own answers.
struct DeviceFiles {
    // The device a name reaches now (links followed), empty when it reaches none.
    std::function<std::string(const std::string& path)> canonical;
    std::function<std::vector<StableLink>()> stableLinks;
    std::function<DeviceAccess(const std::string& path)> access;
    // Why a name is no serial line (a file, a directory, a device that is no terminal); empty
    // when it is one or cannot be told (no right to open it). Unset: not looked at.
    std::function<std::string(const std::string& path)> notATerminal;
};

// The links of a by-id directory, sorted by name; none when the directory is missing.
std::vector<StableLink> readStableLinks(const std::string& directory = "/dev/serial/by-id");
// std::filesystem's canonical path, empty for a name that leads nowhere.
std::string canonicalDevice(const std::string& path);

// One row of the device list.
struct PortListEntry {
    SerialDeviceRow device;
    std::string stablePath;  // empty when no stable name leads to the device
    DeviceAccess access;
    bool current = false;  // the COM port uses this device now
};

// The devices present, USB adapters first, each group in natural order of its names
// (ttyUSB2 before ttyUSB10), with their stable names, access and which one currentDevice is.
std::vector<PortListEntry> buildPortList(const std::vector<SerialDeviceRow>& rows,
                                         const DeviceFiles& files,
                                         const std::string& currentDevice);

// The entry for a device named by the technician: its stable name when one leads to it (or the
// name itself when it is one), the access, no enumeration details. None when nothing is there.
std::optional<PortListEntry> entryForPath(const std::string& path, const DeviceFiles& files);

// "0403:6001", empty for a device without USB ids.
std::string usbIdText(const SerialDeviceRow& d);
// "yes", or "no: " and what to do about it.
std::string accessText(const DeviceAccess& a);
// The fields of a row in their order: location, stable name, description, manufacturer, serial
// number, USB id, access; an empty field as "-", line breaks and '|' kept out of the fields.
std::vector<std::string> portListFields(const PortListEntry& e);
// The fields joined by " | ".
std::string portListLine(const PortListEntry& e);

}  // namespace kv7
