#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv7 {

// A console item as the clone read left it.
struct ItemAsRead {
    std::string title;
    int16_t value = 0;
    int32_t eeAdr = -1;         // -1: the item has no EEPROM byte
    bool sendsCommand = false;  // a change of it goes to the radio
};

// Why the controller sent an item's value.
enum class SendCause {
    Cycle,      // the monitoring cycle sent a changed item
    SweepPoint  // one point of a BPF sweep
};

// What the operation controller tells about a connection while it runs it. Every call only
// reports; none of them may act on the radio, the console or the window.
class SessionObserver {
  public:
    virtual ~SessionObserver() = default;

    // "Connect" was pressed with this COM port selected.
    virtual void connectStarted(int16_t comPortNo) = 0;
    // The clone read is done: the radio's identity and every item loaded from the image.
    virtual void cloneReadDone(const std::string& modelCode, const std::string& subName,
                               const std::vector<ItemAsRead>& items) = 0;
    // The console sent item `index` with `value`; onLine is false for an item that has no
    // adjustment command (its value changed, nothing went to the radio).
    virtual void itemSent(int16_t index, int16_t value, bool onLine, SendCause cause) = 0;
    // A valid monitor answer: list 0 A/D channel `row` (0..5), list 1 D/A value `row` (0..7).
    virtual void monitorRead(int16_t list, int16_t row, int16_t value) = 0;

    // BPF sweep of one stage (0..3 for T1..T4).
    virtual void sweepStageStarted(int16_t stage, bool all, int16_t lvin) = 0;
    virtual void sweepPoint(int16_t stage, int16_t setting, int16_t sd) = 0;
    virtual void sweepStageEnded(int16_t stage, int16_t best, int16_t plateauLo, int16_t plateauHi,
                                 int16_t chosen) = 0;

    // TXF procedure: started with Enter; the first frequency confirmed; the whole table
    // planned (flat: TCXO mode, one setting; secondSetting is then -1); one table entry sent.
    virtual void txfStarted(bool tcxo) = 0;
    virtual void txfFirstConfirmed(int16_t setting, int16_t temps, int16_t band) = 0;
    virtual void txfTablePlanned(int16_t firstSetting, int16_t secondSetting, int16_t temps,
                                 int16_t band, bool flat) = 0;
    virtual void txfEntryWritten(int16_t entry, uint8_t value) = 0;
};

}  // namespace kv7
