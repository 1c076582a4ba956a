#pragma once
#include <string>
#include <vector>

#include "serial/port_list.h"

namespace kv7 {

// The serial devices Qt finds on this computer.
std::vector<SerialDeviceRow> enumerateSerialDevices();
// Whether this user may open the device, and the group that would let them.
DeviceAccess deviceAccess(const std::string& path);
// The device files of this system as the list logic asks for them.
DeviceFiles systemDeviceFiles();

}  // namespace kv7
