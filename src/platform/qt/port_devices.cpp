#include "platform/qt/port_devices.h"

#include <QSerialPortInfo>
#include <QString>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace kv7 {

namespace {

std::string text(const QString& s) {
    return s.trimmed().toStdString();
}

#ifdef Q_OS_UNIX
bool inThisLogin(gid_t gid) {
    if (getegid() == gid) return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = getgroups(n, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<size_t>(i)] == gid) return true;
    }
    return false;
}

bool listedInGroup(const struct group& g) {
    const struct passwd* pw = getpwuid(geteuid());
    if (pw == nullptr) return false;
    if (pw->pw_gid == g.gr_gid) return true;
    for (char** member = g.gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (std::strcmp(*member, pw->pw_name) == 0) return true;
    }
    return false;
}
#endif

}  // namespace

std::vector<SerialDeviceRow> enumerateSerialDevices() {
    std::vector<SerialDeviceRow> rows;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDeviceRow r;
        r.systemLocation = text(info.systemLocation());
        r.description = text(info.description());
        r.manufacturer = text(info.manufacturer());
        r.serialNumber = text(info.serialNumber());
        if (info.hasVendorIdentifier()) r.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) r.productId = info.productIdentifier();
        rows.push_back(std::move(r));
    }
    return rows;
}

DeviceAccess deviceAccess(const std::string& path) {
    DeviceAccess a;
#ifdef Q_OS_UNIX
    a.mayOpen = ::access(path.c_str(), R_OK | W_OK) == 0;
    if (a.mayOpen) return a;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return a;
    // A group this login has already is not what keeps the user out.
    if (inThisLogin(st.st_gid)) return a;
    const struct group* g = getgrgid(st.st_gid);
    if (g == nullptr) return a;
    a.group = g->gr_name;
    a.groupAfterLogin = listedInGroup(*g);
#else
    // Every user may open a serial port here; one in use shows only when it is opened.
    (void)path;
    a.mayOpen = true;
#endif
    return a;
}

DeviceFiles systemDeviceFiles() {
    DeviceFiles f;
#ifdef Q_OS_WIN
    // Ports have no files here: a name reaches a device while the system lists it.
    f.canonical = [](const std::string& name) -> std::string {
        const QSerialPortInfo info(QString::fromStdString(name));
        return info.isNull() ? std::string() : text(info.systemLocation());
    };
    f.stableLinks = [] { return std::vector<StableLink>{}; };
#else
    f.canonical = [](const std::string& path) { return canonicalDevice(path); };
    f.stableLinks = [] { return readStableLinks(); };
#endif
    f.access = deviceAccess;
#ifdef Q_OS_UNIX
    // A terminal is what the line needs; /dev/null is a character device but no terminal.
    f.notATerminal = [](const std::string& path) -> std::string {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return {};
        if (!S_ISCHR(st.st_mode)) {
            return S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a character device";
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return {};
        const bool tty = ::isatty(fd) == 1;
        ::close(fd);
        return tty ? std::string() : "it is not a terminal";
    };
#elif defined(Q_OS_WIN)
    // A device that takes no line settings is no serial port.
    f.notATerminal = [](const std::string& name) -> std::string {
        const std::wstring device = L"\\\\.\\" + QString::fromStdString(name).toStdWString();
        const HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return {};
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const bool serial = GetCommState(h, &dcb) != 0;
        CloseHandle(h);
        return serial ? std::string() : "it is not a serial port";
    };
#endif
    return f;
}

}  // namespace kv7
