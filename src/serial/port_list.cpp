#include "serial/port_list.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "store/file_path.h"

namespace kv7 {

namespace fs = std::filesystem;

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Names compared with their numbers as numbers: ttyUSB2 before ttyUSB10, COM2 before COM10.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i;
            std::size_t je = j;
            while (ie < a.size() && isDigit(a[ie])) ++ie;
            while (je < b.size() && isDigit(b[je])) ++je;
            // Without leading zeros, the longer run of digits is the larger number.
            std::size_t is = i;
            std::size_t js = j;
            while (is + 1 < ie && a[is] == '0') ++is;
            while (js + 1 < je && b[js] == '0') ++js;
            if (ie - is != je - js) return ie - is < je - js;
            const int c = a.compare(is, ie - is, b, js, je - js);
            if (c != 0) return c < 0;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The first stable name leading to a device (the links come sorted by name).
std::string stableNameOf(const std::string& device, const std::vector<StableLink>& links) {
    if (device.empty()) return {};
    for (const StableLink& l : links) {
        if (l.target == device) return l.path;
    }
    return {};
}

std::string fieldText(const std::string& s) {
    if (s.empty()) return "-";
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += ' ';
        } else if (c == '|') {
            out += '/';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::vector<StableLink> readStableLinks(const std::string& directory) {
    std::vector<StableLink> links;
    std::error_code ec;
    for (fs::directory_iterator it(pathFromUtf8(directory), ec), end; !ec && it != end;
         it.increment(ec)) {
        links.push_back({utf8FromPath(it->path()), canonicalDevice(utf8FromPath(it->path()))});
    }
    std::sort(links.begin(), links.end(),
              [](const StableLink& a, const StableLink& b) { return a.path < b.path; });
    return links;
}

std::string canonicalDevice(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    const fs::path p = fs::canonical(pathFromUtf8(path), ec);
    return ec ? std::string() : utf8FromPath(p);
}

std::vector<PortListEntry> buildPortList(const std::vector<SerialDeviceRow>& rows,
                                         const DeviceFiles& files,
                                         const std::string& currentDevice) {
    const std::vector<StableLink> links = files.stableLinks();
    const std::string current = files.canonical(currentDevice);
    std::vector<PortListEntry> list;
    for (const SerialDeviceRow& row : rows) {
        PortListEntry e;
        e.device = row;
        const std::string device = files.canonical(row.systemLocation);
        e.stablePath = stableNameOf(device, links);
        e.access = files.access(row.systemLocation);
        e.current = !current.empty() && device == current;
        list.push_back(std::move(e));
    }
    std::stable_sort(list.begin(), list.end(), [](const PortListEntry& a, const PortListEntry& b) {
        const bool usbA = a.device.vendorId.has_value();
        const bool usbB = b.device.vendorId.has_value();
        if (usbA != usbB) return usbA;
        return naturalLess(a.device.systemLocation, b.device.systemLocation);
    });
    return list;
}

std::optional<PortListEntry> entryForPath(const std::string& path, const DeviceFiles& files) {
    const std::string device = files.canonical(path);
    if (device.empty()) return std::nullopt;
    PortListEntry e;
    e.device.systemLocation = path;
    const std::vector<StableLink> links = files.stableLinks();
    const bool isStable = std::any_of(links.begin(), links.end(), [&](const StableLink& l) {
        return l.path == path && l.target == device;
    });
    e.stablePath = isStable ? path : stableNameOf(device, links);
    e.access = files.access(path);
    return e;
}

std::string usbIdText(const SerialDeviceRow& d) {
    if (!d.vendorId || !d.productId) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04x:%04x", static_cast<unsigned>(*d.vendorId),
                  static_cast<unsigned>(*d.productId));
    return buf;
}

std::string accessText(const DeviceAccess& a) {
    if (a.mayOpen) return "yes";
    if (a.group.empty() || a.group == "root") return "no: this user may not read and write it";
    if (a.groupAfterLogin) {
        return "no: log out and in again, membership of the group " + a.group +
               " counts from the next login";
    }
    return "no: join the group " + a.group + " (sudo usermod -aG " + a.group +
           " \"$USER\"), then log in again";
}

std::vector<std::string> portListFields(const PortListEntry& e) {
    return {fieldText(e.device.systemLocation), fieldText(e.stablePath),
            fieldText(e.device.description),    fieldText(e.device.manufacturer),
            fieldText(e.device.serialNumber),   fieldText(usbIdText(e.device)),
            fieldText(accessText(e.access))};
}

std::string portListLine(const PortListEntry& e) {
    std::string line;
    for (const std::string& f : portListFields(e)) {
        if (!line.empty()) line += " | ";
        line += f;
    }
    return line;
}

}  // namespace kv7
