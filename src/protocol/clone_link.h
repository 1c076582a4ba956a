#pragma once
#include <cstdint>

#include "store/byte_string.h"

namespace kv7 {

// What the protocol driver and the sequencer need of the serial link (frmCom implements it).
class CloneLink {
  public:
    virtual ~CloneLink() = default;
    virtual bool comSendEnable() const = 0;            // the port is open
    virtual int32_t outBufferFree() const = 0;         // OutBufferSize - OutBufferCount
    virtual void output(const ByteString& bytes) = 0;  // write one block
    // How long the bytes still waiting in the port's transmit queue take on the line, in ms: a
    // frame written now reaches the radio only after them.
    virtual int32_t queuedLineMs() const { return 0; }
    virtual void setComPortNum(int16_t n) = 0;
    virtual void setComOpen(bool v) = 0;
    virtual bool comOpen() const = 0;
    virtual void Reset() = 0;
};

}  // namespace kv7
