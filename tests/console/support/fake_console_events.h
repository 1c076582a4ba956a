#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/console_events.h"

namespace kv7::test {

// Records every handler call; ConsEv_Disp answers with dispText followed by the event number.
class FakeConsoleEvents : public ConsoleEventClass {
  public:
    struct Call {
        std::string handler;
        int16_t index;
        int16_t evNo;
        int16_t val;
        bool operator==(const Call&) const = default;
    };

    std::string ConsEv_Disp(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                            int16_t val) override;
    void ConsEv_SendE8(clsConsole& objConsole, int16_t& Index, int16_t evNo, int16_t val) override;
    void ConsEv_Enter(clsConsole& objConsole, int16_t& Index, int16_t evNo, int16_t val) override;
    void setWaitE8Required(int32_t wt) override { waits.push_back(wt); }

    std::string dispText = "event ";
    std::vector<Call> calls;
    std::vector<int32_t> waits;
};

}  // namespace kv7::test
