#pragma once
#include <cstdint>
#include <string>

#include "protocol/clone_link.h"
#include "protocol/protocol_driver.h"
#include "protocol/radio.h"
#include "protocol/sequencer_hooks.h"
#include "protocol/tick.h"

namespace kv7 {

// Runs whole radio operations (identification, clone read/write, adjustment command) step by step.
class clsCmcQkv3Sequence {
  public:
    clsCmcQkv3Sequence(CloneLink& link, clsCmcQkv3Drv& driver, clsCmcRadio& radio,
                       TickSource& ticks);

    // Wired by the composition root; both must be set before an operation runs.
    void setSubNameChecker(SubNameChecker* c) { subNameChecker_ = c; }
    void setErrorReporter(CloneErrorReporter* r) { errorReporter_ = r; }

    void Reset();
    void Standby();
    void easyReset(int16_t portNo);
    void easyCloneRead();
    void easyCloneWrite();
    int16_t easySendE8NoAnswer(const std::string& spE8);
    int16_t easySendE8ReqAnswer(const std::string& spE8);
    void setComHoldReload(int32_t ms);
    int32_t comHoldReload() const { return comHoldReload_; }
    void setComPortNo(int16_t n) { comPortNo_ = n; }
    int16_t ComPortNo() const { return comPortNo_; }
    void setOperation(int16_t op);
    int16_t Operation() const { return operation_; }
    void setE8HexStrToSend(const std::string& s) { e8HexStrToSend_ = s; }
    void setE8AnsRequired(bool v) { e8AnsRequired_ = v; }
    void start();
    bool OpRunning() const { return stepCount_ != 0; }
    int16_t error() const { return error_; }
    const ByteString& ansInfo() const;
    std::string ansNameM() const;
    std::string ansNameS() const;
    bool ansCH_Type() const;
    void task();

    clsCmcQkv3Drv& driver() { return driver_; }
    CloneLink& link() { return link_; }

  private:
    void prepareStep();
    void startStep();
    int16_t nextStep();       // the step that follows, by Operation and stepCount
    int16_t identityCheck();  // after the identification of a clone read or write

    CloneLink& link_;
    clsCmcQkv3Drv& driver_;
    clsCmcRadio& radio_;
    clsCmcTick holdTick_;
    SubNameChecker* subNameChecker_ = nullptr;
    CloneErrorReporter* errorReporter_ = nullptr;
    int16_t comPortNo_ = 1;
    int16_t operation_ = 0;
    int16_t step_ = 0;
    int16_t stepCount_ = 0;
    std::string e8HexStrToSend_;
    bool e8AnsRequired_ = false;
    int32_t comHoldReload_ = 0;
    int16_t error_ = 0;
};

}  // namespace kv7
