#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "align/align_radio.h"
#include "align/align_targets.h"

namespace kv7 {

// How one kind of point is aligned, beside what every point shares (its channel, the key-up
// question, the carrier, the search and its verdict, the values put back): what starts its
// search, when a value of the search is on the radio, what follows a verdict that passed, and
// what of its own goes back when it ends early. The level points (Power(Hi), Power(LO), MOD)
// search their item's value for one target; TXF searches two frequencies through the TXF
// procedure, which then writes the whole table.
class PointRun {
  public:
    // What follows a verdict that passed.
    enum class Next {
        Done,        // the point passed
        AwaitStart,  // TXF: the procedure starts its next stage
        AwaitTable,  // TXF: the procedure writes its whole table, which is then checked
    };

    virtual ~PointRun() = default;

    // Before the key-up question: the target, once the radio gives it; false with the reason.
    virtual bool prepare(const AlignRadio& radio, double& target, std::string& why) = 0;
    // The target as the key-up question names it.
    virtual std::string targetText(const AlignRadio& radio, double target) const = 0;
    // The carrier is there: true when the radio starts the stage itself (TXF: Enter starts the
    // procedure); false when the search starts from the item's value now.
    virtual bool start(AlignRadio& radio) = 0;
    // The setting the radio started the present stage with, once it is on the radio.
    virtual std::optional<int16_t> started(const AlignRadio& radio) const = 0;
    // The first stage (the one the record's value and reading after describe).
    virtual bool firstStage() const = 0;
    // What the present stage aims at.
    virtual double stageTarget(double target) const = 0;
    // The search's value is on the radio, every byte across the line.
    virtual bool holds(const AlignRadio& radio, int16_t value) const = 0;
    // The verdict at value passed.
    virtual Next passed(AlignRadio& radio, int16_t value) = 0;
    // TXF: how far the carrier may lie from the channel's frequency once the table is written.
    virtual double tableWindow() const = 0;

    // Ending early: the item's value goes back as the keys would send it.
    virtual bool valueGoesBack() const = 0;
    // Ending early: puts back what is the point's own; true when the radio is writing it.
    virtual bool putBackOwn(AlignRadio& radio) = 0;
    // The run changed the radio for the point (moved: the item's value left its value before).
    virtual bool changedRadio(bool moved) const = 0;
    // The sentence for what went back, once it is on the radio.
    virtual std::string backText(int16_t valueBefore) const = 0;
    // The sentence for what the radio may keep when it could not take back what the run
    // changed: the value it is known to hold, and one that was on its way to it.
    virtual std::string lostText(int16_t onRadio, std::optional<int16_t> onItsWay) const = 0;
};

std::unique_ptr<PointRun> MakePointRun(AlignPoint point, const AlignTarget& target);

}  // namespace kv7
