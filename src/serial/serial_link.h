#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/clone_link.h"
#include "protocol/protocol_driver.h"
#include "protocol/tick.h"
#include "serial/serial_port.h"
#include "store/profile_io.h"

namespace kv7 {

// What the link's heartbeat calls in the main window.
class LinkClient {
  public:
    virtual ~LinkClient() = default;
    virtual void task() = 0;
    // The main window's error report with the program's sequencer.
    virtual void reportLinkError() = 0;
    virtual void saveData(clsCmcProfileIO& objProf) = 0;
    virtual void loadData(clsCmcProfileIO& objProf) = 0;
};

// The heartbeat timer: the platform calls timSolid_Timer every 50 ms while it is enabled.
class HeartbeatTimer {
  public:
    virtual ~HeartbeatTimer() = default;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
};

// The invisible serial link form: owns the port, the heartbeat, the driver and the settings file.
class frmCom : public CloneLink {
  public:
    // Runs the form's initialisation: profile object in programDir, driver, Reset.
    frmCom(SerialPort& port, TickSource& ticks, const std::string& programDir);
    ~frmCom() override;

    clsCmcQkv3Drv& qkv3D() { return *qkv3D_; }
    clsCmcProfileIO& profMain() { return *profMain_; }
    void setClient(LinkClient* client) { client_ = client; }
    void setTimer(HeartbeatTimer* timer) { timSolid_ = timer; }
    HeartbeatTimer* timSolid() { return timSolid_; }

    void Reset() override;
    void Form_Load() {}
    void Form_Unload();
    int16_t imdMinComPortNum() const { return 1; }
    int16_t imdmaxComPortNum() const { return 10; }
    void AllOver();
    bool totalError() const;
    void setErrOverflow(bool v) { errOverflow_ = v; }
    bool errOverflow() const { return errOverflow_; }
    void setErrCannotOpen(bool v) { errCannotOpen_ = v; }
    bool errCannotOpen() const { return errCannotOpen_; }
    void setComPortNum(int16_t n) override;
    int16_t comPortNum() const { return comPortNum_; }
    void setComBaud(int32_t b) { comBaud_ = b; }
    int32_t comBaud() const { return comBaud_; }
    void setLnkSettings(const std::string& s);
    bool comSendEnable() const override;
    void setComOpen(bool v) override;
    bool comOpen() const override;
    void saveData(clsCmcProfileIO& objProf);
    void loadData(clsCmcProfileIO& objProf);

    int32_t outBufferFree() const override;
    int32_t queuedLineMs() const override;
    void output(const ByteString& bytes) override;
    // Every byte written has left the port's queue and had its time on the line, so the radio
    // has it. The system's count of unsent bytes alone does not tell: a pseudo-terminal or an
    // adapter may report its queue empty while the bytes are still on their way.
    bool lineIdle() const;

    void MsCom_OnComm(int commEvent);
    // One heartbeat; a tick that arrives while one runs is skipped (bytes stay waiting).
    void timSolid_Timer();

  private:
    void deliverInput(const ByteString& data);
    int32_t lineAheadMs() const;  // until the bytes written so far have crossed the line

    SerialPort& MsCom_;
    TickSource& ticks_;
    int32_t lineFreeAt_ = 0;  // tick count when the bytes written so far have crossed the line
    std::unique_ptr<clsCmcProfileIO> profMain_;
    std::unique_ptr<clsCmcQkv3Drv> qkv3D_;
    LinkClient* client_ = nullptr;
    HeartbeatTimer* timSolid_ = nullptr;
    int16_t comPortNum_ = 1;
    int32_t comBaud_ = 9600;
    bool errCannotOpen_ = false;
    bool errOverflow_ = false;
    bool inTick_ = false;
};

}  // namespace kv7
