#include "app/support/fake_controller.h"

namespace kv7::test {

void FakeController::RigOpFunc_ResetAll() {
    calls.push_back("ResetAll");
    ++resets;
    if (onReset) onReset();
}

bool FakeController::RigKV7Prop_ReadParametersFromExtFile() {
    calls.push_back("ReadParameters");
    return constantsReadable;
}

void FakeController::RigOpFunc_SetComPortNo(int16_t portNo) {
    calls.push_back("SetComPortNo " + std::to_string(portNo));
}

void FakeController::RigOpFunc_SetTCXO(bool bo) {
    calls.push_back(std::string("SetTCXO ") + (bo ? "true" : "false"));
}

void FakeController::RigOpFunc_ClickCmd00(int16_t Index) {
    calls.push_back("ClickCmd00 " + std::to_string(Index));
}

void FakeController::task() {
    calls.push_back("task");
    ++tasks;
    if (onTask) onTask();
}

std::vector<std::string> FakeController::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls) {
        if (c.rfind(prefix, 0) == 0) out.push_back(c);
    }
    return out;
}

}  // namespace kv7::test
