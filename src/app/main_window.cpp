#include "app/main_window.h"

#include <cctype>
#include <stdexcept>

#include "app/clone_error_text.h"
#include "store/common.h"

namespace kv7 {

namespace {

constexpr const char* kOptionSection = "OPTION";
constexpr const char* kKeyComPort = "ComPort";
constexpr const char* kKeyComAutoRelease = "ComAutoRelease";
constexpr int32_t kDefaultComPort = 1;
constexpr int32_t kDefaultComAutoRelease = 0;
constexpr int32_t kMinComPort = 1;
constexpr int32_t kMaxComPort = 10;
// The radio link keeps at most this many seconds of hold time in its 16-bit millisecond count.
constexpr int32_t kMaxComAutoRelease = 32;

constexpr const char* kTitleNotice = "For authorised service use only.";

// Typing this on a command button shows the build caption.
constexpr const char* kKeyTrigger = "SHOWMEVERSION";
constexpr size_t kKeyHistoryLength = 13;
constexpr const char* kBuildCaption = "SW-KV7 ADJ Rev.2.0 - service build";

constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr int kKeyEnter = 13;
constexpr int kKeySeparator = 108;
constexpr int kKeyF5 = 116;

static_assert(std::char_traits<char>::length(kKeyTrigger) == kKeyHistoryLength);

// A stored port outside the link's range would be refused by the link anyway; start on COM 1.
int16_t settleComPort(bool read, int32_t v) {
    if (!read || v < kMinComPort || v > kMaxComPort) return static_cast<int16_t>(kDefaultComPort);
    return static_cast<int16_t>(v);
}

// Negative or too long a hold time cannot be kept: the release is off.
int16_t settleComAutoRelease(bool read, int32_t v) {
    if (!read || v < 0 || v > kMaxComAutoRelease) {
        return static_cast<int16_t>(kDefaultComAutoRelease);
    }
    return static_cast<int16_t>(v);
}

}  // namespace

frmMain::frmMain(frmCom& link, clsCmcQkv3Sequence& seq, clsConsole& console, MainWindowView& view,
                 MessageSink& messages)
    : link_(link), seq_(seq), console_(console), view_(view), messages_(messages) {}

OperationController& frmMain::controller() {
    if (controller_ == nullptr) throw std::logic_error("main window has no operation controller");
    return *controller_;
}

void frmMain::setComPortNo(int16_t v) {
    passComPortNo(v);
    comPortKnown_ = true;
}

void frmMain::passComPortNo(int16_t v) {
    comPortNo_ = v;
    controller().RigOpFunc_SetComPortNo(v);
}

void frmMain::setComAutoRelease(int16_t v) {
    passComAutoRelease(v);
    comAutoReleaseKnown_ = true;
}

void frmMain::passComAutoRelease(int16_t v) {
    comAutoRelease_ = v;
    // Computed in 32 bits: every 16-bit number of seconds fits as milliseconds.
    seq_.setComHoldReload(static_cast<int32_t>(v) * 1000);
}

void frmMain::setTCXOSet(bool v) {
    tcxoSet_ = v;
    controller().RigOpFunc_SetTCXO(v);
}

void frmMain::Form_Initialize() {
    // The defaults are nobody's choice: they are not written back unless loaded or set later.
    passComPortNo(1);
    passComAutoRelease(0);
    setTCXOSet(false);
}

bool frmMain::Form_Load() {
    if (!controller().RigKV7Prop_ReadParametersFromExtFile()) {
        ShowMessage(messages_, "Cannot read 'Const.ini'.");
        CloseLink();
        return false;
    }
    view_.setCaption(kAppTitle);
    view_.lblTitle().setCaption(std::string(kAppTitle) + "\r\nAdjust Utility for QT-KV7\r\n" +
                                kTitleNotice);
    controller().RigOpFunc_FormResource();
    controller().RigOpFunc_FormLayout();
    return true;
}

void frmMain::Form_Resize() {
    const double width = view_.ScaleWidth();
    const double pixel = view_.TwipsPerPixelY();
    view_.linSepa(0).setCoords(0, 0, width, 0);
    view_.linSepa(1).setCoords(0, pixel, width, pixel);
    Label& busy = view_.lblComBusy();
    busy.setCaption("");
    busy.Move(120, 120, busy.Width(), busy.Height());
    controller().RigOpFunc_FormLayout();
}

void frmMain::Form_QueryUnload() {
    CloseLink();
}

void frmMain::CloseLink() {
    if (linkClosed_) return;
    linkClosed_ = true;
    try {
        link_.AllOver();
    } catch (...) {
        link_.Form_Unload();  // the heartbeat stops whatever happened to the settings
        throw;
    }
    link_.Form_Unload();
}

void frmMain::mnuFileExit_Click() {
    view_.Unload();
}

void frmMain::mnuOptSelCom_Click(int16_t index) {
    setComPortNo(index);
}

void frmMain::mnuOptionSelAutoRelease_Click(int16_t index) {
    setComAutoRelease(index);
}

void frmMain::Check1_Click() {
    setTCXOSet(view_.Check1().Value() != 0);
}

void frmMain::cmd00_Click(int16_t index) {
    controller().RigOpFunc_ClickCmd00(index);
}

void frmMain::cmd00_KeyPress(char ch) {
    keyHistory_ += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (keyHistory_.size() > kKeyHistoryLength) {
        keyHistory_.erase(0, keyHistory_.size() - kKeyHistoryLength);
    }
    if (keyHistory_ == kKeyTrigger) view_.setCaption(kBuildCaption);
}

void frmMain::Form_KeyDown(int keyCode, bool /*shift*/) {
    if (windowKeyActs(keyCode)) controller().RigOpFunc_ClickCmd00(1);
}

bool frmMain::consoleKeyActs(int keyCode) {
    return keyCode == kKeyLeft || keyCode == kKeyRight || keyCode == kKeyEnter ||
           keyCode == kKeySeparator;
}

bool frmMain::windowKeyActs(int keyCode) {
    return keyCode == kKeyF5;
}

void frmMain::lboConsole_GotFocus() {
    ListControl& list = view_.lboConsole();
    if (list.ListIndex() < 0 && list.ListCount() > 0) list.setListIndex(0);
}

bool frmMain::lboConsole_KeyDown(int keyCode, bool shift) {
    if (!consoleKeyActs(keyCode)) return false;
    const int16_t line = view_.lboConsole().ListIndex();
    // Only a selected line that holds an item is acted on; the key is consumed either way.
    if (line < 0 || line >= console_.ListCount() || line >= view_.lboConsole().ListCount()) {
        return true;
    }
    const int16_t step = shift ? 5 : 1;
    switch (keyCode) {
        case kKeyLeft: console_.UpDown(line, static_cast<int16_t>(-step)); break;
        case kKeyRight: console_.UpDown(line, step); break;
        default: console_.EnterPushed(line); break;
    }
    return true;
}

void frmMain::task() {
    seq_.task();
    controller().task();
    if (seq_.OpRunning()) seq_.task();
    for (int16_t i = 1; i <= 4; ++i) view_.mnuOptSelCom(i).setChecked(comPortNo_ == i);
    for (int16_t i = 0; i <= 5; ++i) {
        view_.mnuOptionSelAutoRelease(i).setChecked(comAutoRelease_ == i);
    }
    const bool open = link_.comOpen();
    Label& busy = view_.lblComBusy();
    busy.setCaption("COM" + NumberText(comPortNo_) + (open ? ": OPEN" : ": CLOSE"));
    busy.setForeColor(open ? SystemColor::ButtonText : SystemColor::GrayText);
}

void frmMain::reportLinkError() {
    MsgBoxCloneErr(seq_);
}

void frmMain::saveData(clsCmcProfileIO& objProf) {
    objProf.setSection(kOptionSection);
    // A start that failed before the settings were loaded leaves the stored ones as they are.
    // Both keys are tried whatever the first gave; a failure is kept for the platform to tell.
    bool saved = true;
    if (comPortKnown_) {
        saved =
            objProf.saveData(kKeyComPort, ProfileValue(std::in_place_type<int16_t>, comPortNo_));
    }
    if (comAutoReleaseKnown_) {
        saved = objProf.saveData(kKeyComAutoRelease,
                                 ProfileValue(std::in_place_type<int16_t>, comAutoRelease_)) &&
                saved;
    }
    settingsSaveFailed_ = !saved;
}

void frmMain::loadData(clsCmcProfileIO& objProf) {
    objProf.setSection(kOptionSection);
    // One variable serves both keys; a key that cannot be read gets its own default rather
    // than whatever the other key left in the variable.
    int32_t v = 0;
    bool read = objProf.loadData(kKeyComPort, v, kDefaultComPort);
    setComPortNo(settleComPort(read, v));
    read = objProf.loadData(kKeyComAutoRelease, v, kDefaultComAutoRelease);
    setComAutoRelease(settleComAutoRelease(read, v));
}

void frmMain::MsgBoxCloneErr(clsCmcQkv3Sequence& myObjQkv3Seq) {
    kv7::MsgBoxCloneErr(link_, myObjQkv3Seq, controller_, messages_);
}

}  // namespace kv7
