#include "app/start.h"

#include "store/atomic_file.h"
#include "store/common.h"
#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kRadioNameM = "2251";
constexpr const char* kRadioNameS = "0200";
constexpr int32_t kCloneFirstAddress = 0;
constexpr int32_t kCloneLastAddress = 5119;

}  // namespace

const char* const kSecondInstanceText =
    "Cannot execute SW-KV7 ADJ Rev.2.0 repeatedly.\r\nSW-KV7 ADJ Rev.2.0 is already executing.";

void LoadSettings(frmCom& link) {
    link.loadData(link.profMain());
}

void SaveSettings(frmCom& link) {
    link.saveData(link.profMain());
}

StartResult Main(const std::function<bool()>& anotherInstanceRunning, MessageSink& messages,
                 frmCom& link, clsCmcRadio& radio, frmMain& window) {
    if (anotherInstanceRunning && anotherInstanceRunning()) {
        ShowMessage(messages, kSecondInstanceText);
        return StartResult::SecondInstance;
    }
    radio.setRadioNameM(kRadioNameM);
    radio.setRadionameS(kRadioNameS);
    radio.cloneWriteAdrList_Clear();
    radio.cloneWriteAdrList_Add(kCloneFirstAddress, kCloneLastAddress);

    link.qkv3D().Reset();
    link.Reset();

    window.Form_Initialize();
    LoadSettings(link);
    link.Form_Load();

    // No heartbeat work runs before this point.
    if (HeartbeatTimer* timer = link.timSolid()) timer->setEnabled(true);

    return window.Form_Load() ? StartResult::Running : StartResult::ConstantsMissing;
}

bool WritePresetSettings(const std::string& dir, int comPort, const std::string& device) {
    std::string body =
        "[OPTION]\r\nComPort=" + std::to_string(comPort) + "\r\nComAutoRelease=0\r\n";
    if (!device.empty()) body += "[PORTS]\r\nCOM" + std::to_string(comPort) + "=" + device + "\r\n";
    return static_cast<bool>(writeFileAtomically(pathFromUtf8(dir) / "SWKV7ADJ.rs", body));
}

}  // namespace kv7
