#include "platform/qt/port_device_chooser.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <optional>

#include "app/program.h"
#include "platform/qt/port_device_dialog.h"
#include "platform/qt/port_devices.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_serial_port.h"

namespace kv7 {

PortDeviceChooser::PortDeviceChooser(QtMainWindow& window, Program& program, QtSerialPort& port)
    : window_(window),
      program_(program),
      port_(port),
      files_(systemDeviceFiles()),
      enumerate_(enumerateSerialDevices) {
    connect(window_.deviceAction(), &QAction::triggered, this, [this] { openDialog(); });
    window_.comBusyWidget()->installEventFilter(this);
}

PortDeviceChooser::~PortDeviceChooser() {
    window_.comBusyWidget()->removeEventFilter(this);
}

void PortDeviceChooser::setEnumerator(std::function<std::vector<SerialDeviceRow>()> enumerate) {
    enumerate_ = std::move(enumerate);
}

int16_t PortDeviceChooser::comPort() const {
    return program_.window().ComPortNo();
}

std::vector<PortListEntry> PortDeviceChooser::devices() const {
    return buildPortList(enumerate_(), files_, port_.deviceName(comPort()));
}

std::string PortDeviceChooser::currentDeviceText() const {
    const int16_t n = comPort();
    const std::string name = port_.deviceName(n);
    const std::string device = files_.canonical(name);
    std::string s = "COM " + std::to_string(n) + " uses " + name;
    if (!device.empty() && device != name) s += " (" + device + ")";
    s += port_.assignedDevice(n) ? ", assigned in the settings file" : ", the default";
    if (device.empty()) s += "; it is not present now";
    return s + ".";
}

std::string PortDeviceChooser::deviceIdentity(const std::string& name) const {
    const std::string device = files_.canonical(name);
    return device.empty() ? name : device;
}

PortAssignment PortDeviceChooser::change(const std::function<PortAssignment()>& write) {
    const int16_t n = comPort();
    const std::string before = deviceIdentity(port_.deviceName(n));
    const PortAssignment outcome = write();
    if (outcome.done && deviceIdentity(port_.deviceName(n)) != before) {
        program_.event("the port's device", [this] { program_.controller().RigOpFunc_ResetAll(); });
    }
    return outcome;
}

PortAssignment PortDeviceChooser::assign(const PortListEntry& chosen) {
    return change(
        [&] { return assignPortDevice(port_.settingsFile(), comPort(), chosen, files_); });
}

PortAssignment PortDeviceChooser::assignPath(const std::string& path) {
    return change([&] { return assignPortPath(port_.settingsFile(), comPort(), path, files_); });
}

PortAssignment PortDeviceChooser::useDefault() {
    return change([&] { return removePortDevice(port_.settingsFile(), comPort()); });
}

void PortDeviceChooser::openDialog() {
    if (program_.boundary().refuseInput()) return;
    PortDeviceDialog dialog(*this, &window_);
    dialog.exec();
}

std::string PortDeviceChooser::tooltipText() const {
    // The window's own captions stay as they are; the run's status goes here.
    std::string tip;
    if (program_.align().run().running()) {
        tip = kAligningStatus;
        tip += '\n';
    }
    if (!port_.goneText().isEmpty()) {
        tip += port_.goneText().toStdString();
        tip += ".\n";
    }
    tip += currentDeviceText();
    return tip;
}

void PortDeviceChooser::deviceWentOrCame() {
    window_.comBusyWidget()->setToolTip(QString::fromStdString(tooltipText()));
}

// The tooltip is written when it is about to show, so it names the device of that moment.
bool PortDeviceChooser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched == window_.comBusyWidget()) {
        window_.comBusyWidget()->setToolTip(QString::fromStdString(tooltipText()));
    }
    return false;
}

}  // namespace kv7
