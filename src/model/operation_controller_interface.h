#pragma once
#include <cstdint>

namespace kv7 {

// The connection as everything outside the controller sees it.
enum class ConnectionState {
    Idle,               // waiting for "Connect"
    Connecting,         // started: the clone read and the command after it
    Monitoring,         // the monitoring cycle runs; the console can be edited
    ShowingParameters,  // the stored parameters are listed
};

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

    virtual ConnectionState connectionState() const = 0;
    // Idle, the window already shows it, and no radio operation is on the line: the moment
    // another user of the radio (an image write) may take the line.
    virtual bool atRest() const = 0;
};

}  // namespace kv7
