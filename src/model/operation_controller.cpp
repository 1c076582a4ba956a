#include "model/operation_controller.h"

#include <cmath>

#include "model/constants_file.h"
#include "model/eeprom_map.h"
#include "model/form_layout.h"
#include "model/monitor_format.h"
#include "model/txf_table.h"
#include "store/common.h"

namespace kv7 {

namespace {

constexpr int16_t kCmdMonitor = 3;
constexpr int16_t kCmdAfterCloneRead = 2;
constexpr int kTableEntries = 40;

std::string commandText(int16_t command, int16_t value) {
    return HexByte(command) + ByteToAsciiHexText(value);
}

}  // namespace

clsIndOp_RigKV7::clsIndOp_RigKV7(clsCmcQkv3Sequence& seq, clsCmcRadio& radio, clsConsole& console,
                                 MainWindowView& view, CloneErrorReporter& errors,
                                 TickSource& ticks, Beeper& beeper, std::string constFilePath)
    : seq_(seq),
      radio_(radio),
      console_(console),
      view_(view),
      errors_(errors),
      beeper_(beeper),
      constFilePath_(std::move(constFilePath)),
      myIndEep_(std::make_unique<clsIndEep_RigKV7>(radio.eepImage)),
      myTick_(ticks) {
    comPortNo_ = 1;
    RigOpFunc_ResetAll();
    txfTable_ = TxfTable{};
    txfTempBorder_ = DefaultTempBorders();
}

clsIndOp_RigKV7::~clsIndOp_RigKV7() = default;

// ---- reset and item table ------------------------------------------------------------------

void clsIndOp_RigKV7::RigOpFunc_ResetAll() {
    seq_.easyReset(comPortNo_);
    tcxoMode_ = view_.Check1().Value() != 0;
    opStep_ = kIdle;
    stepEntry_ = true;
    dispParaReq_ = false;
    for (int i = 0; i <= 5; ++i) lastAd_[i] = -1;
    for (int i = 0; i <= 7; ++i) lastDa_[i] = -1;
    commError_ = false;
    RigOpFunc_FormResource();
    console_.myListBox = &view_.lboConsole();
    console_.myEventClass = this;
    console_.myQkv3Seq = &seq_;
    console_.myEeprom = &radio_.eepImage;
    console_.Clear();
    buildItemTable();
    ResetProcedures();
    if (cloneReadObserver_ != nullptr) cloneReadObserver_->controllerReset();
}

void clsIndOp_RigKV7::buildItemTable() {
    clsConsole& c = console_;
    auto last = [&c] { return static_cast<int16_t>(c.ListCount() - 1); };

    c.AddItem();
    c.setTitle(last(), "    CH No.");
    c.setE8Command(last(), 0);
    c.setEvent_Disp(last(), 0);
    c.setEvent_SendE8(last(), 0);
    c.setMin(last(), 0);
    c.setMax(last(), 0);
    c.setLoopVal(last(), true);
    idxChNo_ = last();

    struct Plain {
        const char* title;
        int32_t eeAdr;
        int16_t command;
    };
    static constexpr Plain kPlain[] = {{" Power(Hi)", 49, 5},
                                       {" Power(LO)", 48, 7},
                                       {"  DTCS BAL", 63, 11},
                                       {"       MOD", 62, 8},
                                       {"       SQL", 135, 4}};
    for (const Plain& p : kPlain) {
        c.AddItem();
        c.setTitle(last(), p.title);
        c.setEeAdr(last(), p.eeAdr);
        c.setEeDataSigned(last(), false);
        c.setE8Command(last(), p.command);
        c.setBarExist(last(), true);
    }

    c.AddItem();
    c.setTitle(last(), "   BPF ALL");
    c.setEvent_Disp(last(), 3);
    c.setEvent_Enter(last(), 6);
    idxSweepStarter_ = last();

    static constexpr const char* kBpfTitles[] = {"    BPF T1", "    BPF T2", "    BPF T3",
                                                 "    BPF T4"};
    for (int16_t s = 0; s < 4; ++s) {
        c.AddItem();
        c.setTitle(last(), kBpfTitles[s]);
        c.setMin(last(), -128);
        c.setMax(last(), 127);
        c.setEeAdr(last(), 68 + s);
        c.setEeDataSigned(last(), true);
        c.setEvent_Disp(last(), 4);
        c.setEvent_Enter(last(), static_cast<int16_t>(2 + s));
        if (s == 0) {
            c.setE8Command(last(), 12);
            c.setBarExist(last(), true);
            idxBpfT1_ = last();
        } else {
            c.setBarExist(last(), true);
            c.setE8Command(last(), static_cast<int16_t>(12 + s));
        }
    }

    c.AddItem();
    c.setTitle(last(), "       TXF");
    c.setEvent_Disp(last(), 1);
    c.setEvent_Enter(last(), 0);
    idxTxf_ = last();
}

void clsIndOp_RigKV7::ResetProcedures() {
    procStep_ = 0;
    ctx_ = ProcCtx{};
    for (int16_t i = idxBpfT1_; i <= idxBpfT1_ + 3; ++i) console_.setWaitAfterE8(i, 200);
    for (int16_t i = 0; i < console_.ListCount(); ++i) {
        console_.setFlgEnterOn(i, false);
        console_.Disp(i);
    }
}

// ---- properties and window calls -------------------------------------------------------------

int16_t clsIndOp_RigKV7::RigKV7Op_Table_Txf_TempBorder(int16_t Index) const {
    if (Index < 0 || Index > 21) throw SubscriptError("temperature border index out of range");
    return txfTempBorder_[Index];
}

bool clsIndOp_RigKV7::RigKV7Prop_Shielding() const {
    return !(RigKV7Prop_EditEnabled() || RigKV7Prop_DispPara());
}

bool clsIndOp_RigKV7::RigKV7Prop_EditEnabled() const {
    return opStep_ > kCloneRead && opStep_ <= kCycleEnd;
}

bool clsIndOp_RigKV7::RigKV7Prop_DispPara() const {
    return opStep_ == kDispPara;
}

ConnectionState clsIndOp_RigKV7::connectionState() const {
    if (opStep_ == kIdle) return ConnectionState::Idle;
    if (opStep_ <= kCloneRead) return ConnectionState::Connecting;
    if (opStep_ <= kCycleEnd) return ConnectionState::Monitoring;
    return ConnectionState::ShowingParameters;
}

bool clsIndOp_RigKV7::atRest() const {
    return opStep_ == kIdle && idleShown_ && !seq_.OpRunning();
}

void clsIndOp_RigKV7::setWaitE8Required(int32_t wt) {
    waitE8Ms_ = wt;
}

bool clsIndOp_RigKV7::RigKV7Prop_ReadParametersFromExtFile() {
    return ReadConstantsFile(constFilePath_, constRev20_, constRev10_);
}

void clsIndOp_RigKV7::RigOpFunc_FormResource() {
    view_.cmd00(0).setCaption("Connect");
    view_.cmd00(1).setCaption("Reload(F5)");
    view_.cmd00(2).setCaption("Disp para");
    view_.Check1().setCaption("TCXO");
    ListControl& ad = view_.lbo01(0);
    ad.Clear();
    ad.AddItem("[A/D]");
    for (int i = 0; i < 6; ++i) ad.AddItem("----");
    ListControl& da = view_.lbo01(1);
    da.Clear();
    da.AddItem("[D/A]");
    for (int i = 0; i < 8; ++i) da.AddItem("----");
    view_.lblProgress().setCaption(std::string(32, ' '));
}

void clsIndOp_RigKV7::RigOpFunc_FormLayout() {
    auto input = [this] {
        FormLayoutInput in;
        in.windowSized = windowSized_;
        in.screenWidth = view_.ScreenWidth();
        in.screenHeight = view_.ScreenHeight();
        in.scaleWidth = view_.ScaleWidth();
        in.scaleHeight = view_.ScaleHeight();
        const Line& l = view_.linSepa(1);
        in.lineX1 = l.X1();
        in.lineY1 = l.Y1();
        in.lineX2 = l.X2();
        in.lblTitleWidth = view_.lblTitle().Width();
        in.lblTitleHeight = view_.lblTitle().Height();
        in.lblProgressWidth = view_.lblProgress().Width();
        in.lblProgressHeight = view_.lblProgress().Height();
        in.windowWidth = view_.Width();
        in.windowHeight = view_.Height();
        return in;
    };
    FormLayoutResult f = FormLayoutNumbers(input());
    if (f.moveWindow) {
        windowSized_ = true;
        view_.Move(f.window.left, f.window.top, f.window.width, f.window.height);
        f = FormLayoutNumbers(input());
    }
    auto place = [](Control& c, const LayoutRect& r) { c.Move(r.left, r.top, r.width, r.height); };
    // Shown, and moved to the end of the tab order (in the order of these calls).
    auto lastInTabOrder = [&place](Control& c, const LayoutRect& r) {
        place(c, r);
        c.setTabStop(true);
        c.setTabIndex(9999);
        c.setVisible(true);
    };
    for (int i = 0; i < 3; ++i) {
        lastInTabOrder(view_.cmd00(i), f.cmd00[i]);
    }
    lastInTabOrder(view_.Check1(), f.check1);
    place(view_.fra01(0), f.frame);
    place(view_.fra01(1), f.frame);
    place(view_.fra01(3), f.frame);
    Frame& monitors = view_.fra01(2);
    place(monitors, f.fra01_2);
    monitors.setBorderStyle(0);
    monitors.setVisible(true);
    for (int i = 0; i < 2; ++i) {
        place(view_.lbo01(i), f.lbo01[i]);
        view_.lbo01(i).setVisible(true);
    }
    place(view_.lboConsole(), f.lboConsole);
    view_.lboConsole().setVisible(true);
    place(view_.lblTitle(), f.lblTitle);
    view_.lblTitle().setVisible(true);
    place(view_.lblProgress(), f.lblProgress);
    view_.lblProgress().setVisible(true);
    lastInTabOrder(view_.txtDispPara(), f.txtDispPara);
}

bool clsIndOp_RigKV7::RigOpFunc_CheckSubNameLegal(const std::string& nameS) {
    return nameS.substr(0, 4).compare("0200") <= 0;
}

void clsIndOp_RigKV7::RigOpFunc_SetComPortNo(int16_t portNo) {
    if (portNo == comPortNo_) return;
    comPortNo_ = portNo;
    RigOpFunc_ResetAll();
}

void clsIndOp_RigKV7::RigOpFunc_SetTCXO(bool bo) {
    if (bo == tcxoMode_) return;
    tcxoMode_ = bo;
    RigOpFunc_ResetAll();
}

void clsIndOp_RigKV7::RigOpFunc_ClickCmd00(int16_t Index) {
    ResetProcedures();
    switch (Index) {
        case 0:
            RigOpFunc_ResetAll();
            opStep_ = kStart;
            stepEntry_ = true;
            if (observer_ != nullptr) observer_->connectStarted(comPortNo_);
            break;
        case 1:
            if (RigKV7Prop_EditEnabled()) {
                refreshReq_ = true;
                // A cycle at rest starts the readings now instead of on the next heartbeat:
                // the refresh then waits only for the radio, not for up to 50 ms of timer.
                if (opStep_ == kCycleEnd) task();
            }
            break;
        case 2:
            if (RigKV7Prop_EditEnabled()) {
                dispParaReq_ = true;
            } else if (RigKV7Prop_DispPara()) {
                dispParaReq_ = false;
            }
            break;
        default: break;
    }
}

// ---- the state machine -------------------------------------------------------------------------

void clsIndOp_RigKV7::task() {
    if (seq_.OpRunning()) {
        if (opStep_ == kCloneRead) updateProgress();
        return;
    }
    if (waitE8Ms_ > 0) {
        myTick_.setCounter(waitE8Ms_);
        waitE8Ms_ = 0;
    }
    if (myTick_.counter() >= 1) return;
    for (;;) {
        int16_t next = static_cast<int16_t>((opStep_ + 1) % kStateCount);
        const bool done = runState(next);
        if (done) {
            opStep_ = next;
            stepEntry_ = true;
        } else {
            stepEntry_ = false;
        }
        if (commError_) {
            errors_.MsgBoxCloneErr(seq_);
            RigOpFunc_ResetAll();
            break;
        }
        if (seq_.OpRunning() || !done || opStep_ == kCycleEnd) break;
    }
    UpdateControls();
}

bool clsIndOp_RigKV7::runState(int16_t& next) {
    const int16_t s = opStep_;
    if (s >= kAdFirst && s <= kAdLast) {
        return !refreshNow_ || ReadAdChannel(static_cast<int16_t>(s - kAdFirst), stepEntry_);
    }
    if (s >= kDaFirst && s <= kDaLast) {
        return !refreshNow_ || ReadDaChannel(static_cast<int16_t>(s - kDaFirst), stepEntry_);
    }
    switch (s) {
        case kIdle: return false;
        case kStart: return true;
        case kCloneRead:
            if (stepEntry_) {
                if (cloneReadObserver_ != nullptr) cloneReadObserver_->cloneReadStarted();
                seq_.easyCloneRead();
                return false;
            }
            cloneReadCompletion();
            return true;
        case kCycleStart:
            refreshNow_ = refreshReq_;
            refreshReq_ = false;
            return true;
        case kSendChanged:
            for (int16_t i = 0; i < console_.ListCount(); ++i) {
                if (!console_.flgChanged(i)) continue;
                console_.setFlgChanged(i, false);
                console_.SendE8(i);
                reportItemSent(i, SendCause::Cycle);
                if (seq_.OpRunning()) return false;
            }
            return true;
        case kEnterAction:
            for (int16_t i = 0; i < console_.ListCount(); ++i) {
                if (console_.flgEnterOn(i) && console_.Event_Enter(i) >= 0) {
                    console_.setFlgEnterOn(i, false);
                    console_.EnterExec(i);
                    break;
                }
            }
            return true;
        case kProcedures: return RunProcedure();
        case kCycleEnd:
            if (dispParaReq_) {
                ResetProcedures();
                next = kDispPara;
            } else {
                next = kCycleStart;
            }
            return true;
        case kDispPara:
            if (stepEntry_) {
                myIndEep_->RigKV7Eep_DispPara(
                    [this](const std::string& t) { view_.txtDispPara().setText(t); },
                    [this](int16_t i) { return RigKV7Op_Table_Txf_TempBorder(i); });
            }
            if (dispParaReq_) return false;
            next = kCycleEnd;
            view_.cmd00(2).SetFocus();
            return true;
        default: return false;
    }
}

void clsIndOp_RigKV7::cloneReadCompletion() {
    if (cloneReadObserver_ != nullptr) cloneReadObserver_->cloneReadCompleted();
    radioIdBytes_ = HexTextToByteString(radio_.radioNameM() + radio_.radionameS());
    for (int16_t i = 0; i < console_.ListCount(); ++i) {
        console_.ReadFromEe(i);
        console_.setFlgChanged(i, true);
    }
    refreshReq_ = true;
    int16_t n = 0;
    for (int16_t ch = 0; ch <= 39; ++ch) {
        if (myIndEep_->RigKV7Eep_GetChAppear(ch)) chList_[n++] = ch;
    }
    if (n < 1) {
        chList_[0] = 0;
        n = 1;
    }
    console_.setMax(idxChNo_, static_cast<int16_t>(n - 1));
    console_.setValue(idxChNo_, console_.Min(idxChNo_));
    console_.setFlgChanged(idxChNo_, true);
    reportCloneRead();
    seq_.easySendE8NoAnswer(commandText(kCmdAfterCloneRead, 1));
}

void clsIndOp_RigKV7::reportCloneRead() {
    if (observer_ == nullptr) return;
    std::vector<ItemAsRead> items;
    for (int16_t i = 0; i < console_.ListCount(); ++i) {
        items.push_back(ItemAsRead{console_.Title(i), console_.Value(i), console_.EeAdr(i),
                                   console_.E8Command(i) >= 0 || console_.Event_SendE8(i) >= 0});
    }
    observer_->cloneReadDone(radio_.radioNameM(), radio_.radionameS(), items);
}

void clsIndOp_RigKV7::reportItemSent(int16_t index, SendCause cause) {
    if (observer_ == nullptr) return;
    const bool onLine = console_.E8Command(index) >= 0 || console_.Event_SendE8(index) >= 0;
    observer_->itemSent(index, console_.Value(index), onLine, cause);
}

void clsIndOp_RigKV7::updateProgress() {
    const double size = radio_.radioCH_Type() ? 5120.0 : 3072.0;
    // A 5,120-byte read from a radio without the channel-type flag passes the 3,072-byte scale:
    // the caption stays full.
    view_.lblProgress().setCaption(ProgressCaption(seq_.driver().lastEeAdr(), size));
}

void clsIndOp_RigKV7::UpdateControls() {
    const bool shielding = RigKV7Prop_Shielding();
    const bool edit = RigKV7Prop_EditEnabled();
    const bool disp = RigKV7Prop_DispPara();
    view_.fra01(0).setVisible(shielding);
    idleShown_ = opStep_ == kIdle;
    const bool consoleWasHidden = !view_.fra01(1).Visible();
    view_.fra01(1).setVisible(edit);
    if (consoleWasHidden && edit) view_.lboConsole().SetFocus();
    view_.fra01(3).setVisible(disp);
    view_.cmd00(0).setEnabled(!disp);
    view_.cmd00(1).setEnabled(edit);
    view_.cmd00(2).setEnabled(!shielding);
    view_.cmd00(2).setDefault(disp);
    view_.cmd00(2).setCancel(disp);
    view_.Check1().setEnabled(opStep_ != kCloneRead);
}

// ---- console events
// ------------------------------------------------------------------------------

std::string clsIndOp_RigKV7::ConsEv_Disp(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                                         int16_t val) {
    switch (evNo) {
        case 0: {
            if (val < 0 || val > 40) throw SubscriptError("channel list index out of range");
            return ChannelLine(objConsole.Title(Index), *myIndEep_, chList_[val]);
        }
        case 1:
            return TxfLine(objConsole.Title(Index), procStep_, txfSecond_, *myIndEep_, curCh_, val,
                           objConsole.BarString(Index));
        case 3: return BpfAllLine(objConsole.Title(Index), procStep_, Index, idxSweepStarter_);
        case 4: {
            const int stage = Index - idxBpfT1_;
            const bool selected = stage >= 0 && stage < 5 && sweepSel_[stage];
            return BpfStageLine(objConsole.DefaultString(Index), procStep_, selected);
        }
        default: return "???";
    }
}

void clsIndOp_RigKV7::ConsEv_SendE8(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                                    int16_t val) {
    if (evNo != 0) return;
    if (val < 0 || val > 40) throw SubscriptError("channel list index out of range");
    const int16_t ch = chList_[val];
    seq_.easySendE8NoAnswer(commandText(objConsole.E8Command(Index), static_cast<int16_t>(ch + 1)));
    curCh_ = ch;
}

void clsIndOp_RigKV7::ConsEv_Enter(clsConsole&, int16_t& Index, int16_t evNo, int16_t) {
    const bool txfRunning = procStep_ >= 1 && procStep_ <= 5;
    const bool sweepRunning = procStep_ >= 6 && procStep_ <= 10;
    if (evNo == 0) {
        if (!txfRunning) {
            ResetProcedures();
            txfTableReady_ = false;
            txfSecond_ = false;
            procStep_ = 1;
            if (observer_ != nullptr) observer_->txfStarted(tcxoMode_);
        } else {
            txfEnter_ = true;
        }
        return;
    }
    if (evNo < 2 || evNo > 6 || sweepRunning) return;
    for (int i = 0; i < 4; ++i) sweepSel_[i] = false;
    sweepAll_ = false;
    if (evNo == 6) {
        sweepAll_ = true;
        for (int i = 0; i < 4; ++i) sweepSel_[i] = true;
    } else {
        sweepSel_[evNo - 2] = true;
    }
    idxSweepStarter_ = Index;
    ResetProcedures();
    procStep_ = 6;
    // The stage lines were drawn above before the sweep began: show which stages it sweeps.
    for (int16_t s = 0; s < 4; ++s) console_.Disp(static_cast<int16_t>(idxBpfT1_ + s));
}

// ---- monitor readings
// ----------------------------------------------------------------------------

bool clsIndOp_RigKV7::ReadAdChannel(int16_t channel, bool first) {
    return readMonitor(0, channel, channel, lastAd_[channel], first);
}

bool clsIndOp_RigKV7::ReadDaChannel(int16_t number, bool first) {
    return readMonitor(1, number, static_cast<int16_t>(number + 6), lastDa_[number], first);
}

bool clsIndOp_RigKV7::readMonitor(int16_t listNo, int16_t row, int16_t requestValue, int16_t& last,
                                  bool first) {
    if (first) {
        seq_.easySendE8ReqAnswer(commandText(kCmdMonitor, requestValue));
        return false;
    }
    if (seq_.OpRunning()) return false;
    const ByteString& answer = seq_.driver().varLastE8Answer();
    if (AnswerInvalid(answer, radioIdBytes_)) {
        commError_ = true;
        return true;
    }
    const int16_t v = AnswerValue(answer);
    if (observer_ != nullptr) observer_->monitorRead(listNo, row, v);
    if (v == last) return true;
    last = v;
    const auto byte = static_cast<uint8_t>(v);
    const std::string line = listNo == 0 ? AdLine(row, byte) : DaLine(row, byte);
    view_.lbo01(listNo).setList(static_cast<int16_t>(row + 1), line);
    return true;
}

// ---- adjustment procedures
// -----------------------------------------------------------------------

bool clsIndOp_RigKV7::RunProcedure() {
    const int16_t p = procStep_;
    bool done = true;
    if (p >= 1 && p <= 5) {
        done = TxfProcedure();
    } else if (p >= 6 && p <= 10) {
        done = BpfSweep();
    }
    if (p != 0 && procStep_ == 0) ResetProcedures();
    return done;
}

void clsIndOp_RigKV7::advanceProc(bool advance, int16_t next) {
    if (!advance) return;
    procStep_ = next;
    ctx_.txfPhase = 0;
    ctx_.sweepPhase = 0;
}

int16_t clsIndOp_RigKV7::TempBand(int16_t temps) const {
    return kv7::TempBand(temps, txfTempBorder_);
}

void clsIndOp_RigKV7::sendCommand(int16_t command, int16_t value) {
    seq_.easySendE8NoAnswer(commandText(command, value));
}

void clsIndOp_RigKV7::sendTableEntry(int16_t entry, int16_t value) {
    sendCommand(TxfEntryCommand(entry), value);
    eep().WriteByte(TxfEntryEeAdr(entry), static_cast<uint8_t>(value & 0xFF));
    if (observer_ != nullptr) observer_->txfEntryWritten(entry, static_cast<uint8_t>(value & 0xFF));
}

bool clsIndOp_RigKV7::TxfProcedure() {
    if (seq_.OpRunning()) return false;
    int16_t next = static_cast<int16_t>(procStep_ + 1);
    bool advance = false;
    bool done = false;
    switch (procStep_) {
        case 1:
            ctx_.lastBand = -1;
            txfEnter_ = false;
            advance = done = true;
            break;
        case 2: {
            done = ReadAdChannel(1, ctx_.txfPhase == 0);
            ctx_.txfPhase = 1;
            advance = done;
            if (!done || commError_) break;
            int16_t v;
            if (tcxoMode_) {
                v = eep().ReadByte(92);
            } else if (!txfSecond_) {
                v = eep().ReadByte(92 + TempBand(lastAd_[1]));
            } else {
                v = TxfSecondStartValue(console_.Value(idxTxf_), txfRef1_);
            }
            console_.setValue(idxTxf_, v);
            break;
        }
        case 3: {
            done = ReadAdChannel(1, ctx_.txfPhase == 0);
            ctx_.txfPhase = 1;
            advance = done;
            if (!done || commError_) break;
            const int16_t band = TempBand(lastAd_[1]);
            const int16_t v = console_.Value(idxTxf_);
            if (v == ctx_.lastSetting && !txfEnter_ && band == ctx_.lastBand) {
                next = 5;
                break;
            }
            ctx_.lastBand = band;
            txfPlan(band, v);
            next = 4;
            break;
        }
        case 4:
            done = txfWriteStep(next);
            advance = done;
            break;
        case 5:
            if (ctx_.enterSeen) {
                if (txfSecond_ || tcxoMode_) {
                    next = 0;
                    txfSecond_ = false;
                    txfEnter_ = false;
                    beeper_.beep();
                } else {
                    next = 1;
                    txfSecond_ = true;
                }
            } else {
                next = 3;
            }
            advance = done = true;
            break;
        default: break;
    }
    advanceProc(advance, next);
    return done;
}

void clsIndOp_RigKV7::txfPlan(int16_t band, int16_t v) {
    if (!txfEnter_) {
        ctx_.writeIdx = static_cast<int16_t>(band - 1);
        ctx_.writeEnd = static_cast<int16_t>(band + 4);
    } else if (!txfSecond_ && tcxoMode_) {
        ctx_.writeIdx = 0;
        ctx_.writeEnd = 39;
        txfTableReady_ = true;
        txfRef1_ = v;
    } else if (!txfSecond_) {
        ctx_.writeIdx = static_cast<int16_t>(band - 1);
        ctx_.writeEnd = static_cast<int16_t>(band + 4);
        txfRef1_ = v;
    } else {
        ctx_.writeIdx = 0;
        ctx_.writeEnd = 39;
        txfTableReady_ = true;
        txfRef2_ = v;
        const ConstTable& constants =
            UsesRev10Constants(radio_.radionameS()) ? constRev10_ : constRev20_;
        txfTable_ = ComputeTxfTable(txfRef1_, txfRef2_, constants, txfTempBorder_, lastAd_[1]);
    }
    if (ctx_.writeIdx < 0) ctx_.writeIdx = 0;
    if (ctx_.writeIdx > 19) ctx_.writeIdx = 19;
    ctx_.writeStart = ctx_.writeIdx;
    ctx_.enterSeen = txfEnter_;
    ctx_.lastSetting = v;
    if (observer_ != nullptr && txfEnter_) {
        if (txfTableReady_) {
            observer_->txfTablePlanned(txfRef1_, txfRef2_, lastAd_[1], band, !txfSecond_);
        } else {
            observer_->txfFirstConfirmed(txfRef1_, lastAd_[1], band);
        }
    }
}

bool clsIndOp_RigKV7::txfWriteStep(int16_t& next) {
    const bool full = txfTableReady_ && txfSecond_;
    const bool flat = txfTableReady_ && !txfSecond_ && tcxoMode_;
    TxfWrite w{-1, 0};
    if (ctx_.writeIdx <= ctx_.writeEnd) {
        if (full) {
            w = TxfFullPlanEntry(txfTable_, ctx_.writeIdx);
        } else if (flat) {
            w = TxfFlatPlanEntry(txfRef1_, ctx_.writeIdx);
        } else {
            const std::vector<TxfWrite> window =
                TxfWindowPlan(ctx_.lastBand, console_.Value(idxTxf_));
            const size_t pos = static_cast<size_t>(ctx_.writeIdx - ctx_.writeStart);
            if (pos < window.size()) w = window[pos];
        }
    }
    const int16_t entry = w.entry;
    const int16_t value = w.value;
    if (entry < 0 || entry >= kTableEntries) {
        next = ctx_.enterSeen ? 5 : 3;
        return true;
    }
    sendTableEntry(entry, value);
    ++ctx_.writeIdx;
    return false;
}

bool clsIndOp_RigKV7::BpfSweep() {
    if (seq_.OpRunning()) return false;
    int16_t next = static_cast<int16_t>(procStep_ + 1);
    bool advance = false;
    bool done = false;
    switch (procStep_) {
        case 6: advance = done = true; break;
        case 7:
            for (int16_t s = 0; s < 4; ++s) {
                if (!sweepSel_[s]) continue;
                const int16_t item = static_cast<int16_t>(idxBpfT1_ + s);
                console_.setValue(item, 0);
                console_.Disp(item);
            }
            advance = done = true;
            break;
        case 8: {
            done = ReadAdChannel(2, ctx_.sweepPhase == 0);
            ctx_.sweepPhase = 1;
            advance = done;
            if (!done || commError_) break;
            sweepLvin_ = lastAd_[2];
            ctx_.sweepStage = 4;
            for (int16_t s = 0; s < 4; ++s) {
                if (sweepSel_[s]) {
                    ctx_.sweepStage = s;
                    break;
                }
            }
            if (ctx_.sweepStage == 4) {
                next = 10;
                break;
            }
            const int16_t item = static_cast<int16_t>(idxBpfT1_ + ctx_.sweepStage);
            const int16_t min = console_.Min(item);
            console_.setValue(item, sweepAll_ ? checkedSub16(0, sweepLvin_) : min);
            ctx_.sweepBest = -1;
            ctx_.plateauLo = ctx_.plateauHi = min;
            if (observer_ != nullptr) {
                observer_->sweepStageStarted(ctx_.sweepStage, sweepAll_, sweepLvin_);
            }
            break;
        }
        case 9: {
            const int16_t item = static_cast<int16_t>(idxBpfT1_ + ctx_.sweepStage);
            for (;;) {
                if (ctx_.sweepPhase == 0) {
                    console_.SendE8(item);
                    reportItemSent(item, SendCause::SweepPoint);
                    ctx_.sweepPhase = 1;
                    return false;
                }
                const bool read = ReadAdChannel(3, ctx_.sweepPhase == 1);
                if (!read) {
                    ++ctx_.sweepPhase;
                    return false;
                }
                if (commError_) return true;
                const int16_t r = lastAd_[3];
                console_.setWaitAfterE8(item, 0);
                const int16_t v = console_.Value(item);
                if (observer_ != nullptr) observer_->sweepPoint(ctx_.sweepStage, v, r);
                if (ctx_.sweepBest <= r) {
                    if (ctx_.sweepBest < r) ctx_.plateauLo = v;
                    ctx_.plateauHi = v;
                    ctx_.sweepBest = r;
                }
                if (v < console_.Max(item) && !(sweepAll_ && v >= 255 - sweepLvin_)) {
                    console_.setValue(item, checkedAdd16(v, sweepAll_ ? 2 : 1));
                    ctx_.sweepPhase = 0;
                    continue;
                }
                const int sum = ctx_.plateauHi + ctx_.plateauLo;
                console_.setValue(item, static_cast<int16_t>(std::floor(sum / 2.0)));
                if (observer_ != nullptr) {
                    observer_->sweepStageEnded(ctx_.sweepStage, ctx_.sweepBest, ctx_.plateauLo,
                                               ctx_.plateauHi, console_.Value(item));
                }
                sweepSel_[ctx_.sweepStage] = false;
                next = 8;
                advance = done = true;
                break;
            }
            break;
        }
        case 10:
            next = 0;
            beeper_.beep();
            advance = done = true;
            break;
        default: break;
    }
    advanceProc(advance, next);
    return done;
}

}  // namespace kv7
