#include "protocol/sequencer.h"

#include "protocol/frame_format.h"
#include "store/common.h"

namespace kv7 {

clsCmcQkv3Sequence::clsCmcQkv3Sequence(CloneLink& link, clsCmcQkv3Drv& driver, clsCmcRadio& radio,
                                       TickSource& ticks)
    : link_(link), driver_(driver), radio_(radio), holdTick_(ticks) {
    Reset();
    comPortNo_ = 1;
    setComHoldReload(0);
}

void clsCmcQkv3Sequence::Reset() {
    driver_.Reset();
    link_.Reset();
    Standby();
}

void clsCmcQkv3Sequence::Standby() {
    operation_ = 0;
    stepCount_ = 0;
    e8HexStrToSend_.clear();
}

void clsCmcQkv3Sequence::easyReset(int16_t portNo) {
    Reset();
    comPortNo_ = portNo;
}

void clsCmcQkv3Sequence::easyCloneRead() {
    setOperation(2);
    start();
}

void clsCmcQkv3Sequence::easyCloneWrite() {
    setOperation(3);
    start();
}

int16_t clsCmcQkv3Sequence::easySendE8NoAnswer(const std::string& spE8) {
    setOperation(4);
    e8HexStrToSend_ = spE8;
    start();
    return 0;
}

int16_t clsCmcQkv3Sequence::easySendE8ReqAnswer(const std::string& spE8) {
    setOperation(4);
    e8HexStrToSend_ = spE8;
    e8AnsRequired_ = true;
    start();
    return 0;
}

void clsCmcQkv3Sequence::setComHoldReload(int32_t ms) {
    comHoldReload_ = ms;
    holdTick_.setCounter(ms);
}

void clsCmcQkv3Sequence::setOperation(int16_t op) {
    operation_ = op;
    e8AnsRequired_ = false;
}

void clsCmcQkv3Sequence::start() {
    stepCount_ = 0;
    task();
}

const ByteString& clsCmcQkv3Sequence::ansInfo() const {
    return driver_.ansInfo();
}

std::string clsCmcQkv3Sequence::ansNameM() const {
    return identModelCode(driver_.ansInfo());
}

std::string clsCmcQkv3Sequence::ansNameS() const {
    return identSubName(driver_.ansInfo());
}

bool clsCmcQkv3Sequence::ansCH_Type() const {
    return identChannelType(driver_.ansInfo());
}

void clsCmcQkv3Sequence::prepareStep() {
    driver_.setLastError(0);
    error_ = 0;
    link_.setComPortNum(comPortNo_);
}

void clsCmcQkv3Sequence::startStep() {
    const std::string& nameM = radio_.radioNameM();
    const std::string& nameS = radio_.radionameS();
    std::string request;
    switch (step_) {
        case 1:
            prepareStep();
            link_.setComOpen(true);  // also resets the driver
            driver_.setWorkMode(1);
            request = "E0" + nameM + "0000";
            break;
        case 2:
            prepareStep();
            link_.setComOpen(true);
            driver_.setWorkMode(2);
            driver_.setMyEep(&radio_.eepImage);
            request = "E2" + nameM + nameS;
            break;
        case 3:
            prepareStep();
            link_.setComOpen(true);
            driver_.setWorkMode(3);
            driver_.setMyEep(&radio_.eepImage);
            driver_.setSizDataOfPacket(16);
            driver_.setCloneWriteAdrList(radio_.cloneWriteAdrList());
            request = "E3" + nameM + nameS;
            break;
        case 4:
            prepareStep();
            link_.setComOpen(true);
            driver_.setWorkMode(5);
            driver_.setWaitAnswer(e8AnsRequired_);
            driver_.setRetryCount(2);
            request = "E8" + nameM + nameS + e8HexStrToSend_;
            break;
        case 6:
            stepCount_ = 0;
            Standby();
            return;
        default: return;
    }
    // A request that could not be written leaves the driver idle; the next task sees the step
    // as finished and the link's own error flag reports the port.
    driver_.Send(HexTextToByteString(request));
}

int16_t clsCmcQkv3Sequence::identityCheck() {
    if (driver_.lastError() != 0) {
        error_ = 3;
    } else {
        if (ansNameM() != radio_.radioNameM()) error_ = 1;
        // Later requests carry the radio's own sub name once it is accepted.
        if (subNameChecker_ != nullptr &&
            subNameChecker_->RigOpFunc_CheckSubNameLegal(ansNameS())) {
            radio_.setRadionameS(ansNameS());
        } else {
            error_ = 2;
        }
        if (operation_ == 2) radio_.setRadioCH_Type(ansCH_Type());
    }
    if (error_ != 0) return 5;
    return operation_ == 2 ? 2 : 3;
}

int16_t clsCmcQkv3Sequence::nextStep() {
    switch (operation_) {
        case 1: return stepCount_ == 0 ? 1 : 6;
        case 2:
        case 3:
            if (stepCount_ == 0) return 1;
            if (stepCount_ == 1) return identityCheck();
            return driver_.lastError() != 0 ? 5 : 6;
        case 4:
            if (stepCount_ == 0) return 4;
            return driver_.lastError() != 0 ? 5 : 6;
        default:
            // No steps: end at once rather than count ticks forever with OpRunning true.
            return 6;
    }
}

void clsCmcQkv3Sequence::task() {
    const bool active = operation_ != 0;
    if (operation_ != 0 && !driver_.Running()) {
        int16_t n = nextStep();
        if (n == 5) {
            link_.setComOpen(false);
            if (errorReporter_ != nullptr) errorReporter_->MsgBoxCloneErr(*this);
        }
        ++stepCount_;
        if (n == 5) n = 6;
        if (n != 0) {
            step_ = n;
            startStep();
        }
    }
    if (active) {
        holdTick_.setCounter(comHoldReload_);
    } else if (comHoldReload_ > 0 && holdTick_.counter() < 1 && link_.comOpen()) {
        Reset();  // the port is released
    }
}

}  // namespace kv7
