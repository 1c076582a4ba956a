#pragma once
#include <QDialog>
#include <vector>

#include "serial/port_assignment.h"
#include "serial/port_list.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kv7 {

class PortDeviceChooser;

// The serial devices present, with what tells the cable apart (stable name, description, maker,
// serial number, USB id) and whether this user may open each. Choosing one assigns it to the
// selected COM port at once; the list can be read again while the dialog is open.
class PortDeviceDialog : public QDialog {
  public:
    // Column of the COM port's mark; the row's fields follow it in their order.
    static constexpr int kMarkColumn = 0;

    PortDeviceDialog(PortDeviceChooser& chooser, QWidget* parent = nullptr);

    // Reads the devices again; the selected device stays selected while it is there.
    void refresh();

    QTreeWidget* table() const { return table_; }
    QLabel* currentLabel() const { return current_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* defaultButton() const { return defaultButton_; }
    QPushButton* assignButton() const { return assignButton_; }

  private:
    void assignSelected();
    void useDefault();
    void report(const PortAssignment& outcome);
    void selectionChanged();
    int selectedRow() const;

    PortDeviceChooser& chooser_;
    std::vector<PortListEntry> entries_;
    QLabel* current_ = nullptr;
    QTreeWidget* table_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* assignButton_ = nullptr;
};

}  // namespace kv7
