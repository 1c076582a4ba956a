#include "align/align_run.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kv7 {

namespace {

constexpr int32_t kCarrierWaitMs = 15000;  // for the test set to see the carrier after OK
constexpr int32_t kSendWaitMs = 15000;     // for the cycle to send a value (a few 100 ms)
// Between two looks for the carrier: the technician keys within a second or two, and a test set
// that answers at once is not asked thousands of times a second meanwhile.
constexpr int32_t kCarrierLookMs = 100;

}  // namespace

AlignRun::AlignRun(AlignRadio& radio, AlignInstrument& instrument, TickSource& ticks,
                   MessageSink& messages)
    : radio_(radio),
      instrument_(instrument),
      ticks_(ticks),
      messages_(messages),
      alive_(std::make_shared<int>(0)) {}

std::string AlignRun::whyNot() const {
    if (!radio_.connected()) {
        return "Connect the radio first: alignment needs the console.";
    }
    if (!instrument_.ready()) {
        return "Connect the test set first (Option > Test set...): " + instrument_.fault();
    }
    return {};
}

bool AlignRun::start(const std::vector<AlignPoint>& points) {
    if (running() || points.empty()) return false;
    std::string why = whyNot();
    if (why.empty() && radio_.procedureRunning()) {
        why = "A TXF procedure or BPF sweep is running: let it end before an alignment.";
    }
    for (AlignPoint p : points) {
        if (why.empty() && !offered(p)) {
            why = std::string(AlignPointName(p)) + " has no section in Align.ini.";
        }
    }
    if (!why.empty()) {
        messages_.showMessage(why);
        return false;
    }
    results_.clear();
    summary_.clear();
    instrument_.setRunActive(true);
    queue_.assign(points.begin(), points.end());
    beginPoint();
    return true;
}

// ---- one point ---------------------------------------------------------------------------------

void AlignRun::beginPoint() {
    if (queue_.empty()) return finishRun();
    cur_ = Point{};
    cur_.point = queue_.front();
    queue_.pop_front();
    cur_.target = *targets_.of(cur_.point);
    ending_ = Ending::None;
    aim_ = Aim::Search;
    kind_ = MakePointRun(cur_.point, cur_.target);
    putBack_.clear();
    search_.reset();
    cur_.item = AlignItemOf(cur_.point);
    rec_ = AlignmentRecord{};
    rec_.point = AlignPointName(cur_.point);
    rec_.measure = AlignMeasureOf(cur_.point);
    rec_.target = cur_.target.target;
    rec_.tolerance = cur_.target.tolerance;
    cur_.valueBefore = value_ = radio_.value(cur_.item);
    onRadio_ = cur_.valueBefore;
    onItsWay_.reset();
    moved_ = false;
    rec_.valueBefore = rec_.valueAfter = cur_.valueBefore;
    chooseChannel();
}

// The radio transmits on the selected channel: a power point needs one whose power flag picks
// its item, every point one that transmits. Another channel is selected as "    CH No." would
// select it, and selected back when the point ends.
void AlignRun::chooseChannel() {
    std::optional<bool> low;
    if (cur_.point == AlignPoint::PowerHi) low = false;
    if (cur_.point == AlignPoint::PowerLo) low = true;
    const int16_t now = radio_.value(AlignItem::Channel);
    const int16_t entry = radio_.transmittingChannel(low, now);
    if (entry < 0) {
        return endPoint(Ending::Failed,
                        low ? std::string("no memory channel in use transmits with ") +
                                  (*low ? "Low" : "High") + " power"
                            : std::string("no memory channel in use has a transmit frequency"));
    }
    if (entry == now) return askKeyUpForPoint();
    cur_.channelBefore = now;
    send(AlignItem::Channel, entry);
    enter(State::AwaitChannel);
}

void AlignRun::askKeyUpForPoint() {
    std::string why;
    if (!kind_->prepare(radio_, rec_.target, why)) return endPoint(Ending::Failed, why);
    std::string question = "Key the transmitter (PTT) and keep it keyed.\n\n" + rec_.point +
                           ": target " + kind_->targetText(radio_, rec_.target) + " within " +
                           toleranceText() + ".";
    if (!cur_.target.note.empty()) question += "\n" + cur_.target.note;
    askKeyUp(question, State::AskKeyUp);
}

