#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "align/align_view.h"
#include "testset/test_set_monitor.h"

class QGroupBox;
class QGridLayout;
class QLabel;

namespace kv7 {

// "36.7 dBm" for a power in W.
std::string DbmText(double watts);
// "+12 Hz", "-3 Hz": a frequency error, whole hertz with its sign.
std::string FrequencyErrorText(double hz);

// The "Test set readings" window beside the main window: the latest power, carrier frequency
// with its error against the selected channel, and deviation in large figures, and one status
// line. It is never modal, and closing it only hides it. While an alignment runs it shows where
// the run stands, the run's own reading in the large figures, and stays above the main window;
// after the run, the run's result lines stay until the next run begins.
class TestSetWindow : public QWidget, public TestSetView {
  public:
    explicit TestSetWindow(QWidget* parent = nullptr);

    void showReadings(const TestSetReadings& readings) override;
    void showAlignProgress(const AlignProgress& p);
    // The run is over; `results` are its lines, one a point, kept in view until the next run.
    void endAlignProgress(const std::vector<std::string>& results = {});

    // Shown and brought to the front, beside the main window (never over it where the screen has
    // room, never over its buttons, all of it on the screen) when it opens.
    void present();
    // The part of the screen it must not cover (the main window's buttons); none: all of the
    // main window.
    void setKeepClear(std::function<QRect()> keepClear) { keepClear_ = std::move(keepClear); }

    const TestSetReadings& readings() const { return readings_; }
    // Snapshots shown while the test set was ready. The monitor shows one after each reading,
    // taking power, frequency and deviation in turn, so three more mean all three read anew.
    int readyUpdates() const { return readyUpdates_; }
    // What the window shows, a line a row: the status, each reading, the alignment when shown.
    std::vector<std::string> lines() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Row {
        QLabel* caption = nullptr;
        QLabel* value = nullptr;
        QLabel* note = nullptr;
    };

    Row addRow(QGridLayout* grid, const QString& caption, bool large);
    void showStatus();
    // The large figures: the monitor's readings, or during a run only the run's own reading.
    void showFigures();
    void placeBesideMain();
    // After a panel came or went: all of it stays on the screen.
    void keepOnScreen();
    static std::string rowLine(const Row& row);

    Row power_;
    Row frequency_;
    Row error_;
    Row deviation_;
    QLabel* status_ = nullptr;
    QGroupBox* alignGroup_ = nullptr;
    Row alignPoint_;
    Row alignStep_;
    Row alignReading_;
    Row alignTarget_;
    QGroupBox* resultGroup_ = nullptr;
    QLabel* results_ = nullptr;
    // The run's latest progress while one goes on.
    std::optional<AlignProgress> run_;
    std::optional<double> pointReading_;  // the latest of the point shown in run_
    std::function<QRect()> keepClear_;
    TestSetReadings readings_;
    int readyUpdates_ = 0;
};

}  // namespace kv7
