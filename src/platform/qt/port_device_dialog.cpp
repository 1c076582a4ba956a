#include "platform/qt/port_device_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/qt/port_device_chooser.h"
#include "platform/qt/qt_strings.h"

namespace kv7 {

PortDeviceDialog::PortDeviceDialog(PortDeviceChooser& chooser, QWidget* parent)
    : QDialog(parent), chooser_(chooser) {
    const QString com = QStringLiteral("COM %1").arg(chooser_.comPort());
    setWindowTitle(QStringLiteral("Device of %1").arg(com));

    current_ = new QLabel(this);
    current_->setTextFormat(Qt::PlainText);
    current_->setWordWrap(true);

    table_ = new QTreeWidget(this);
    table_->setRootIsDecorated(false);
    table_->setUniformRowHeights(true);
    table_->setAllColumnsShowFocus(true);
    table_->setHeaderLabels({QStringLiteral("COM"), QStringLiteral("Device"),
                             QStringLiteral("Stable name"), QStringLiteral("Description"),
                             QStringLiteral("Manufacturer"), QStringLiteral("Serial number"),
                             QStringLiteral("USB id"), QStringLiteral("May open")});
    table_->header()->setStretchLastSection(false);
    table_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setMinimumSize(760, 160);

    note_ = new QLabel(this);
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);
    // Room for a note of two lines, so the list does not jump when one appears.
    note_->setMinimumHeight(note_->fontMetrics().lineSpacing() * 2);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);

    refreshButton_ = new QPushButton(QStringLiteral("&Refresh"), this);
    defaultButton_ = new QPushButton(QStringLiteral("Use the &default"), this);
    assignButton_ = new QPushButton(QStringLiteral("&Assign to %1").arg(com), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {refreshButton_, defaultButton_, close}) b->setAutoDefault(false);
    assignButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton_);
    buttons->addWidget(defaultButton_);
    buttons->addStretch(1);
    buttons->addWidget(assignButton_);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(current_);
    layout->addWidget(table_, 1);
    layout->addWidget(note_);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(refreshButton_, &QPushButton::clicked, this, [this] {
        status_->clear();
        refresh();
    });
    connect(defaultButton_, &QPushButton::clicked, this, [this] { useDefault(); });
    connect(assignButton_, &QPushButton::clicked, this, [this] { assignSelected(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(table_, &QTreeWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(table_, &QTreeWidget::itemActivated, this, [this] { assignSelected(); });

    refresh();
    resize(sizeHint().expandedTo(QSize(860, 340)));
}

int PortDeviceDialog::selectedRow() const {
    const QTreeWidgetItem* item = table_->currentItem();
    if (item == nullptr || !item->isSelected()) return -1;
    const int row = table_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return row >= 0 && static_cast<size_t>(row) < entries_.size() ? row : -1;
}

void PortDeviceDialog::refresh() {
    const int was = selectedRow();
    const std::string selected =
        was >= 0 ? entries_[static_cast<size_t>(was)].device.systemLocation : std::string();
    current_->setText(qs(chooser_.currentDeviceText()));
    entries_ = chooser_.devices();
    table_->clear();
    const QString com = QStringLiteral("COM %1").arg(chooser_.comPort());
    QTreeWidgetItem* reselect = nullptr;
    for (const PortListEntry& e : entries_) {
        QStringList cells{e.current ? com : QString()};
        for (const std::string& f : portListFields(e)) cells << qs(f);
        // What to do about a device this user may not open is told below the list.
        cells.back() = e.access.mayOpen ? QStringLiteral("yes") : QStringLiteral("no");
        auto* item = new QTreeWidgetItem(table_, cells);
        item->setToolTip(static_cast<int>(cells.size()) - 1, qs(accessText(e.access)));
        if (e.current) {
            QFont f = item->font(0);
            f.setBold(true);
            for (int c = 0; c < cells.size(); ++c) item->setFont(c, f);
        }
        if (!selected.empty() && e.device.systemLocation == selected) reselect = item;
    }
    if (reselect != nullptr) table_->setCurrentItem(reselect);
    if (entries_.empty()) {
        note_->setText(
            QStringLiteral("No serial device found. Plug in the cable, then press Refresh."));
    }
    selectionChanged();
}

void PortDeviceDialog::selectionChanged() {
    const int row = selectedRow();
    assignButton_->setEnabled(row >= 0);
    if (row < 0) {
        if (!entries_.empty()) {
            note_->setText(
                QStringLiteral("Choose the cable's device. Unplugging the cable and "
                               "pressing Refresh shows which line is the cable."));
        }
        return;
    }
    const PortListEntry& e = entries_[static_cast<size_t>(row)];
    QString note;
    if (!e.stablePath.empty()) {
        note = QStringLiteral(
                   "Assigning writes its stable name %1, which stays the same when "
                   "the adapter is plugged in again.")
                   .arg(qs(e.stablePath));
    } else {
        note = QStringLiteral("Assigning writes %1; the device has no stable name.")
                   .arg(qs(e.device.systemLocation));
    }
    if (!e.access.mayOpen) {
        // accessText reads "no: " and what to do.
        QString why = qs(accessText(e.access)).mid(4);
        why = why.startsWith(QStringLiteral("this user")) ? why.left(1).toUpper() + why.mid(1)
                                                          : "This user may not open it: " + why;
        note += QLatin1Char('\n') + why + QLatin1Char('.');
    }
    note_->setText(note);
}

void PortDeviceDialog::assignSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    report(chooser_.assign(entries_[static_cast<size_t>(row)]));
}

void PortDeviceDialog::useDefault() {
    report(chooser_.useDefault());
}

// The list is read again either way: after a refusal it shows what is there now.
void PortDeviceDialog::report(const PortAssignment& outcome) {
    refresh();
    status_->setText(qs(outcome.message));
    QPalette p = status_->palette();
    p.setColor(QPalette::WindowText,
               outcome.done ? palette().color(QPalette::WindowText) : QColor(0xB0, 0x00, 0x00));
    status_->setPalette(p);
}

}  // namespace kv7
