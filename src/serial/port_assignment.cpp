#include "serial/port_assignment.h"

#include "store/private_profile.h"

namespace kv7 {

namespace {

std::string comName(int16_t n) {
    return "COM " + std::to_string(n);
}

PortAssignment refused(int16_t n, const std::string& why) {
    return {false, why + " The assignment of " + comName(n) + " is unchanged."};
}

PortAssignment unwritable(const std::string& settingsFile, int16_t n) {
    return refused(n, "Cannot write the settings file " + settingsFile + ".");
}

}  // namespace

PortAssignment assignPortDevice(const std::string& settingsFile, int16_t n,
                                const PortListEntry& chosen, const DeviceFiles& files) {
    const std::string& location = chosen.device.systemLocation;
    const std::string device = files.canonical(location);
    if (device.empty()) {
        return refused(n, "The device " + location +
                              " is no longer there. Refresh the list and choose again.");
    }
    if (!chosen.stablePath.empty() && files.canonical(chosen.stablePath) != device) {
        return refused(n, "The name " + chosen.stablePath + " no longer leads to " + location +
                              ". Refresh the list and choose again.");
    }
    const std::string value = chosen.stablePath.empty() ? location : chosen.stablePath;
    PrivateProfile file;
    if (settingsFile.empty() ||
        !file.WritePrivateProfileStringA(kPortsSection, portsKey(n), value, settingsFile)) {
        return unwritable(settingsFile, n);
    }
    std::string message = comName(n) + " now uses " + value;
    if (value != location) message += " (at present " + location + ")";
    return {true, message + "."};
}

PortAssignment assignPortPath(const std::string& settingsFile, int16_t n, const std::string& path,
                              const DeviceFiles& files) {
    const std::optional<PortListEntry> entry = entryForPath(path, files);
    if (!entry) return refused(n, "There is no device " + path + ".");
    const std::string why = files.notATerminal ? files.notATerminal(path) : std::string();
    if (!why.empty()) return refused(n, path + " is no serial device: " + why + ".");
    return assignPortDevice(settingsFile, n, *entry, files);
}

PortAssignment removePortDevice(const std::string& settingsFile, int16_t n) {
    PrivateProfile file;
    if (settingsFile.empty() || !file.removeKey(kPortsSection, portsKey(n), settingsFile)) {
        return unwritable(settingsFile, n);
    }
    return {true, comName(n) + " uses its default device."};
}

}  // namespace kv7
