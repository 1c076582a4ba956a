#include "serial/serial_link.h"

#include <algorithm>

namespace kv7 {

namespace {

constexpr const char* kSettingsFileName = "SWKV7ADJ.rs";
constexpr const char* kInitialSection = "SW-KV7 ADJ Rev.2.0";

// Control configuration put back by every reset, in the order it is applied.
constexpr bool kDTREnable = true;
constexpr int32_t kInBufferSize = 4096;
constexpr int32_t kInputLen = 0;   // a read takes every waiting byte
constexpr int32_t kInputMode = 1;  // binary
constexpr int32_t kOutBufferSize = 1024;
constexpr int32_t kRThreshold = 1;  // a receive event per received byte
constexpr bool kRTSEnable = true;
constexpr int32_t kSThreshold = 0;  // no transmit events

constexpr int32_t kMaxLineAheadMs = 60000;

constexpr int16_t kResetPortNum = 1;
constexpr int32_t kResetBaud = 9600;

bool isLineError(int commEvent) {
    switch (commEvent) {
        case 1001:  // break
        case 1002:  // CTS time-out
        case 1003:  // DSR time-out
        case 1004:  // framing error
        case 1006:  // overrun
        case 1007:  // CD time-out
        case 1009:  // parity error
        case 1010:  // transmit buffer full
        case 1011:  // device control block error
            return true;
        default: return false;
    }
}

// Marks a tick as running for as long as it lives, also when the tick ends with an exception,
// so a failed tick does not block every later one.
class TickGuard {
  public:
    explicit TickGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TickGuard() { flag_ = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

  private:
    bool& flag_;
};

}  // namespace

frmCom::frmCom(SerialPort& port, TickSource& ticks, const std::string& programDir)
    : MsCom_(port), ticks_(ticks), lineFreeAt_(ticks.GetTickCount()) {
    // Form_Initialize
    profMain_ = std::make_unique<clsCmcProfileIO>(programDir);
    profMain_->SetCurrentPath();
    profMain_->setName(kSettingsFileName);
    profMain_->setSection(kInitialSection);
    qkv3D_ = std::make_unique<clsCmcQkv3Drv>(ticks);
    qkv3D_->myObjCom = this;
    MsCom_.setCommEventHandler([this](int commEvent) { MsCom_OnComm(commEvent); });
    Reset();
}

frmCom::~frmCom() {
    // The port may outlive the link: it must not call back into a destroyed form.
    MsCom_.setCommEventHandler(nullptr);
    if (MsCom_.portOpen()) MsCom_.setPortOpen(false);
    qkv3D_->myObjCom = nullptr;
}

void frmCom::Reset() {
    setComOpen(false);
    comPortNum_ = kResetPortNum;
    comBaud_ = kResetBaud;
    MsCom_.setDTREnable(kDTREnable);
    MsCom_.setInBufferSize(kInBufferSize);
    MsCom_.setInputLen(kInputLen);
    MsCom_.setInputMode(kInputMode);
    MsCom_.setOutBufferSize(kOutBufferSize);
    MsCom_.setRThreshold(kRThreshold);
    MsCom_.setRTSEnable(kRTSEnable);
    MsCom_.setSThreshold(kSThreshold);
    errCannotOpen_ = false;
    errOverflow_ = false;
}

void frmCom::Form_Unload() {
    setComOpen(false);
    if (timSolid_ != nullptr) timSolid_->setEnabled(false);
}

void frmCom::AllOver() {
    setComOpen(false);
    if (client_ != nullptr) client_->saveData(*profMain_);
}

bool frmCom::totalError() const {
    return errCannotOpen_ || errOverflow_ || qkv3D_->nowError() != 0;
}

void frmCom::setComPortNum(int16_t n) {
    if (n >= imdMinComPortNum() && n <= imdmaxComPortNum()) comPortNum_ = n;
}

void frmCom::setLnkSettings(const std::string& s) {
    MsCom_.setSettings(s);
}

bool frmCom::comSendEnable() const {
    return MsCom_.portOpen();
}

void frmCom::setComOpen(bool v) {
    const bool opening = v && !MsCom_.portOpen();
    if (opening) {
        MsCom_.setCommPort(comPortNum_);
        MsCom_.setSettings(std::to_string(comBaud_) + ",N,8,1");
    }
    // Platform errors from here on are collected, not raised.
    bool platformError = false;
    if (MsCom_.portOpen() != v) platformError = !MsCom_.setPortOpen(v);
    // Every request asks for an open port. The transmit buffer is emptied only on a fresh
    // opening: on an open port it still holds the frames of earlier requests on their way to
    // the radio (an adjustment command that expects no answer is done as soon as it is
    // written), and emptying it would destroy them.
    if (opening && !platformError) platformError = !MsCom_.clearOutBuffer();
    if (platformError && v) {
        MsCom_.setPortOpen(false);
        errCannotOpen_ = true;
    }
    qkv3D_->Reset();
}

bool frmCom::comOpen() const {
    return MsCom_.portOpen();
}

void frmCom::saveData(clsCmcProfileIO& objProf) {
    if (client_ != nullptr) client_->saveData(objProf);
}

void frmCom::loadData(clsCmcProfileIO& objProf) {
    if (client_ != nullptr) client_->loadData(objProf);
}

int32_t frmCom::outBufferFree() const {
    return MsCom_.outBufferSize() - MsCom_.outBufferCount();
}

// Ten bits a byte (8N1) at the port's rate, rounded up.
int32_t frmCom::queuedLineMs() const {
    if (!MsCom_.portOpen() || comBaud_ <= 0) return 0;
    const int64_t bits = int64_t{MsCom_.outBufferCount()} * 10 * 1000;
    return static_cast<int32_t>((bits + comBaud_ - 1) / comBaud_);
}

void frmCom::output(const ByteString& bytes) {
    // Writing to a closed port would be a platform error; the driver only writes while the
    // port is open, so a write after a close (an event between) is dropped.
    if (!MsCom_.portOpen()) return;
    MsCom_.output(bytes);
    // The bytes take their time on the line after those still on it: 10 bits each.
    const int64_t ms = (int64_t{static_cast<int32_t>(bytes.size())} * 10 * 1000 + comBaud_ - 1) /
                       std::max<int32_t>(comBaud_, 1);
    const int32_t from = lineAheadMs() > 0 ? lineFreeAt_ : ticks_.GetTickCount();
    lineFreeAt_ = static_cast<int32_t>(static_cast<uint32_t>(from) + static_cast<uint32_t>(ms));
}

int32_t frmCom::lineAheadMs() const {
    const auto ahead = static_cast<int32_t>(static_cast<uint32_t>(lineFreeAt_) -
                                            static_cast<uint32_t>(ticks_.GetTickCount()));
    // Far more than any queue holds: a time long past, its difference wrapped.
    return ahead > 0 && ahead <= kMaxLineAheadMs ? ahead : 0;
}

bool frmCom::lineIdle() const {
    return lineAheadMs() <= 0 && (!MsCom_.portOpen() || MsCom_.outBufferCount() == 0);
}

void frmCom::MsCom_OnComm(int commEvent) {
    if (commEvent == SerialPort::kEvReceive) {
        if (MsCom_.inBufferCount() > 0) timSolid_Timer();
    } else if (commEvent == SerialPort::kEvRxOver) {
        errOverflow_ = true;
        setComOpen(false);
    } else if (isLineError(commEvent)) {
        qkv3D_->ClearRxBuffer();
    }
}

void frmCom::timSolid_Timer() {
    // A receive event or a timer tick during a running tick (or its message box) waits for the
    // next tick; the bytes stay in the port.
    if (inTick_) return;
    TickGuard guard(inTick_);
    MsCom_.fetchReceived();  // before a time-out is decided
    if (MsCom_.inBufferCount() > 0) deliverInput(MsCom_.input());
    qkv3D_->task();
    if (client_ != nullptr) client_->task();
    if (totalError() && client_ != nullptr) client_->reportLinkError();
    if (totalError() && MsCom_.portOpen()) setComOpen(false);
}

void frmCom::deliverInput(const ByteString& data) {
    qkv3D_->read(data);
}

}  // namespace kv7
