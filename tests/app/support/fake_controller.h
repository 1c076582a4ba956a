#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/operation_controller_interface.h"

namespace kv7::test {

// Records what the main window asks of the controller, in order, e.g. "SetComPortNo 3".
class FakeController : public OperationController {
  public:
    std::vector<std::string> calls;
    bool constantsReadable = true;
    int resets = 0;
    int tasks = 0;
    // Run inside the named calls, e.g. to throw or to look at other objects at that moment.
    std::function<void()> onTask;
    std::function<void()> onReset;

    void RigOpFunc_ResetAll() override;
    bool RigKV7Prop_ReadParametersFromExtFile() override;
    void RigOpFunc_FormResource() override { calls.push_back("FormResource"); }
    void RigOpFunc_FormLayout() override { calls.push_back("FormLayout"); }
    void RigOpFunc_SetComPortNo(int16_t portNo) override;
    void RigOpFunc_SetTCXO(bool bo) override;
    void RigOpFunc_ClickCmd00(int16_t Index) override;
    void task() override;
    ConnectionState connectionState() const override { return ConnectionState::Idle; }
    bool atRest() const override { return true; }

    // The recorded calls that start with prefix.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
};

}  // namespace kv7::test