void AlignRun::askKeyUp(const std::string& text, State question) {
    enter(question);
    progress(question == State::AskResume ? "paused: release and key again"
                                          : "key the transmitter");
    if (view_ != nullptr) {
        view_->askKeyUp(text);
    } else {
        answer(true);
    }
}

void AlignRun::answer(bool ok) {
    if (state_ != State::AskKeyUp && state_ != State::AskResume) return;
    if (!ok) return endPoint(Ending::Cancelled, "cancelled by the technician");
    lookedAt_.reset();
    enter(state_ == State::AskResume ? State::AwaitResume : State::AwaitCarrier);
    progress("waiting for the carrier");
    dirty_ = true;
    advance();
}

void AlignRun::cancel() {
    if (!running()) return;
    if (puttingBack()) {
        queue_.clear();  // the point's ending stands; no further point starts
        return;
    }
    // A reading on its way is dropped; a value on its way is overtaken by the old one.
    awaiting_ = false;
    endPoint(Ending::Cancelled, "cancelled by the technician");
}

void AlignRun::beginStage(double target) {
    stageTarget_ = target;
    aim_ = Aim::Search;
    search_.emplace(radio_.min(cur_.item), radio_.max(cur_.item), value_, target,
                    cur_.target.tolerance, cur_.target.maxSteps);
}

// The value goes to the radio as the keys would send it: stepped on the console, sent by the
// monitoring cycle with the item's pause.
void AlignRun::setValue(int16_t v) {
    send(cur_.item, v);
    onItsWay_ = v;
    moved_ = moved_ || v != cur_.valueBefore;
    enter(State::AwaitValue);
    progress("sending");
}

void AlignRun::send(AlignItem item, int16_t v) {
    sendItem_ = item;
    value_ = v;
    const int16_t now = radio_.value(item);
    if (v != now) radio_.step(item, static_cast<int16_t>(v - now));
}

void AlignRun::enter(State s) {
    state_ = s;
    since_ = ticks_.GetTickCount();
}

void AlignRun::measure(Quantity q) {
    awaiting_ = true;
    const unsigned id = ++reading_;
    const std::weak_ptr<int> alive = alive_;
    instrument_.measure(q, radio_.txFrequencyHz(), [this, id, alive](const Reading& r) {
        if (alive.expired() || id != reading_ || !awaiting_) return;
        awaiting_ = false;
        onReading(r);
        dirty_ = true;
        advance();
    });
}

void AlignRun::onReading(const Reading& r) {
    switch (state_) {
        case State::AwaitCarrier: return carrierReading(r, false);
        case State::AwaitResume: return carrierReading(r, true);
        case State::CheckCarrier:
            if (!r.valid) return testSetFault(r);
            if (r.value < instrument_.carrierW()) return carrierLost(r.value);
            state_ = State::Measure;
            return;
        case State::Measure: return pointReading(r);
        default: return;
    }
}

void AlignRun::carrierReading(const Reading& r, bool resume) {
    // No carrier yet is asked again; a connection that ended will give nothing more.
    if (!r.valid && EndsConnection(r.fault)) {
        return endPoint(Ending::TestSetFault, "the test set failed: " + instrument_.fault());
    }
    if (!r.valid || r.value < instrument_.carrierW()) {
        lookedAt_ = ticks_.GetTickCount();  // asked again a moment later
        return;
    }
    keyedAt_ = ticks_.GetTickCount();
    since_ = keyedAt_;
    state_ = resume ? State::Settle : State::StartPoint;
}

void AlignRun::testSetFault(const Reading& r) {
    endPoint(Ending::TestSetFault, "the test set gave no reading: " + r.reason);
}

void AlignRun::carrierLost(double watts) {
    endPoint(Ending::CarrierLost, "the carrier was lost (" +
                                      AlignReadingText(AlignMeasure::Power, watts) +
                                      "): the transmitter was released during the run");
}

void AlignRun::pointReading(const Reading& r) {
    if (!r.valid) return testSetFault(r);
    if (quantity() == Quantity::Power && r.value < instrument_.carrierW()) {
        return carrierLost(r.value);
    }
    progress(aim_ == Aim::Search ? "searching" : "checking", r.value);
    if (aim_ != Aim::Search) return verdictReading(r.value);
    if (!rec_.readingBefore) rec_.readingBefore = r.value;
    rec_.steps.push_back({value_, r.value, stageTarget_});
    search_->take(value_, r.value);
    if (const std::optional<int16_t> next = search_->next()) return setValue(*next);
    searchDone();
}

