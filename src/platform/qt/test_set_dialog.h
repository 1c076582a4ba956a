#pragma once
#include <QDialog>
#include <QTimer>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv7 {

class Program;
class QtMainWindow;
class TestSetWindow;

// Option > "Test set…": where the test set is (a network address, or a serial device with an
// optional GPIB address), which profile speaks to it (chosen by its *IDN? answer unless one is
// picked), Connect and Disconnect, the connection's state and the instrument's answer to
// *IDN?, and the profile files that are not offered. Not modal: the readings go on meanwhile.
class TestSetDialog : public QDialog {
  public:
    TestSetDialog(QtMainWindow& window, Program& program, TestSetWindow& readings);

    QAction* menuAction() const { return action_; }
    // Fills the fields with the address and profile of the settings file and shows it.
    void present();
    // Connects as the fields say; false when the address or profile is refused at once.
    bool connectTestSet();
    void disconnectTestSet();
    // The state, the *IDN? answer and the buttons as the connection stands now.
    void refresh();

    QLineEdit* addressEdit() const { return address_; }
    QComboBox* profileBox() const { return profile_; }
    QLabel* stateLabel() const { return state_; }
    QLabel* identityLabel() const { return identity_; }
    QLabel* refusedLabel() const { return refused_; }
    QPushButton* connectButton() const { return connect_; }
    QPushButton* disconnectButton() const { return disconnect_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void fillProfiles();

    Program& program_;
    TestSetWindow& readings_;
    QAction* action_ = nullptr;
    QLineEdit* address_ = nullptr;
    QComboBox* profile_ = nullptr;
    QLabel* state_ = nullptr;
    QLabel* identity_ = nullptr;
    QLabel* refused_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QTimer refreshTimer_;
};

}  // namespace kv7
