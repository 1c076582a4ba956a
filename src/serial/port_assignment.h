#pragma once
#include <cstdint>
#include <string>

#include "serial/port_list.h"
#include "serial/port_names.h"

namespace kv7 {

// The outcome of assigning a device to a COM port, in words for the technician.
struct PortAssignment {
    bool done = false;
    std::string message;
};

// Writes the key COMn of [PORTS] in the settings file: the stable name of the chosen device when
// it has one, so an adapter that comes back under another number is still found. The device
// and its stable name are looked at again first; when either no longer leads where the list
// said, or the file cannot be written, nothing is written and the old assignment stays.
PortAssignment assignPortDevice(const std::string& settingsFile, int16_t n,
                                const PortListEntry& chosen, const DeviceFiles& files);
// As assignPortDevice for a device the technician names by its path.
PortAssignment assignPortPath(const std::string& settingsFile, int16_t n, const std::string& path,
                              const DeviceFiles& files);
// Removes the key, so COM n goes back to the default device.
PortAssignment removePortDevice(const std::string& settingsFile, int16_t n);

}  // namespace kv7
