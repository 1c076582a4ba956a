#pragma once
#include <cstdint>
#include <string>

#include "protocol/clone_link.h"
#include "protocol/tick.h"
#include "store/byte_string.h"
#include "store/eeprom.h"

namespace kv7 {

// Sends one request frame at a time and carries its exchange (echo, answer, re-sends) to an end.
class clsCmcQkv3Drv {
  public:
    explicit clsCmcQkv3Drv(TickSource& ticks);

    CloneLink* myObjCom = nullptr;

    void setWorkMode(int16_t mode);
    int16_t workMode() const { return workMode_; }
    void setWaitAnswer(bool v) { waitAnswer_ = v; }
    bool waitAnswer() const { return waitAnswer_; }
    void setRetryCount(int16_t n) { retryCount_ = n; }
    int16_t retryCount() const { return retryCount_; }
    void setMyEep(clsCmcEeprom* eep) { myEep_ = eep; }
    void setSizDataOfPacket(int16_t n) { sizDataOfPacket_ = n; }
    void setCloneWriteAdrList(const std::string& list);
    bool Running() const { return running_; }
    void setLastError(int16_t v) { lastError_ = v; }
    int16_t lastError() const { return lastError_; }
    void setNowError(int16_t v);  // ends the exchange
    int16_t nowError() const { return nowError_; }
    const ByteString& ansInfo() const { return ansInfo_; }
    int32_t lastEeAdr() const { return lastEeAdr_; }
    const ByteString& varLastE8Answer() const { return varLastE8Answer_; }
    bool SendEnable() const;
    bool waitEcho() const { return workMode_ >= 1 && workMode_ <= 5; }
    int16_t waitState() const { return waitState_; }

    int16_t Send(const ByteString& payload);  // 0 written, 1 not
    int16_t RetrySend();
    int16_t RealSend(const ByteString& payload);
    void read(const ByteString& data);
    void task();
    void Reset();
    void ClearRxBuffer();

  private:
    void setWaitState(int16_t s);
    void onFrameEvent();
    int16_t parseAnswer(const ByteString& record);
    ByteString makeCloneWritePacket();
    bool checkAnswer(const ByteString& record) const;
    bool storeCloneData(const ByteString& record);
    void goIdle();
    void appendRx(const uint8_t* begin, const uint8_t* end);
    // Unread received bytes of one read call.
    struct Bytes {
        const uint8_t* begin;
        const uint8_t* end;
    };
    Bytes readEchoWait(Bytes data, ByteString& carry);
    Bytes readAnswerWait(Bytes data);
    void selectCloneWriteEntry();

    clsCmcTick waitTick_;
    int32_t echoTimeout_ = 1000;
    int32_t queuedAheadMs_ = 0;  // line time of what waited in the port before the last frame
    int32_t answerTimeout_ = 1200;
    int16_t retryCount_ = 0;
    int16_t retriesLeft_ = 0;
    bool waitAnswer_ = false;
    int16_t workMode_ = 0;
    std::string cloneWriteAdrList_;
    int16_t sizDataOfPacket_ = 16;
    clsCmcEeprom* myEep_ = nullptr;
    ByteString lastPayload_;
    ByteString txFrame_;
    ByteString rxBuffer_;
    int16_t waitState_ = 0;
    bool sendReady_ = true;
    bool outsideFrame_ = true;
    int32_t cloneWriteAdr_ = 0;
    int32_t lastEeAdr_ = 0;
    bool running_ = false;
    int16_t nowError_ = 0;
    int16_t lastError_ = 0;
    ByteString ansInfo_;
    ByteString varLastE8Answer_;
    uint8_t e8SubCommand_ = 0;
};

}  // namespace kv7
