#pragma once
#include <cstdint>

namespace kv7 {

// What the main window calls in the model's operation controller.
class OperationController {
public:
    virtual ~OperationController() = default;
    virtual void RigOpFunc_ResetAll() = 0;
    virtual bool RigKV7Prop_ReadParametersFromExtFile() = 0;
    virtual void RigOpFunc_FormResource() = 0;
    virtual void RigOpFunc_FormLayout() = 0;
    virtual void RigOpFunc_SetComPortNo(int16_t portNo) = 0;
    virtual void RigOpFunc_SetTCXO(bool bo) = 0;
    virtual void RigOpFunc_ClickCmd00(int16_t Index) = 0;
    virtual void task() = 0;
};

}  // namespace kv7
