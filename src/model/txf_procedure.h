#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "model/constants_file.h"
#include "model/procedure_parts.h"
#include "model/txf_table.h"
#include "protocol/radio.h"

namespace kv7 {

// The steps of the TXF procedure, numbered as the controller counts its procedure steps.
enum class TxfStep : int16_t {
    Off = 0,
    Start = 1,
    StartValue = 2,  // reads the temperature and puts the setting to start from on the console
    Track = 3,       // follows the technician's setting and the temperature band
    WriteTable = 4,  // sends the planned compensation entries, one per cycle
    Confirm = 5,     // after Enter: the second setting, or the end
};

// The TXF procedure: the technician sets the transmit frequency at one or two points, and the
// compensation table of the TXF entries follows and is written to the radio.
class TxfProcedure {
  public:
    TxfProcedure(ProcedureParts parts, clsCmcRadio& radio)
        : parts_(parts), radio_(radio), tempBorder_(DefaultTempBorders()) {}

    void setItem(int16_t txfIndex) { item_ = txfIndex; }
    void setObserver(SessionObserver* o) { observer_ = o; }
    // The constants of the compensation table; false when the file cannot be read.
    bool readConstants(const std::string& path);
    int16_t tempBorder(int16_t index) const;

    TxfStep step() const { return step_; }
    bool running() const { return step_ != TxfStep::Off; }
    // The technician is setting the second point.
    bool secondSetting() const { return second_; }

    // Stops the procedure; the settings confirmed so far are kept.
    void reset();
    void start(bool tcxo);
    // Enter on the TXF line while the procedure runs.
    void confirm() { enter_ = true; }
    // One step of the monitoring cycle; true when the step is done.
    bool run();

    // The radio transmits with this setting: the procedure follows it and has written its
    // window of the table.
    bool tracking(int16_t setting) const;
    // Ends the procedure by writing back the table it found when it started, each entry that
    // differs from the image going out as the procedure writes an entry; then it is off.
    void restoreTable();

  private:
    bool startValue();
    bool track(TxfStep& next);
    bool writeStep(TxfStep& next);
    bool restoreStep(TxfStep& next);
    TxfStep afterConfirm();
    void plan(int16_t band, int16_t v);
    void sendTableEntry(int16_t entry, int16_t value);
    int16_t band(int16_t temps) const { return TempBand(temps, tempBorder_); }
    clsCmcEeprom& eep() { return radio_.eepImage; }

    ProcedureParts parts_;
    clsCmcRadio& radio_;
    SessionObserver* observer_ = nullptr;
    int16_t item_ = 0;
    TempBorderTable tempBorder_;
    ConstTable constRev20_{};
    ConstTable constRev10_{};

    TxfStep step_ = TxfStep::Off;
    bool tcxo_ = false;
    // Kept across a reset: what the technician has confirmed.
    bool enter_ = false;
    bool second_ = false;
    bool tableReady_ = false;
    int16_t ref1_ = 0;
    int16_t ref2_ = 0;
    TxfTable table_;  // band values, slopes, interpolation and offset of the full plan

    // Progress of the running step.
    bool readingSent_ = false;
    int16_t lastBand_ = 0;
    int16_t lastSetting_ = 0;
    int16_t writeIdx_ = 0;
    int16_t writeEnd_ = 0;
    int16_t writeStart_ = 0;  // first writeIdx of the plan, to walk a window plan
    bool enterSeen_ = false;
    // Writing a table back instead of a plan.
    bool restoring_ = false;
    std::array<uint8_t, 40> startTable_{};  // the table as the procedure found it
};

}  // namespace kv7
