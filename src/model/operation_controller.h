#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "console/console.h"
#include "console/console_events.h"
#include "model/bpf_sweep.h"
#include "model/clone_read_observer.h"
#include "model/constants_file.h"
#include "model/kv7_items.h"
#include "model/monitor_reader.h"
#include "model/operation_controller_interface.h"
#include "model/session_observer.h"
#include "model/txf_procedure.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/sequencer_hooks.h"
#include "protocol/tick.h"
#include "store/message_sink.h"
#include "view/window_controls.h"

namespace kv7 {

class clsIndEep_RigKV7;

// The states of a connection, numbered as the controller counts its steps: the clone read,
// then the monitoring cycle (the A/D and D/A readings, the changed items, Enter, the running
// procedure) until "Disp para" or a reset.
enum class OperationStep : int16_t {
    Idle = 0,
    Start = 1,
    CloneRead = 2,
    CycleStart = 3,
    AdFirst = 4,
    AdLast = 9,
    DaFirst = 10,
    DaLast = 17,
    SendChanged = 18,
    EnterAction = 19,
    Procedures = 20,
    CycleEnd = 21,
    DispPara = 22,
};

// The QT-KV7 operation controller: the state machine of a connection and its monitoring cycle,
// and the console's event class. The monitor readings, the TXF procedure and the BPF sweep are
// its parts.
class clsIndOp_RigKV7 : public OperationController,
                        public SubNameChecker,
                        public ConsoleEventClass {
  public:
    clsIndOp_RigKV7(clsCmcQkv3Sequence& seq, clsCmcRadio& radio, clsConsole& console,
                    MainWindowView& view, CloneErrorReporter& errors, TickSource& ticks,
                    Beeper& beeper, std::string constFilePath = "Const.ini");
    ~clsIndOp_RigKV7() override;

    // OperationController
    void RigOpFunc_ResetAll() override;
    bool RigKV7Prop_ReadParametersFromExtFile() override;
    void RigOpFunc_FormResource() override;
    void RigOpFunc_FormLayout() override;
    void RigOpFunc_SetComPortNo(int16_t portNo) override;
    void RigOpFunc_SetTCXO(bool bo) override;
    void RigOpFunc_ClickCmd00(int16_t Index) override;
    void task() override;
    ConnectionState connectionState() const override;
    bool atRest() const override;

    // SubNameChecker
    bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) override;

    // ConsoleEventClass
    std::string ConsEv_Disp(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                            int16_t val) override;
    void ConsEv_SendE8(clsConsole& objConsole, int16_t& Index, int16_t evNo, int16_t val) override;
    void ConsEv_Enter(clsConsole& objConsole, int16_t& Index, int16_t evNo, int16_t val) override;
    void setWaitE8Required(int32_t wt) override;

    int16_t RigKV7Op_Table_Txf_TempBorder(int16_t Index) const;
    bool RigKV7Prop_Shielding() const;
    bool RigKV7Prop_EditEnabled() const;
    bool RigKV7Prop_DispPara() const;

    // The transmit frequency in Hz of the memory channel last selected on the radio, from the
    // image; none before a clone read has completed, for an empty channel or an inhibited
    // transmit side. What the test set's frequency error is measured against.
    std::optional<double> selectedTxFrequencyHz() const;

    // Told of every completed clone read and every reset; none by default.
    void setCloneReadObserver(CloneReadObserver* o) { cloneReadObserver_ = o; }
    // Told of everything worth keeping of a connection; nullptr: nobody listens.
    void setSessionObserver(SessionObserver* o);

    // What the alignment watches and asks of the running connection.
    const Kv7ItemIndex& items() const { return items_; }
    bool tcxoMode() const { return tcxoMode_; }
    // The cycle has sent every changed item and let its pause pass.
    bool changesSent() const;
    // An item changed on the console is not yet sent, or its command is still on its way.
    bool changesPending() const;
    // The TXF procedure transmits with this setting (its window of the table written).
    bool txfTracking(int16_t setting) const;
    bool txfSecondSetting() const { return txf_.secondSetting(); }
    // The entry of the channel list ("    CH No." value) of a channel that transmits, with the
    // given power flag (true: Low) when one is asked for: `preferred` when it fits, else the
    // first that does; -1 when none does.
    int16_t transmittingChannel(std::optional<bool> lowPower, int16_t preferred) const;
    // Ends the TXF procedure by writing back the table it found when it started.
    void restoreTxfTable();

    // For tests and the scripted session.
    OperationStep opStep() const { return opStep_; }
    TxfStep txfStep() const { return txf_.step(); }
    SweepStep sweepStep() const { return sweep_.step(); }
    bool procedureRunning() const { return txf_.running() || sweep_.running(); }
    // The running procedure's step number; 0 when none runs.
    int16_t procStep() const;

  private:
    bool runState(OperationStep& next);
    void cloneReadCompletion();
    void updateProgress();
    void ResetProcedures();
    void UpdateControls();
    bool RunProcedure();
    void reportCloneRead();

    clsCmcQkv3Sequence& seq_;
    clsCmcRadio& radio_;
    clsConsole& console_;
    MainWindowView& view_;
    CloneErrorReporter& errors_;
    Beeper& beeper_;
    std::string constFilePath_;
    std::unique_ptr<clsIndEep_RigKV7> myIndEep_;
    CloneReadObserver* cloneReadObserver_ = nullptr;
    clsCmcTick myTick_;
    SessionObserver* observer_ = nullptr;
    MonitorReader monitor_;
    TxfProcedure txf_;
    BpfSweep sweep_;

    int16_t comPortNo_ = 1;
    OperationStep opStep_ = OperationStep::Idle;
    bool stepEntry_ = true;
    bool refreshReq_ = false;
    bool refreshNow_ = false;
    bool dispParaReq_ = false;
    int32_t waitE8Ms_ = 0;
    Kv7ItemIndex items_;
    int16_t curCh_ = 0;
    std::array<int16_t, 41> chList_{};
    bool tcxoMode_ = false;
    bool windowSized_ = false;
    bool idleShown_ = false;  // the last update of the controls showed the idle state
};

}  // namespace kv7
