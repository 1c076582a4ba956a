#pragma once
#include <cstdint>
#include <vector>

#include "protocol/clone_link.h"

namespace kv7::test {

// A serial link that never fails: it opens on request and keeps every block written to it.
class FakeCloneLink : public CloneLink {
  public:
    bool comSendEnable() const override { return open; }
    int32_t outBufferFree() const override { return 1024; }
    void output(const ByteString& bytes) override { written.push_back(bytes); }
    void setComPortNum(int16_t n) override { portNum = n; }
    void setComOpen(bool v) override { open = v; }
    bool comOpen() const override { return open; }
    void Reset() override { open = false; }

    bool open = false;
    int16_t portNum = 0;
    std::vector<ByteString> written;
};

}  // namespace kv7::test
