#pragma once
#include <cstdint>
#include <optional>

namespace kv7 {

// What an alignment changes on the radio: the point's own item, and the channel it transmits on.
enum class AlignItem { PowerHi, PowerLo, Mod, Txf, Channel };

// The radio as an alignment reaches it: only as the technician's keys would (a value stepped
// on the console and sent by the monitoring cycle, Enter on a line) and through what the
// running connection tells, so nothing new goes on the radio's line.
class AlignRadio {
  public:
    virtual ~AlignRadio() = default;

    // The radio is read and the monitoring cycle runs: values can be changed and sent.
    virtual bool connected() const = 0;
    // A TXF procedure or a BPF sweep runs.
    virtual bool procedureRunning() const = 0;

    virtual int16_t value(AlignItem item) const = 0;
    virtual int16_t min(AlignItem item) const = 0;
    virtual int16_t max(AlignItem item) const = 0;
    // Steps the value as the arrow keys would; the monitoring cycle sends it.
    virtual void step(AlignItem item, int16_t delta) = 0;
    // Enter on the item's line.
    virtual void confirm(AlignItem item) = 0;
    // Every change is sent with its pause passed, and every byte written has left the port and
    // crossed the line to the radio.
    virtual bool changesSent() const = 0;

    // TXF: the procedure transmits with this setting, its window of the table on the radio (and
    // on the line, as changesSent).
    virtual bool txfTracking(int16_t setting) const = 0;
    virtual bool txfSecondSetting() const = 0;
    // Ends the TXF procedure by writing back the table it found when it started.
    virtual void restoreTxfTable() = 0;
    // TXF is confirmed at one frequency only (the radio's TCXO box is ticked).
    virtual bool tcxo() const = 0;

    // The channel entry of a channel that transmits, with the power flag asked for (true: Low)
    // when one is: `preferred` when it fits, else the first that does; -1 when none does.
    virtual int16_t transmittingChannel(std::optional<bool> lowPower, int16_t preferred) const = 0;
    // The selected channel's transmit frequency; none without one.
    virtual std::optional<double> txFrequencyHz() const = 0;
};

}  // namespace kv7
