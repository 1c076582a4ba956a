#include "model/operation_controller.h"

#include <stdexcept>

#include "model/constants_file.h"
#include "model/eeprom_map.h"
#include "model/form_layout.h"
#include "model/monitor_format.h"
#include "store/common.h"

namespace kv7 {

namespace {

constexpr int16_t kCmdAfterCloneRead = 2;
constexpr int16_t kStateCount = static_cast<int16_t>(OperationStep::DispPara) + 1;

OperationStep following(OperationStep s) {
    return static_cast<OperationStep>((static_cast<int16_t>(s) + 1) % kStateCount);
}

int16_t offset(OperationStep s, OperationStep first) {
    return static_cast<int16_t>(static_cast<int16_t>(s) - static_cast<int16_t>(first));
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
      myTick_(ticks),
      monitor_(seq, view),
      txf_(ProcedureParts{seq, console, monitor_, beeper}, radio),
      sweep_(ProcedureParts{seq, console, monitor_, beeper}) {
    comPortNo_ = 1;
    RigOpFunc_ResetAll();
}

clsIndOp_RigKV7::~clsIndOp_RigKV7() = default;

// ---- reset and item table ------------------------------------------------------------------

void clsIndOp_RigKV7::RigOpFunc_ResetAll() {
    seq_.easyReset(comPortNo_);
    tcxoMode_ = view_.Check1().Value() != 0;
    opStep_ = OperationStep::Idle;
    stepEntry_ = true;
    dispParaReq_ = false;
    monitor_.reset();
    RigOpFunc_FormResource();
    console_.myListBox = &view_.lboConsole();
    console_.myEventClass = this;
    console_.myQkv3Seq = &seq_;
    console_.myEeprom = &radio_.eepImage;
    console_.Clear();
    items_ = AddKv7Items(console_);
    txf_.setItem(items_.txf);
    sweep_.setFirstStage(items_.bpfT1);
    ResetProcedures();
    if (cloneReadObserver_ != nullptr) cloneReadObserver_->controllerReset();
}

void clsIndOp_RigKV7::ResetProcedures() {
    txf_.reset();
    sweep_.reset();
    for (int16_t i = items_.bpfT1; i <= items_.bpfT1 + 3; ++i) console_.setWaitAfterE8(i, 200);
    for (int16_t i = 0; i < console_.ListCount(); ++i) {
        console_.setFlgEnterOn(i, false);
        console_.Disp(i);
    }
}

// ---- properties and window calls -------------------------------------------------------------

int16_t clsIndOp_RigKV7::RigKV7Op_Table_Txf_TempBorder(int16_t Index) const {
    return txf_.tempBorder(Index);
}

void clsIndOp_RigKV7::setSessionObserver(SessionObserver* o) {
    observer_ = o;
    monitor_.setObserver(o);
    txf_.setObserver(o);
    sweep_.setObserver(o);
}

int16_t clsIndOp_RigKV7::procStep() const {
    if (txf_.running()) return static_cast<int16_t>(txf_.step());
    if (sweep_.running()) return static_cast<int16_t>(sweep_.step());
    return 0;
}

bool clsIndOp_RigKV7::RigKV7Prop_Shielding() const {
    return !(RigKV7Prop_EditEnabled() || RigKV7Prop_DispPara());
}

bool clsIndOp_RigKV7::RigKV7Prop_EditEnabled() const {
    return opStep_ > OperationStep::CloneRead && opStep_ <= OperationStep::CycleEnd;
}

bool clsIndOp_RigKV7::RigKV7Prop_DispPara() const {
    return opStep_ == OperationStep::DispPara;
}

ConnectionState clsIndOp_RigKV7::connectionState() const {
    if (opStep_ == OperationStep::Idle) return ConnectionState::Idle;
    if (opStep_ <= OperationStep::CloneRead) return ConnectionState::Connecting;
    if (opStep_ <= OperationStep::CycleEnd) return ConnectionState::Monitoring;
    return ConnectionState::ShowingParameters;
}

std::optional<double> clsIndOp_RigKV7::selectedTxFrequencyHz() const {
    if (opStep_ <= OperationStep::CloneRead) return std::nullopt;
    if (!myIndEep_->RigKV7Eep_GetChAppear(curCh_) || myIndEep_->Check_Inh(TxFreqBlockAdr(curCh_)))
        return std::nullopt;
    try {
        return myIndEep_->RigKV7Eep_GetChFreqTxReal(curCh_);
    } catch (const std::invalid_argument&) {
        return std::nullopt;  // not BCD: no frequency to speak of
    }
}

int16_t clsIndOp_RigKV7::transmittingChannel(std::optional<bool> lowPower,
                                             int16_t preferred) const {
    if (opStep_ <= OperationStep::CloneRead) return -1;
    const auto fits = [&](int16_t entry) {
        if (entry < 0 || entry > console_.Max(items_.chNo)) return false;
        const int16_t ch = chList_[static_cast<size_t>(entry)];
        if (!myIndEep_->RigKV7Eep_GetChAppear(ch) || myIndEep_->Check_Inh(TxFreqBlockAdr(ch))) {
            return false;
        }
        return !lowPower || myIndEep_->RigKV7Eep_GetChRFPower(ch) == *lowPower;
    };
    if (fits(preferred)) return preferred;
    for (int16_t i = 0; i <= console_.Max(items_.chNo); ++i) {
        if (fits(i)) return i;
    }
    return -1;
}

bool clsIndOp_RigKV7::changesSent() const {
    return opStep_ == OperationStep::CycleEnd && !changesPending();
}

bool clsIndOp_RigKV7::changesPending() const {
    for (int16_t i = 0; i < console_.ListCount(); ++i) {
        if (console_.flgChanged(i)) return true;
    }
    return seq_.OpRunning();
}

bool clsIndOp_RigKV7::txfTracking(int16_t setting) const {
    return changesSent() && txf_.tracking(setting);
}

void clsIndOp_RigKV7::restoreTxfTable() {
    ResetProcedures();
    txf_.restoreTable();
}

bool clsIndOp_RigKV7::atRest() const {
    return opStep_ == OperationStep::Idle && idleShown_ && !seq_.OpRunning();
}

void clsIndOp_RigKV7::setWaitE8Required(int32_t wt) {
    waitE8Ms_ = wt;
}

bool clsIndOp_RigKV7::RigKV7Prop_ReadParametersFromExtFile() {
    return txf_.readConstants(constFilePath_);
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
            opStep_ = OperationStep::Start;
            stepEntry_ = true;
            if (observer_ != nullptr) observer_->connectStarted(comPortNo_);
            break;
        case 1:
            if (RigKV7Prop_EditEnabled()) {
                refreshReq_ = true;
                // A cycle at rest starts the readings now instead of on the next heartbeat:
                // the refresh then waits only for the radio, not for up to 50 ms of timer.
                if (opStep_ == OperationStep::CycleEnd) task();
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
        if (opStep_ == OperationStep::CloneRead) updateProgress();
        return;
    }
    if (waitE8Ms_ > 0) {
        myTick_.setCounter(waitE8Ms_);
        waitE8Ms_ = 0;
    }
    if (myTick_.counter() >= 1) return;
    for (;;) {
        OperationStep next = following(opStep_);
        const bool done = runState(next);
        if (done) {
            opStep_ = next;
            stepEntry_ = true;
        } else {
            stepEntry_ = false;
        }
        if (monitor_.commError()) {
            errors_.MsgBoxCloneErr(seq_);
            RigOpFunc_ResetAll();
            break;
        }
        if (seq_.OpRunning() || !done || opStep_ == OperationStep::CycleEnd) break;
    }
    UpdateControls();
}

bool clsIndOp_RigKV7::runState(OperationStep& next) {
    using S = OperationStep;
    const S s = opStep_;
    if (s >= S::AdFirst && s <= S::AdLast) {
        return !refreshNow_ || monitor_.readAd(offset(s, S::AdFirst), stepEntry_);
    }
    if (s >= S::DaFirst && s <= S::DaLast) {
        return !refreshNow_ || monitor_.readDa(offset(s, S::DaFirst), stepEntry_);
    }
    switch (s) {
        case S::Idle: return false;
        case S::Start: return true;
        case S::CloneRead:
            if (stepEntry_) {
                if (cloneReadObserver_ != nullptr) cloneReadObserver_->cloneReadStarted();
                seq_.easyCloneRead();
                return false;
            }
            cloneReadCompletion();
            return true;
        case S::CycleStart:
            refreshNow_ = refreshReq_;
            refreshReq_ = false;
            return true;
        case S::SendChanged:
            for (int16_t i = 0; i < console_.ListCount(); ++i) {
                if (!console_.flgChanged(i)) continue;
                console_.setFlgChanged(i, false);
                console_.SendE8(i);
                ReportItemSent(observer_, console_, i, SendCause::Cycle);
                if (seq_.OpRunning()) return false;
            }
            return true;
        case S::EnterAction:
            for (int16_t i = 0; i < console_.ListCount(); ++i) {
                if (console_.flgEnterOn(i) && console_.Event_Enter(i) >= 0) {
                    console_.setFlgEnterOn(i, false);
                    console_.EnterExec(i);
                    break;
                }
            }
            return true;
        case S::Procedures: return RunProcedure();
        case S::CycleEnd:
            if (dispParaReq_) {
                ResetProcedures();
                next = S::DispPara;
            } else {
                next = S::CycleStart;
            }
            return true;
        case S::DispPara:
            if (stepEntry_) {
                myIndEep_->RigKV7Eep_DispPara(
                    [this](const std::string& t) { view_.txtDispPara().setText(t); },
                    [this](int16_t i) { return RigKV7Op_Table_Txf_TempBorder(i); });
            }
            if (dispParaReq_) return false;
            next = S::CycleEnd;
            view_.cmd00(2).SetFocus();
            return true;
        default: return false;
    }
}

void clsIndOp_RigKV7::cloneReadCompletion() {
    if (cloneReadObserver_ != nullptr) cloneReadObserver_->cloneReadCompleted();
    monitor_.setRadioId(HexTextToByteString(radio_.radioNameM() + radio_.radionameS()));
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
    console_.setMax(items_.chNo, static_cast<int16_t>(n - 1));
    console_.setValue(items_.chNo, console_.Min(items_.chNo));
    console_.setFlgChanged(items_.chNo, true);
    reportCloneRead();
    seq_.easySendE8NoAnswer(CommandText(kCmdAfterCloneRead, 1));
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
    idleShown_ = opStep_ == OperationStep::Idle;
    const bool consoleWasHidden = !view_.fra01(1).Visible();
    view_.fra01(1).setVisible(edit);
    if (consoleWasHidden && edit) view_.lboConsole().SetFocus();
    view_.fra01(3).setVisible(disp);
    view_.cmd00(0).setEnabled(!disp);
    view_.cmd00(1).setEnabled(edit);
    view_.cmd00(2).setEnabled(!shielding);
    view_.cmd00(2).setDefault(disp);
    view_.cmd00(2).setCancel(disp);
    view_.Check1().setEnabled(opStep_ != OperationStep::CloneRead);
}

// ---- console events --------------------------------------------------------------------------

std::string clsIndOp_RigKV7::ConsEv_Disp(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                                         int16_t val) {
    switch (static_cast<DispEvent>(evNo)) {
        case DispEvent::Channel:
            if (val < 0 || val > 40) throw SubscriptError("channel list index out of range");
            return ChannelLine(objConsole.Title(Index), *myIndEep_, chList_[val]);
        case DispEvent::Txf:
            return TxfLine(objConsole.Title(Index), procStep(), txf_.secondSetting(), *myIndEep_,
                           curCh_, val, objConsole.BarString(Index));
        case DispEvent::BpfAll:
            return BpfAllLine(objConsole.Title(Index), procStep(), Index, items_.sweepStarter);
        case DispEvent::BpfStage:
            return BpfStageLine(objConsole.DefaultString(Index), procStep(),
                                sweep_.selected(Index - items_.bpfT1));
        default: return "???";
    }
}

void clsIndOp_RigKV7::ConsEv_SendE8(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                                    int16_t val) {
    if (static_cast<SendEvent>(evNo) != SendEvent::Channel) return;
    if (val < 0 || val > 40) throw SubscriptError("channel list index out of range");
    const int16_t ch = chList_[val];
    seq_.easySendE8NoAnswer(CommandText(objConsole.E8Command(Index), static_cast<int16_t>(ch + 1)));
    curCh_ = ch;
}

void clsIndOp_RigKV7::ConsEv_Enter(clsConsole&, int16_t& Index, int16_t evNo, int16_t) {
    const auto ev = static_cast<EnterEvent>(evNo);
    if (ev == EnterEvent::Txf) {
        if (!txf_.running()) {
            ResetProcedures();
            txf_.start(tcxoMode_);
        } else {
            txf_.confirm();
        }
        return;
    }
    if (ev < EnterEvent::BpfT1 || ev > EnterEvent::BpfAll || sweep_.running()) return;
    const bool all = ev == EnterEvent::BpfAll;
    sweep_.select(all ? 0 : static_cast<int16_t>(evNo - static_cast<int16_t>(EnterEvent::BpfT1)),
                  all);
    items_.sweepStarter = Index;
    ResetProcedures();
    sweep_.start();
    // The stage lines were drawn above before the sweep began: show which stages it sweeps.
    for (int16_t s = 0; s < 4; ++s) console_.Disp(static_cast<int16_t>(items_.bpfT1 + s));
}

// ---- adjustment procedures ---------------------------------------------------------------------

bool clsIndOp_RigKV7::RunProcedure() {
    if (!procedureRunning()) return true;
    const bool done = txf_.running() ? txf_.run() : sweep_.run();
    if (!procedureRunning()) ResetProcedures();
    return done;
}

}  // namespace kv7
