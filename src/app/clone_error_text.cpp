#include "app/clone_error_text.h"

#include "store/common.h"

namespace kv7 {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kModelName = "QT-KV7";

enum class Checklist { None, Short, Full };

struct Cause {
    std::string text;
    Checklist checklist;
};

Cause causeOf(const CloneErrorState& s) {
    if (s.errCannotOpen)
        return {"Cannot access COM" + NumberText(s.comPortNum) + ".", Checklist::Full};
    if (s.errOverflow) return {"COM buffer Overflow.", Checklist::Full};
    switch (s.lastError) {
        case 0: break;
        case 1: return {"Cannot access COM port", Checklist::Full};
        case 2: return {std::string("No answer from ") + kModelName + ".", Checklist::Full};
        case 3: return {"Illegal data.", Checklist::Full};
        case 4: return {"Data Overflow.", Checklist::Full};
        case 5:
        case 6: return {"Cannot write cloning data.", Checklist::Short};
        default: return {"Cannot Clone.", Checklist::Full};
    }
    switch (s.seqError) {
        case 0: return {"Communication failed.", Checklist::Short};
        case 2:
            return {std::string("Version number does not match") + kCrLf + "for this " +
                        kModelName + ".",
                    Checklist::None};
        default: return {"Cannot Clone.", Checklist::Full};
    }
}

}  // namespace

std::string NumberText(int32_t n) {
    const std::string digits = std::to_string(n);
    return n >= 0 ? " " + digits : digits;
}

std::string CloneErrorText(const CloneErrorState& state) {
    const Cause cause = causeOf(state);
    if (cause.checklist == Checklist::None) return cause.text;
    std::string text = cause.text + kCrLf + kCrLf + "Check the following:" + kCrLf + kCrLf;
    if (cause.checklist == Checklist::Full) text += std::string("- The COM port settings.") + kCrLf;
    text += std::string("- Cloning cable connections.") + kCrLf;
    text += std::string("- The ") + kModelName + " power is ON.";
    return text;
}

CloneErrorState CloneErrorStateOf(frmCom& link, const clsCmcQkv3Sequence& seq) {
    CloneErrorState s;
    s.errCannotOpen = link.errCannotOpen();
    s.errOverflow = link.errOverflow();
    s.lastError = link.qkv3D().lastError();
    s.seqError = seq.error();
    s.comPortNum = link.comPortNum();
    return s;
}

void MsgBoxCloneErr(frmCom& link, clsCmcQkv3Sequence& seq, OperationController* controller,
                    MessageSink& messages) {
    // Read the state first: the reset clears the link's flags and the driver's codes.
    const std::string text = CloneErrorText(CloneErrorStateOf(link, seq));
    if (controller != nullptr) controller->RigOpFunc_ResetAll();
    if (!text.empty()) ShowMessage(messages, text);
}

}  // namespace kv7
