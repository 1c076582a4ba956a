#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "align/align_instrument.h"
#include "align/align_point_run.h"
#include "align/align_radio.h"
#include "align/align_search.h"
#include "align/align_targets.h"
#include "align/align_verdict.h"
#include "align/align_view.h"
#include "model/alignment_record.h"
#include "protocol/tick.h"
#include "store/message_sink.h"

namespace kv7 {

// Aligns points of the radio against the test set while the technician keeps the transmitter
// keyed. It changes an item only as the console's keys do (the value stepped, sent by the
// monitoring cycle with its pause, kept in the image) and TXF only through the TXF procedure's
// own steps, so nothing new goes on the radio's line. A run that ends early puts the item back.
class AlignRun {
  public:
    // Where a run stands: each state waits for one thing.
    enum class State {
        Idle,
        AwaitChannel,    // the channel the point transmits on is on its way to the radio
        AskKeyUp,        // waiting for OK on "Key the transmitter"
        AwaitCarrier,    // reading power until the test set sees the carrier
        StartPoint,      // the carrier is there: the search starts (TXF: Enter starts it)
        AwaitTxfStart,   // the procedure puts its starting setting on the radio
        AwaitValue,      // the cycle sends the value (TXF: writes its window of the table)
        Settle,          // the profile's settling time after the change
        CheckCarrier,    // a power reading before a reading of deviation or frequency
        Measure,         // the reading the aim asks for
        AwaitTxfEnd,     // after the last Enter: the table is written and the procedure ends
        AskResume,       // MaxKeyTime: waiting for OK on "release, rest, key again"
        AwaitResume,     // reading power until the carrier is back after the pause
        AwaitTableBack,  // TXF: the table as it was before the run is written back
        AwaitPutBack,    // the item and the channel go back to their values before the run
    };
    // What the point's next reading is for.
    enum class Aim {
        Search,      // a step of the search
        Verdict,     // the fresh reading at the value the search found best
        TableCheck,  // TXF: the carrier once the whole table is written
    };

    using Recorder = std::function<void(const AlignmentRecord&)>;

    AlignRun(AlignRadio& radio, AlignInstrument& instrument, TickSource& ticks,
             MessageSink& messages);

    void setView(AlignView* view) { view_ = view; }
    // Every point's record, as it ends.
    void setRecorder(Recorder r) { recorder_ = std::move(r); }
    void setTargets(const AlignTargets& targets) { targets_ = targets; }
    const AlignTargets& targets() const { return targets_; }

    // The points the technician may run now, and why none when that is so.
    bool offered(AlignPoint p) const { return targets_.of(p).has_value(); }
    std::string whyNot() const;
    // Starts the points in order; false (with the message shown) when it cannot.
    bool start(const std::vector<AlignPoint>& points);
    bool running() const { return state_ != State::Idle; }
    State state() const { return state_; }
    // The answer to the key-up question.
    void answer(bool ok);
    // Cancel, Esc or the window closing: the item goes back to its value before the run.
    void cancel();
    // The 50 ms heartbeat, after the controller's task.
    void task();

    // Records of the last run, in order.
    const std::vector<AlignmentRecord>& results() const { return results_; }

  private:
    struct Point {
        AlignPoint point = AlignPoint::PowerHi;
        AlignTarget target;
        AlignItem item = AlignItem::PowerHi;
        int16_t valueBefore = 0;
        std::optional<int16_t> channelBefore;  // the channel the run moved away from
    };
    enum class Ending { None, Failed, Cancelled, CarrierLost, TestSetFault, RadioLost };

    void beginPoint();
    void chooseChannel();
    void askKeyUpForPoint();
    void askKeyUp(const std::string& text, State question);
    void beginStage(double target);
    void setValue(int16_t v);
    void send(AlignItem item, int16_t v);
    void nextPutBack();
    void measure(Quantity q);
    void onReading(const Reading& r);
    void carrierReading(const Reading& r, bool resume);
    void carrierLost(double watts);
    void testSetFault(const Reading& r);
    void pointReading(const Reading& r);
    void searchDone();
    void stagePassed();
    void pointEnded(bool passed, const std::string& outcome);
    void verdictReading(double reading);
    void endPoint(Ending ending, const std::string& outcome);
    void pointOver(bool backOnLine);
    bool puttingBack() const;
    void finishRun();
    void advance();
    bool runStep();
    bool awaitChannel();
    bool awaitTxfStart();
    bool awaitValue();
    bool awaitPutBack();
    bool awaitCarrier();
    void enter(State s);
    bool timedOut();
    bool pause();
    bool keyTimeOver() const;
    Quantity quantity() const;
    int32_t elapsed(int32_t since) const;
    void progress(const std::string& state, std::optional<double> reading = std::nullopt);
    std::string reachText() const;
    std::string text(double reading) const;
    std::string toleranceText() const;

    AlignRadio& radio_;
    AlignInstrument& instrument_;
    TickSource& ticks_;
    MessageSink& messages_;
    AlignView* view_ = nullptr;
    Recorder recorder_;
    AlignTargets targets_;

    State state_ = State::Idle;
    Aim aim_ = Aim::Search;
    std::deque<AlignPoint> queue_;
    Point cur_;
    std::optional<AlignSearch> search_;
    std::unique_ptr<PointRun> kind_;  // how the point is aligned
    double stageTarget_ = 0;          // what the present search aims at
    AlignmentRecord rec_;
    int16_t value_ = 0;                                   // the value being sent or read
    AlignItem sendItem_ = AlignItem::PowerHi;             // the item whose value is on its way
    std::vector<std::pair<AlignItem, int16_t>> putBack_;  // items and values still to restore
    Ending ending_ = Ending::None;
    AlignVerdict verdict_;
    uint32_t verdictConnection_ = 0;   // the connection the verdict's first reading came over
    int16_t onRadio_ = 0;              // the point's value the radio is known to hold
    std::optional<int16_t> onItsWay_;  // a value stepped and not yet known on the radio
    bool moved_ = false;               // the search stepped the value away from its value before
    int32_t since_ = 0;                // when the present step began
    int32_t keyedAt_ = 0;              // when the carrier was seen
    std::optional<int32_t> lookedAt_;  // when the test set last saw no carrier yet
    unsigned reading_ = 0;  // the reading awaited; a late one of an earlier request is dropped
    bool awaiting_ = false;
    bool advancing_ = false;
    bool dirty_ = false;          // something happened that the steps have not looked at yet
    std::shared_ptr<int> alive_;  // readings arriving after the run is gone are dropped
    std::vector<AlignmentRecord> results_;
    std::vector<std::string> summary_;
};

}  // namespace kv7