// The verdict takes fresh readings at the final value, each through an exchange that stays in
// step with the test set; it stands only when all of them agree with the target.
void AlignRun::verdictReading(double reading) {
    if (verdict_.readings().empty()) verdictConnection_ = instrument_.connection();
    verdict_.take(reading);
    if (!verdict_.complete()) {
        state_ = quantity() == Quantity::Power ? State::Measure : State::CheckCarrier;
        return;
    }
    const bool table = aim_ == Aim::TableCheck;
    if (table || kind_->firstStage()) {
        if (!table) rec_.valueAfter = value_;
        rec_.readingAfter = verdict_.mean();
        rec_.checks = verdict_.readings();
    }
    const double allowed = table ? kind_->tableWindow() : cur_.target.tolerance;
    if (table) rec_.window = allowed;
    if (!instrument_.ready()) {
        return endPoint(Ending::TestSetFault, "the test set failed: " + instrument_.fault());
    }
    if (instrument_.connection() != verdictConnection_) {
        return endPoint(Ending::TestSetFault,
                        "the test set was connected again during the verdict: its readings "
                        "did not come over one exchange");
    }
    const std::string why =
        verdict_.fault(rec_.measure, value_, stageTarget_, allowed, cur_.target.tolerance);
    if (!why.empty()) return pointEnded(false, table ? "with the table written, " + why : why);
    if (table) return pointEnded(true, {});
    stagePassed();
}

void AlignRun::searchDone() {
    const std::string name = rec_.point;
    switch (search_->outcome()) {
        case AlignSearch::Outcome::Converged:
        case AlignSearch::Outcome::StepsUsed: {
            aim_ = Aim::Verdict;
            verdict_.clear();
            const int16_t best = search_->best().value;
            if (best == value_) {
                state_ = State::Measure;  // a fresh reading at the same value
            } else {
                setValue(best);
            }
            return;
        }
        case AlignSearch::Outcome::OutOfReach:
            return pointEnded(false, name + " cannot reach " + text(stageTarget_) +
                                         " within its limits: " + reachText());
        case AlignSearch::Outcome::Flat:
            return pointEnded(false, "the reading does not follow " + name + " (" + reachText() +
                                         "): is the test set measuring this radio?");
        case AlignSearch::Outcome::WrongWay:
            return pointEnded(false, "the reading falls as " + name + " rises (" + reachText() +
                                         "): is the test set measuring this radio?");
        case AlignSearch::Outcome::Searching: return;
    }
}

// A point may have more to do once a verdict passed: TXF confirms each frequency with Enter on
// its line, as the technician would, and has its whole table written and checked.
void AlignRun::stagePassed() {
    switch (kind_->passed(radio_, value_)) {
        case PointRun::Next::Done: return pointEnded(true, {});
        case PointRun::Next::AwaitStart: enter(State::AwaitTxfStart); break;
        case PointRun::Next::AwaitTable: enter(State::AwaitTxfEnd); break;
    }
    progress("confirming");
}

void AlignRun::pointEnded(bool passed, const std::string& outcome) {
    endPoint(passed ? Ending::None : Ending::Failed, outcome);
}

// The point's verdict is known: it goes into the results at once (Esc from here on ends the run
// after this point), and a point that did not pass puts back what it changed (TXF: its table)
// while the line is there.
void AlignRun::endPoint(Ending ending, const std::string& outcome) {
    ending_ = ending;
    rec_.passed = ending == Ending::None;
    rec_.cancelled = ending == Ending::Cancelled;
    rec_.outcome = outcome;
    while (!rec_.outcome.empty() && rec_.outcome.back() == '.') rec_.outcome.pop_back();
    if (!rec_.passed) rec_.valueAfter = cur_.valueBefore;
    results_.push_back(rec_);
    putBack_.clear();
    if (ending == Ending::RadioLost) return pointOver(false);
    const bool failed = ending != Ending::None;
    if (failed && kind_->valueGoesBack()) putBack_.push_back({cur_.item, cur_.valueBefore});
    if (cur_.channelBefore) putBack_.push_back({AlignItem::Channel, *cur_.channelBefore});
    if (failed && kind_->putBackOwn(radio_)) {
        enter(State::AwaitTableBack);
        progress("putting the TXF table back");
        return;
    }
    nextPutBack();
}

