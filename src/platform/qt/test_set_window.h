#pragma once
#include <QWidget>
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

// The "Test set" window beside the main window: the latest power, carrier frequency with its
// error against the selected channel, and deviation in large figures, and one status line. It
// is never modal, and closing it only hides it. While an alignment runs it also shows where
// the run stands.
class TestSetWindow : public QWidget, public TestSetView {
  public:
    explicit TestSetWindow(QWidget* parent = nullptr);

    void showReadings(const TestSetReadings& readings) override;
    void showAlignProgress(const AlignProgress& p);
    void endAlignProgress();

    // Shown and brought to the front, beside the main window the first time.
    void present();

    const TestSetReadings& readings() const { return readings_; }
    // Snapshots shown while the test set was ready. The monitor shows one after each reading,
    // taking power, frequency and deviation in turn, so three more mean all three read anew.
    int readyUpdates() const { return readyUpdates_; }
    // What the window shows, a line a row: the status, each reading, the alignment when shown.
    std::vector<std::string> lines() const;

  private:
    struct Row {
        QLabel* caption = nullptr;
        QLabel* value = nullptr;
        QLabel* note = nullptr;
    };

    Row addRow(QGridLayout* grid, const QString& caption, bool large);
    void showStatus();
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
    TestSetReadings readings_;
    int readyUpdates_ = 0;
    bool placed_ = false;
};

}  // namespace kv7
