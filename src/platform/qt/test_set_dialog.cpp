#include "platform/qt/test_set_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/program.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_strings.h"
#include "platform/qt/test_set_window.h"

namespace kv7 {

namespace {

// While shown, the state follows the connection at this pace.
constexpr int kRefreshMs = 200;

QLabel* textLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

TestSetDialog::TestSetDialog(QtMainWindow& window, Program& program, TestSetWindow& readings)
    : QDialog(&window), program_(program), readings_(readings) {
    setWindowTitle(QStringLiteral("Test set"));
    setModal(false);

    address_ = new QLineEdit(this);
    address_->setPlaceholderText(QStringLiteral("HOST[:PORT] or DEVICE[@BAUD][#GPIB]"));
    address_->setToolTip(
        QStringLiteral("A test set on the network: 192.168.1.20 or 192.168.1.20:5025 (SCPI over "
                       "a raw socket, port 5025 unless given).\nA serial device: /dev/ttyUSB0, "
                       "/dev/ttyS0@19200 or COM3 (9600 baud 8N1 unless @BAUD);\n#N after it "
                       "drives a USB-to-GPIB adapter with the instrument at GPIB address N: "
                       "/dev/ttyUSB0#12."));
    address_->setMinimumWidth(440);
    profile_ = new QComboBox(this);
    state_ = textLabel(this);
    identity_ = textLabel(this);
    refused_ = textLabel(this);
    auto* folder = textLabel(this);
    folder->setText(QStringLiteral("Profile files (*.testset) are read from %1 at start-up.")
                        .arg(qs(program_.testSet().profileFolder())));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Connection:"), address_);
    form->addRow(QStringLiteral("&Profile:"), profile_);
    form->addRow(QStringLiteral("State:"), state_);
    form->addRow(QStringLiteral("*IDN? answer:"), identity_);

    connect_ = new QPushButton(QStringLiteral("C&onnect"), this);
    disconnect_ = new QPushButton(QStringLiteral("&Disconnect"), this);
    auto* show = new QPushButton(QStringLiteral("&Show readings"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {disconnect_, show, close}) b->setAutoDefault(false);
    connect_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(connect_);
    buttons->addWidget(disconnect_);
    buttons->addStretch(1);
    buttons->addWidget(show);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(refused_);
    layout->addWidget(folder);
    layout->addLayout(buttons);

    QObject::connect(connect_, &QPushButton::clicked, this, [this] { connectTestSet(); });
    QObject::connect(disconnect_, &QPushButton::clicked, this, [this] { disconnectTestSet(); });
    QObject::connect(show, &QPushButton::clicked, this, [this] { readings_.present(); });
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::close);
    QObject::connect(&refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });

    window.optionMenu()->addSeparator();
    action_ = window.optionMenu()->addAction(QStringLiteral("&Test set\u2026"));
    QObject::connect(action_, &QAction::triggered, this, [this] { present(); });
}

void TestSetDialog::present() {
    if (!isVisible()) {
        const TestSetStation& station = program_.testSet();
        address_->setText(qs(station.storedAddress()));
        fillProfiles();
        const int stored = profile_->findData(qs(station.storedProfile()));
        profile_->setCurrentIndex(stored >= 0 ? stored : 0);
    }
    refresh();
    show();
    raise();
    activateWindow();
}

void TestSetDialog::fillProfiles() {
    const ProfileLibrary& library = program_.testSet().profiles();
    profile_->clear();
    profile_->addItem(QStringLiteral("Automatic (from *IDN?)"), QString());
    for (const TestSetProfile& p : library.profiles()) profile_->addItem(qs(p.name), qs(p.name));
    QString refused;
    for (const std::string& r : library.refused()) refused += QStringLiteral("\n") + qs(r);
    refused_->setText(QStringLiteral("Profile files not offered:") + refused);
    refused_->setVisible(!refused.isEmpty());
}

bool TestSetDialog::connectTestSet() {
    const std::string address = address_->text().trimmed().toStdString();
    const std::string profile = profile_->currentData().toString().toStdString();
    bool started = false;
    program_.event("Option > Test set > Connect",
                   [&] { started = program_.testSet().connect(address, profile); });
    refresh();
    return started;
}

void TestSetDialog::disconnectTestSet() {
    program_.event("Option > Test set > Disconnect", [this] { program_.testSet().disconnect(); });
    refresh();
}

void TestSetDialog::refresh() {
    const TestSet& testSet = program_.testSet().testSet();
    state_->setText(qs(testSet.stateText()));
    identity_->setText(testSet.identity().empty() ? QStringLiteral("\u2014")
                                                  : qs(testSet.identity()));
    // A connection under way counts as connected: Disconnect stops it.
    bool connected = false;
    switch (testSet.state()) {
        case TestSet::State::Disconnected:
        case TestSet::State::Failed: connected = false; break;
        case TestSet::State::Opening:
        case TestSet::State::Identifying:
        case TestSet::State::SettingUp:
        case TestSet::State::Ready: connected = true; break;
    }
    connect_->setEnabled(!connected);
    disconnect_->setEnabled(connected);
}

void TestSetDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refreshTimer_.start(kRefreshMs);
}

void TestSetDialog::hideEvent(QHideEvent* event) {
    refreshTimer_.stop();
    QDialog::hideEvent(event);
}

}  // namespace kv7