// What the run changed goes back one item after the other, each as the keys would send it.
void AlignRun::nextPutBack() {
    if (putBack_.empty()) return pointOver(true);
    const auto [item, value] = putBack_.front();
    putBack_.erase(putBack_.begin());
    send(item, value);
    if (item == cur_.item) onItsWay_ = value;
    enter(State::AwaitPutBack);
    progress("putting the value back");
}

// The point is over, and what it changed is back on the radio or could not be put back: the
// record, the summary and the report say the same of it.
void AlignRun::pointOver(bool backOnLine) {
    if (!rec_.passed && kind_->changedRadio(moved_)) {
        rec_.backOnRadio = backOnLine;
        if (backOnLine) {
            rec_.putBack = kind_->backText(cur_.valueBefore);
        } else {
            const std::optional<int16_t> way =
                onItsWay_ && *onItsWay_ != onRadio_ ? onItsWay_ : std::nullopt;
            rec_.putBack = kind_->lostText(onRadio_, way);
            rec_.valueAfter = onRadio_;
        }
    }
    results_.back() = rec_;
    if (recorder_) recorder_(rec_);
    summary_.push_back(AlignResultLine(rec_));
    const bool stopAll = !backOnLine || (ending_ != Ending::None && ending_ != Ending::Failed);
    if (stopAll) queue_.clear();
    beginPoint();
}

void AlignRun::finishRun() {
    state_ = State::Idle;
    instrument_.setRunActive(false);
    std::string text = "Alignment against the test set:";
    for (const std::string& l : summary_) text += "\n" + l;
    messages_.showMessage(text);
    if (view_ != nullptr) view_->runEnded();
}

// ---- the heartbeat -----------------------------------------------------------------------------

void AlignRun::task() {
    if (!running()) return;
    dirty_ = true;
    advance();
}

// Runs the steps that can go on now; a reading that arrives while they run is taken after.
void AlignRun::advance() {
    if (advancing_) return;
    advancing_ = true;
    while (dirty_) {
        dirty_ = false;
        while (running() && runStep()) {
        }
    }
    advancing_ = false;
}

bool AlignRun::runStep() {
    if (!radio_.connected()) {
        awaiting_ = false;
        if (puttingBack()) {
            pointOver(false);
        } else {
            endPoint(Ending::RadioLost,
                     "the monitoring cycle stopped during the run (a communication "
                     "error, Connect or Disp para)");
        }
        return true;
    }
    switch (state_) {
        case State::Idle:
        case State::AskKeyUp:
        case State::AskResume: return false;
        case State::AwaitCarrier:
        case State::AwaitResume: return awaitCarrier();
        case State::AwaitChannel: return awaitChannel();
        case State::StartPoint:
            if (kind_->start(radio_)) {
                enter(State::AwaitTxfStart);
                return true;
            }
            value_ = radio_.value(cur_.item);
            beginStage(kind_->stageTarget(rec_.target));
            state_ = State::Settle;
            return true;
        case State::AwaitTxfStart: return awaitTxfStart();
        case State::AwaitValue: return awaitValue();
        case State::Settle:
            if (elapsed(since_) < instrument_.settleMs(quantity())) return false;
            if (keyTimeOver()) return pause();
            state_ = quantity() == Quantity::Power ? State::Measure : State::CheckCarrier;
            return true;
        case State::CheckCarrier:
        case State::Measure:
            if (awaiting_) return false;
            measure(state_ == State::CheckCarrier ? Quantity::Power : quantity());
            return false;
        case State::AwaitTxfEnd:
            if (radio_.procedureRunning() || !radio_.changesSent()) return timedOut();
            aim_ = Aim::TableCheck;
            verdict_.clear();
            stageTarget_ = rec_.target;
            enter(State::Settle);
            return true;
        case State::AwaitTableBack:
            if (radio_.procedureRunning() || !radio_.changesSent()) return timedOut();
            nextPutBack();
            return true;
        case State::AwaitPutBack: return awaitPutBack();
    }
    return false;
}

bool AlignRun::awaitCarrier() {
    if (awaiting_) return false;
    if (elapsed(since_) > kCarrierWaitMs) {
        endPoint(Ending::CarrierLost, "the test set saw no carrier within " +
                                          std::to_string(kCarrierWaitMs / 1000) + " s");
        return true;
    }
    if (lookedAt_ && elapsed(*lookedAt_) < kCarrierLookMs) return false;
    lookedAt_.reset();
    measure(Quantity::Power);
    return false;
}

