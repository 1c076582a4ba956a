#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/console_events.h"
#include "model/clone_read_observer.h"
#include "model/constants_file.h"
#include "model/operation_controller_interface.h"
#include "model/session_observer.h"
#include "model/txf_table.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/sequencer_hooks.h"
#include "protocol/tick.h"
#include "store/message_sink.h"
#include "view/window_controls.h"

namespace kv7 {

class clsIndEep_RigKV7;

// The QT-KV7 operation controller: the state machine of a connection, the console's event
// class, the monitor readings and the two adjustment procedures.
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

    // Told of every completed clone read and every reset; none by default.
    void setCloneReadObserver(CloneReadObserver* o) { cloneReadObserver_ = o; }
    // Told of everything worth keeping of a connection; nullptr: nobody listens.
    void setSessionObserver(SessionObserver* o) { observer_ = o; }

    // For tests and the scripted session.
    int16_t opStep() const { return opStep_; }
    int16_t procStep() const { return procStep_; }

  private:
    // Monitoring-cycle states; the numbers are the controller's step numbers.
    enum State : int16_t {
        kIdle = 0,
        kStart = 1,
        kCloneRead = 2,
        kCycleStart = 3,
        kAdFirst = 4,
        kAdLast = 9,
        kDaFirst = 10,
        kDaLast = 17,
        kSendChanged = 18,
        kEnterAction = 19,
        kProcedures = 20,
        kCycleEnd = 21,
        kDispPara = 22,
        kStateCount = 23
    };

    // Progress of the running procedure step; cleared whenever procStep changes.
    struct ProcCtx {
        int16_t txfPhase = 0;
        int16_t lastBand = 0;
        int16_t lastSetting = 0;
        int16_t writeIdx = 0;
        int16_t writeEnd = 0;
        int16_t writeStart = 0;  // first writeIdx of the plan, to walk a window plan
        bool enterSeen = false;
        int16_t sweepPhase = 0;
        int16_t sweepStage = 0;
        int16_t sweepBest = 0;
        int16_t plateauLo = 0;
        int16_t plateauHi = 0;
    };

    bool runState(int16_t& next);
    void cloneReadCompletion();
    void updateProgress();
    void ResetProcedures();
    void UpdateControls();
    void buildItemTable();
    bool ReadAdChannel(int16_t channel, bool first);
    bool ReadDaChannel(int16_t number, bool first);
    bool readMonitor(int16_t listNo, int16_t row, int16_t requestValue, int16_t& last, bool first);
    bool RunProcedure();
    bool TxfProcedure();
    bool BpfSweep();
    int16_t TempBand(int16_t temps) const;
    void advanceProc(bool advance, int16_t next);
    bool txfWriteStep(int16_t& next);
    void txfPlan(int16_t band, int16_t v);
    void sendTableEntry(int16_t entry, int16_t value);
    void sendCommand(int16_t command, int16_t value);
    void reportCloneRead();
    void reportItemSent(int16_t index, SendCause cause);
    clsCmcEeprom& eep() { return radio_.eepImage; }

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

    int16_t comPortNo_ = 1;
    int16_t opStep_ = kIdle;
    bool stepEntry_ = true;
    bool commError_ = false;
    int16_t procStep_ = 0;
    bool refreshReq_ = false;
    bool refreshNow_ = false;
    bool dispParaReq_ = false;
    ByteString radioIdBytes_;
    TempBorderTable txfTempBorder_{};
    ConstTable constRev20_{};
    ConstTable constRev10_{};
    int32_t waitE8Ms_ = 0;
    int16_t idxChNo_ = 0;
    int16_t idxTxf_ = 0;
    int16_t idxBpfT1_ = 0;
    int16_t idxSweepStarter_ = 0;
    int16_t curCh_ = 0;
    std::array<int16_t, 41> chList_{};
    std::array<int16_t, 7> lastAd_{};
    std::array<int16_t, 9> lastDa_{};
    bool tcxoMode_ = false;
    bool windowSized_ = false;
    bool idleShown_ = false;  // the last update of the controls showed the idle state

    // Procedure state.
    bool txfEnter_ = false;
    bool txfSecond_ = false;
    bool txfTableReady_ = false;
    int16_t txfRef1_ = 0;
    int16_t txfRef2_ = 0;
    TxfTable txfTable_;  // band values, slopes, interpolation and offset of the full plan
    std::array<bool, 5> sweepSel_{};
    bool sweepAll_ = false;
    int16_t sweepLvin_ = 0;
    ProcCtx ctx_;
};

}  // namespace kv7
