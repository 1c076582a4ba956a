#pragma once
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/port_assignment.h"
#include "serial/port_list.h"

namespace kv7 {

class Program;
class QtMainWindow;
class QtSerialPort;

// Which device the selected COM port is: Option > Port > Device… lists the serial devices and
// assigns one of them, and the port label's tooltip names the device. An assignment that
// changes the device resets a running operation, as a change of port does.
class PortDeviceChooser : public QObject {
  public:
    PortDeviceChooser(QtMainWindow& window, Program& program, QtSerialPort& port);
    ~PortDeviceChooser() override;

    // The devices listed instead of the system's (tests).
    void setEnumerator(std::function<std::vector<SerialDeviceRow>()> enumerate);

    // The COM port a choice is for: the one selected now.
    int16_t comPort() const;
    std::vector<PortListEntry> devices() const;
    // "COM 1 uses /dev/ttyS0, the default."
    std::string currentDeviceText() const;

    PortAssignment assign(const PortListEntry& chosen);
    PortAssignment assignPath(const std::string& path);
    PortAssignment useDefault();

    // The port label's tooltip: a run's status, the device gone, which device the port is.
    std::string tooltipText() const;
    // The device went away or opened again: the label's tooltip says so at once.
    void deviceWentOrCame();

    // Shows the device list until the technician closes it.
    void openDialog();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Runs a change of the settings file; a device that changed by it resets the operation.
    PortAssignment change(const std::function<PortAssignment()>& write);
    // The device a name reaches, or the name itself when it reaches none.
    std::string deviceIdentity(const std::string& name) const;

    QtMainWindow& window_;
    Program& program_;
    QtSerialPort& port_;
    DeviceFiles files_;
    std::function<std::vector<SerialDeviceRow>()> enumerate_;
};

}  // namespace kv7
