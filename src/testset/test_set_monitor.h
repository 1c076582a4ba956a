#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "testset/test_set.h"

namespace kv7 {

// What the "Test set" window shows: the latest reading of each quantity and one status line.
struct TestSetReadings {
    TestSet::State state = TestSet::State::Disconnected;
    // "Disconnected", "Connecting to ...", "No carrier", "No reading: why", the connection's
    // failure, or "Connected to ... (profile)" while every reading is good.
    std::string status;
    Reading power;                   // W
    Reading frequency;               // Hz, the carrier
    Reading freqError;               // Hz, against the selected channel's transmit frequency
    Reading deviation;               // Hz
    std::optional<double> txFreqHz;  // what the error is measured against
    bool carrier = false;            // power at or above the profile's Carrier=
};

class TestSetView {
  public:
    virtual ~TestSetView() = default;
    virtual void showReadings(const TestSetReadings& readings) = 0;
};

// Keeps the window's readings fresh: while the test set is ready and the monitor is not
// paused it measures power, then frequency, then deviation, round and round, and shows the
// snapshot after each reading and whenever the connection's state changes.
class TestSetMonitor {
  public:
    // The selected channel's transmit frequency, none before the radio has been read.
    using TxFrequency = std::function<std::optional<double>()>;

    TestSetMonitor(TestSet& testSet, TestSetView& view, TxFrequency txFrequency);
    ~TestSetMonitor();

    // While paused (the alignment measures through the test set itself) nothing is started;
    // a reading under way still arrives.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    void task();  // on the program's heartbeat, after the test set's task
    const TestSetReadings& readings() const { return readings_; }

  private:
    enum class Step { Power, Frequency, Deviation };

    void start();
    void took(Step step, const Reading& a, const Reading& b = {});
    void show();
    std::string status() const;

    TestSet& testSet_;
    TestSetView& view_;
    TxFrequency txFrequency_;
    bool paused_ = false;
    bool busy_ = false;
    Step next_ = Step::Power;
    std::string shownState_;
    TestSetReadings readings_;
    // Readings that arrive after the monitor is gone are dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kv7