// The channel for the point is on the radio once the cycle has sent it.
bool AlignRun::awaitChannel() {
    if (!radio_.changesSent() || radio_.value(AlignItem::Channel) != value_) return timedOut();
    askKeyUpForPoint();
    return true;
}

// TXF: the procedure has put its starting setting for the stage on the radio, its window of the
// table written.
bool AlignRun::awaitTxfStart() {
    const std::optional<int16_t> now = kind_->started(radio_);
    if (!now) return timedOut();
    value_ = onRadio_ = *now;  // what the radio holds if the line goes from here on
    onItsWay_.reset();
    if (kind_->firstStage()) rec_.valueBefore = cur_.valueBefore = *now;
    beginStage(kind_->stageTarget(rec_.target));
    enter(State::Settle);
    progress("settling");
    return true;
}

// The value has reached the radio once the cycle has sent it and let its pause pass; for TXF
// once the procedure has written its window of the table for it.
bool AlignRun::awaitValue() {
    if (!kind_->holds(radio_, value_)) return timedOut();
    onRadio_ = value_;
    onItsWay_.reset();
    enter(State::Settle);
    progress("settling");
    return true;
}

bool AlignRun::awaitPutBack() {
    if (!radio_.changesSent() || radio_.value(sendItem_) != value_) return timedOut();
    if (sendItem_ == cur_.item) {
        onRadio_ = value_;
        onItsWay_.reset();
    }
    nextPutBack();
    return true;
}

bool AlignRun::timedOut() {
    if (elapsed(since_) <= kSendWaitMs) return false;
    // Without its line the value cannot be put back either.
    if (puttingBack()) {
        pointOver(false);
    } else {
        endPoint(Ending::RadioLost, "the radio did not take the value within " +
                                        std::to_string(kSendWaitMs / 1000) + " s");
    }
    return true;
}

bool AlignRun::puttingBack() const {
    return state_ == State::AwaitTableBack || state_ == State::AwaitPutBack;
}

bool AlignRun::pause() {
    askKeyUp("The transmitter has been keyed for " + std::to_string(cur_.target.maxKeyTimeS) +
                 " s (MaxKeyTime of " + rec_.point +
                 "): the run pauses.\n\nRelease PTT and let the radio rest. Then key the "
                 "transmitter (PTT) and keep it keyed, and press OK to go on; Cancel ends the run "
                 "and puts " +
                 rec_.point + " back.",
             State::AskResume);
    return false;
}

// ---- helpers -----------------------------------------------------------------------------------

bool AlignRun::keyTimeOver() const {
    return elapsed(keyedAt_) > cur_.target.maxKeyTimeS * 1000;
}

Quantity AlignRun::quantity() const {
    return AlignQuantity(cur_.point);
}

int32_t AlignRun::elapsed(int32_t since) const {
    return static_cast<int32_t>(static_cast<uint32_t>(ticks_.GetTickCount()) -
                                static_cast<uint32_t>(since));
}

void AlignRun::progress(const std::string& state, std::optional<double> reading) {
    if (view_ == nullptr) return;
    AlignProgress p;
    p.point = rec_.point;
    p.state = state;
    p.step = static_cast<int>(rec_.steps.size());
    p.value = radio_.value(cur_.item);
    p.reading = reading;
    p.measure = rec_.measure;
    p.target = search_ ? stageTarget_ : rec_.target;
    p.tolerance = rec_.tolerance;
    view_->showProgress(p);
}

std::string AlignRun::reachText() const {
    std::string out;
    for (const AlignSearch::Probe& p : search_->probes()) {
        if (p.value != radio_.min(cur_.item) && p.value != radio_.max(cur_.item) &&
            search_->outcome() == AlignSearch::Outcome::OutOfReach) {
            continue;
        }
        if (!out.empty()) out += ", ";
        out += text(p.reading) + " at " + std::to_string(p.value);
    }
    return out;
}

std::string AlignRun::text(double reading) const {
    return AlignReadingText(rec_.measure, reading);
}

std::string AlignRun::toleranceText() const {
    return "+/- " + AlignToleranceText(rec_.measure, cur_.target.tolerance);
}

}  // namespace kv7
