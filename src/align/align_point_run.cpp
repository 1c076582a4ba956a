#include "align/align_point_run.h"

#include <algorithm>
#include <cmath>

#include "model/alignment_record.h"

namespace kv7 {

namespace {

constexpr double kSecondFrequency = 1.00001;  // the TXF line's second frequency: 10 ppm up
constexpr const char* kCheckAgain = ": connect again and check it.";

std::string valuesKept(int16_t onRadio, std::optional<int16_t> onItsWay) {
    std::string t = std::to_string(onRadio);
    if (onItsWay) t += " (or " + std::to_string(*onItsWay) + ", which was on its way)";
    return t;
}

// Power(Hi), Power(LO) and MOD: the item's value is searched for the target, sent as the keys
// send it.
class LevelPointRun : public PointRun {
  public:
    LevelPointRun(AlignPoint point, const AlignTarget& target)
        : item_(AlignItemOf(point)), measure_(AlignMeasureOf(point)), target_(target) {}

    bool prepare(const AlignRadio&, double& target, std::string&) override {
        target = target_.target;
        return true;
    }
    std::string targetText(const AlignRadio&, double target) const override {
        return AlignReadingText(measure_, target);
    }
    bool start(AlignRadio&) override { return false; }
    std::optional<int16_t> started(const AlignRadio&) const override { return std::nullopt; }
    bool firstStage() const override { return true; }
    double stageTarget(double target) const override { return target; }
    bool holds(const AlignRadio& radio, int16_t value) const override {
        return radio.changesSent() && radio.value(item_) == value;
    }
    Next passed(AlignRadio&, int16_t) override { return Next::Done; }
    double tableWindow() const override { return 0; }
    bool valueGoesBack() const override { return true; }
    bool putBackOwn(AlignRadio&) override { return false; }
    bool changedRadio(bool moved) const override { return moved; }
    std::string backText(int16_t valueBefore) const override {
        return "The value is back at " + std::to_string(valueBefore) + ".";
    }
    std::string lostText(int16_t onRadio, std::optional<int16_t> onItsWay) const override {
        return "The radio may keep the last value sent, " + valuesKept(onRadio, onItsWay) +
               kCheckAgain;
    }

  private:
    AlignItem item_;
    AlignMeasure measure_;
    AlignTarget target_;
};

// TXF: the procedure, started with Enter on its line as the technician would, shows the
// setting for the channel's frequency, then (unless TCXO) for 10 ppm above it; each is searched
// and confirmed with Enter, and the procedure derives the whole table from the two.
class TxfPointRun : public PointRun {
  public:
    explicit TxfPointRun(const AlignTarget& target) : target_(target) {}

    bool prepare(const AlignRadio& radio, double& target, std::string& why) override {
        const std::optional<double> f = radio.txFrequencyHz();
        if (!f) {
            why = "the selected channel has no transmit frequency";
            return false;
        }
        channelHz_ = target = *f;
        return true;
    }
    std::string targetText(const AlignRadio& radio, double target) const override {
        std::string t = AlignReadingText(AlignMeasure::Frequency, target);
        if (!radio.tcxo()) {
            t += ", then " + AlignReadingText(AlignMeasure::Frequency, target * kSecondFrequency) +
                 " (10 ppm up)";
        }
        return t;
    }
    bool start(AlignRadio& radio) override {
        radio.confirm(AlignItem::Txf);
        started_ = true;
        return true;
    }
    std::optional<int16_t> started(const AlignRadio& radio) const override {
        const int16_t now = radio.value(AlignItem::Txf);
        if (!radio.txfTracking(now) || radio.txfSecondSetting() != (stage_ == 1)) return {};
        return now;
    }
    bool firstStage() const override { return stage_ == 0; }
    double stageTarget(double target) const override {
        return stage_ == 0 ? target : target * kSecondFrequency;
    }
    bool holds(const AlignRadio& radio, int16_t value) const override {
        return radio.txfTracking(value) && radio.value(AlignItem::Txf) == value &&
               radio.txfSecondSetting() == (stage_ == 1);
    }
    Next passed(AlignRadio& radio, int16_t value) override {
        noteStep(value);
        radio.confirm(AlignItem::Txf);
        if (stage_ == 0 && !radio.tcxo()) {
            stage_ = 1;
            return Next::AwaitStart;
        }
        return Next::AwaitTable;
    }
    // The table reproduces the first setting only to its own rounding (the interpolation
    // between its bands): one step of the setting beyond the tolerance is its part.
    double tableWindow() const override { return target_.tolerance + stepHz_; }
    bool valueGoesBack() const override { return false; }
    bool putBackOwn(AlignRadio& radio) override {
        if (!started_) return false;
        radio.restoreTxfTable();
        return true;
    }
    bool changedRadio(bool) const override { return started_; }
    std::string backText(int16_t) const override { return "The TXF table is put back."; }
    std::string lostText(int16_t onRadio, std::optional<int16_t> onItsWay) const override {
        return "The radio may keep a TXF table written only in part and the last setting sent, " +
               valuesKept(onRadio, onItsWay) + kCheckAgain;
    }

  private:
    // A step of the setting is what the radio itself shows: the two settings 10 ppm apart
    // (10 ppm x f / (ref2 - ref1)), never the test set's readings, one of which may be an
    // outlier. With TCXO the table holds the one setting everywhere and rounds nothing.
    void noteStep(int16_t value) {
        if (stage_ == 0) {
            firstValue_ = value;
        } else if (value != firstValue_) {
            const double span = std::fabs(stageTarget(channelHz_) - channelHz_);
            stepHz_ = span / std::abs(value - firstValue_);
        }
    }

    AlignTarget target_;
    double channelHz_ = 0;
    int stage_ = 0;           // 0 at the channel's frequency, 1 at 10 ppm above it
    bool started_ = false;    // the procedure has begun, so the table goes back as a whole
    double stepHz_ = 0;       // how far one step of the setting moves the carrier
    int16_t firstValue_ = 0;  // the setting that gave the channel's own frequency
};

}  // namespace

std::unique_ptr<PointRun> MakePointRun(AlignPoint point, const AlignTarget& target) {
    if (point == AlignPoint::Txf) return std::make_unique<TxfPointRun>(target);
    return std::make_unique<LevelPointRun>(point, target);
}

}  // namespace kv7
