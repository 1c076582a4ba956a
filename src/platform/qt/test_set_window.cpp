#include "platform/qt/test_set_window.h"

#include <QEvent>
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
#include "platform/qt/beside_placement.h"
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
    setWindowTitle(QStringLiteral("Test set readings"));
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

    resultGroup_ = new QGroupBox(QStringLiteral("Last alignment"), this);
    auto* resultLayout = new QVBoxLayout(resultGroup_);
    results_ = new QLabel(resultGroup_);
    results_->setTextFormat(Qt::PlainText);
    results_->setWordWrap(true);
    results_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resultLayout->addWidget(results_);
    resultGroup_->hide();
    layout->addWidget(resultGroup_);

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
    if (parent != nullptr) parent->installEventFilter(this);
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
        // Room for the widest figure from the start, so the window keeps its size and place.
        r.value->setMinimumWidth(
            QFontMetrics(f).horizontalAdvance(QStringLiteral("000.000000 MHz")));
        r.note->setMinimumWidth(
            r.note->fontMetrics().horizontalAdvance(QStringLiteral("against 000.000000 MHz")));
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
    showFigures();
    showStatus();
    if (becameReady) present();
}

void TestSetWindow::showFigures() {
    const TestSetReadings& r = readings_;
    if (run_) {
        // The monitor rests while a run measures: a figure of before the run, or of another
        // point, would be read as this point's.
        const AlignProgress& p = *run_;
        for (const Row* row : {&power_, &frequency_, &error_, &deviation_}) {
            row->value->setText(kNone);
            row->note->setText(QString());
        }
        if (!pointReading_) return;
        const double reading = *pointReading_;
        const QString value = qs(AlignReadingText(p.measure, reading));
        switch (p.measure) {
            case AlignMeasure::Power:
                power_.value->setText(value);
                power_.note->setText(qs(DbmText(reading)));
                break;
            case AlignMeasure::Deviation: deviation_.value->setText(value); break;
            case AlignMeasure::Frequency:
                frequency_.value->setText(value);
                error_.value->setText(qs(FrequencyErrorText(reading - p.target)));
                error_.note->setText(QStringLiteral("against the target"));
                break;
        }
        return;
    }
    power_.value->setText(readingText(r.power, AlignMeasure::Power));
    power_.note->setText(r.power.valid ? qs(DbmText(r.power.value)) : QString());
    frequency_.value->setText(readingText(r.frequency, AlignMeasure::Frequency));
    frequency_.note->setText(QString());
    error_.value->setText(r.freqError.valid ? qs(FrequencyErrorText(r.freqError.value)) : kNone);
    QString against;
    if (r.state == TestSet::State::Ready) {
        against = r.txFreqHz ? QStringLiteral("against ") +
                                   qs(AlignReadingText(AlignMeasure::Frequency, *r.txFreqHz))
                             : QStringLiteral("no channel selected");
    }
    error_.note->setText(against);
    deviation_.value->setText(readingText(r.deviation, AlignMeasure::Deviation));
    deviation_.note->setText(QString());
}

void TestSetWindow::showAlignProgress(const AlignProgress& p) {
    const bool starting = !run_;
    // The point's latest reading stays while it sends and settles; a new point starts without.
    if (starting || run_->point != p.point) pointReading_.reset();
    if (p.reading) pointReading_ = p.reading;
    run_ = p;
    alignPoint_.value->setText(qs(p.point));
    alignPoint_.note->setText(qs(p.state));
    alignStep_.value->setText(QString::number(p.step));
    alignStep_.note->setText(QStringLiteral("value %1").arg(p.value));
    alignReading_.value->setText(p.reading ? qs(AlignReadingText(p.measure, *p.reading)) : kNone);
    alignTarget_.value->setText(qs(AlignReadingText(p.measure, p.target)));
    alignTarget_.note->setText(QStringLiteral("\u00b1 ") +
                               qs(AlignToleranceText(p.measure, p.tolerance)));
    alignGroup_->show();
    showFigures();
    showStatus();
    if (starting) {
        // A new run: the last one's results go, and the window comes up beside the main
        // window without taking the keys from it.
        resultGroup_->hide();
        results_->clear();
        if (isHidden()) placeBesideMain();
        show();
        raise();
        keepOnScreen();
    }
}

void TestSetWindow::endAlignProgress(const std::vector<std::string>& results) {
    run_.reset();
    pointReading_.reset();
    alignGroup_->hide();
    for (const Row* row : {&alignPoint_, &alignStep_, &alignReading_, &alignTarget_}) {
        row->value->setText(kNone);
        row->note->setText(QString());
    }
    QStringList lines;
    for (const std::string& l : results) lines << qs(l);
    results_->setText(lines.join(QLatin1Char('\n')));
    resultGroup_->setVisible(!lines.isEmpty());
    // Until the monitor measures again, the figures of before the run are no longer true.
    readings_.power = {};
    readings_.frequency = {};
    readings_.freqError = {};
    readings_.deviation = {};
    showFigures();
    showStatus();
    keepOnScreen();
}

// While a run goes on the status says how to stop it, since every other input only beeps.
void TestSetWindow::showStatus() {
    status_->setText(run_ ? QString::fromLatin1(kAligningStatus) : qs(readings_.status));
}

void TestSetWindow::present() {
    if (isHidden()) placeBesideMain();
    show();
    raise();
    activateWindow();
}

void TestSetWindow::placeBesideMain() {
    QWidget* main = parentWidget();
    if (main == nullptr || !main->isVisible()) return;
    const QRect screen = main->screen()->availableGeometry();
    // Before it is first shown the window knows no frame of its own: the main window's tells.
    const QSize frame = main->frameGeometry().size() - main->geometry().size();
    QSize size = sizeHint().expandedTo(this->size());
    size = size.boundedTo(screen.size() - frame);
    resize(size);
    const QRect clear = keepClear_ ? keepClear_() : main->frameGeometry();
    move(placeBeside(main->frameGeometry(), clear, size + frame, screen));
}

void TestSetWindow::keepOnScreen() {
    if (layout() != nullptr) layout()->activate();
    adjustSize();
    if (isHidden() || parentWidget() == nullptr) return;
    const QRect screen = parentWidget()->screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - geometry().size();
    if (!screen.contains(QRect(frameGeometry().topLeft(), size() + frame))) placeBesideMain();
}

// While a run goes on, the main window coming to the front brings this one up after it.
bool TestSetWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::WindowActivate && run_ &&
        isVisible()) {
        raise();
    }
    return QWidget::eventFilter(watched, event);
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
    if (resultGroup_->isVisibleTo(this)) {
        for (const QString& l : results_->text().split(QLatin1Char('\n')))
            out.push_back("last alignment: " + l.toStdString());
    }
    return out;
}

}  // namespace kv7
