#include "platform/qt/test_set_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/align_station.h"
#include "model/alignment_record.h"
#include "platform/qt/qt_strings.h"

namespace kv7 {

namespace {

const QString kNone = QStringLiteral("\u2014");

QString readingText(const Reading& r, AlignMeasure measure) {
    return r.valid ? qs(AlignReadingText(measure, r.value)) : kNone;
}

}  // namespace

std::string DbmText(double watts) {
    if (!(watts > 0)) return "-inf dBm";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f dBm", 10.0 * std::log10(watts * 1000.0));
    return buf;
}

std::string FrequencyErrorText(double hz) {
    const long n = std::lround(hz);
    return (n >= 0 ? "+" : "") + std::to_string(n) + " Hz";
}

TestSetWindow::TestSetWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Test set"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    power_ = addRow(grid, QStringLiteral("Power"), true);
    frequency_ = addRow(grid, QStringLiteral("Frequency"), true);
    error_ = addRow(grid, QStringLiteral("Error"), true);
    deviation_ = addRow(grid, QStringLiteral("Deviation"), true);

    alignGroup_ = new QGroupBox(QStringLiteral("Alignment"), this);
    auto* alignGrid = new QGridLayout(alignGroup_);
    alignGrid->setColumnStretch(1, 1);
    alignPoint_ = addRow(alignGrid, QStringLiteral("Point"), false);
    alignStep_ = addRow(alignGrid, QStringLiteral("Step"), false);
    alignReading_ = addRow(alignGrid, QStringLiteral("Reading"), false);
    alignTarget_ = addRow(alignGrid, QStringLiteral("Target"), false);
    alignGroup_->hide();
    layout->addWidget(alignGroup_);

    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2 + 8);
    layout->addWidget(status_);
    layout->addStretch(1);
    showReadings({});
    status_->setText(QStringLiteral("Disconnected"));
    resize(460, sizeHint().height());
}

TestSetWindow::Row TestSetWindow::addRow(QGridLayout* grid, const QString& caption, bool large) {
    const int row = grid->rowCount();
    Row r;
    r.caption = new QLabel(caption, grid->parentWidget());
    r.value = new QLabel(kNone, grid->parentWidget());
    r.note = new QLabel(grid->parentWidget());
    for (QLabel* l : {r.caption, r.value, r.note}) l->setTextFormat(Qt::PlainText);
    r.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (large) {
        QFont f = r.value->font();
        f.setPointSizeF(f.pointSizeF() * 2);
        f.setBold(true);
        r.value->setFont(f);
    }
    grid->addWidget(r.caption, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(r.value, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(r.note, row, 2, Qt::AlignLeft | Qt::AlignVCenter);
    return r;
}

void TestSetWindow::showReadings(const TestSetReadings& r) {
    const bool becameReady =
        r.state == TestSet::State::Ready && readings_.state != TestSet::State::Ready;
    readings_ = r;
    if (r.state == TestSet::State::Ready) ++readyUpdates_;

    power_.value->setText(readingText(r.power, AlignMeasure::Power));
    power_.note->setText(r.power.valid ? qs(DbmText(r.power.value)) : QString());
    frequency_.value->setText(readingText(r.frequency, AlignMeasure::Frequency));
    error_.value->setText(r.freqError.valid ? qs(FrequencyErrorText(r.freqError.value)) : kNone);
    QString against;
    if (r.state == TestSet::State::Ready) {
        against = r.txFreqHz ? QStringLiteral("against ") +
                                   qs(AlignReadingText(AlignMeasure::Frequency, *r.txFreqHz))
                             : QStringLiteral("no channel selected");
    }
    error_.note->setText(against);
    deviation_.value->setText(readingText(r.deviation, AlignMeasure::Deviation));
    showStatus();
    if (becameReady) present();
}

void TestSetWindow::showAlignProgress(const AlignProgress& p) {
    alignPoint_.value->setText(qs(p.point));
    alignPoint_.note->setText(qs(p.state));
    alignStep_.value->setText(QString::number(p.step));
    alignStep_.note->setText(QStringLiteral("value %1").arg(p.value));
    alignReading_.value->setText(p.reading ? qs(AlignReadingText(p.measure, *p.reading)) : kNone);
    alignTarget_.value->setText(qs(AlignReadingText(p.measure, p.target)));
    alignTarget_.note->setText(QStringLiteral("\u00b1 ") +
                               qs(AlignToleranceText(p.measure, p.tolerance)));
    alignGroup_->show();
    showStatus();
}

void TestSetWindow::endAlignProgress() {
    alignGroup_->hide();
    showStatus();
}

// While a run goes on the status says how to stop it, since every other input only beeps.
void TestSetWindow::showStatus() {
    status_->setText(alignGroup_->isVisibleTo(this) ? QString::fromLatin1(kAligningStatus)
                                                    : qs(readings_.status));
}

void TestSetWindow::present() {
    if (!placed_ && parentWidget() != nullptr) {
        placed_ = true;
        // To the right of the main window, as far as the screen leaves room.
        const QRect main = parentWidget()->frameGeometry();
        const QRect screen = parentWidget()->screen()->availableGeometry();
        const int x = std::min(main.right() + 8, screen.right() - frameGeometry().width());
        move(std::max(screen.left(), x), main.top());
    }
    show();
    raise();
    activateWindow();
}

std::string TestSetWindow::rowLine(const Row& row) {
    std::string line =
        row.caption->text().toLower().toStdString() + ": " + row.value->text().toStdString();
    if (!row.note->text().isEmpty()) line += " (" + row.note->text().toStdString() + ")";
    return line;
}

std::vector<std::string> TestSetWindow::lines() const {
    std::vector<std::string> out{"status: " + status_->text().toStdString()};
    for (const Row* row : {&power_, &frequency_, &error_, &deviation_})
        out.push_back(rowLine(*row));
    if (alignGroup_->isVisibleTo(this)) {
        for (const Row* row : {&alignPoint_, &alignStep_, &alignReading_, &alignTarget_})
            out.push_back("alignment " + rowLine(*row));
    }
    return out;
}

}  // namespace kv7
