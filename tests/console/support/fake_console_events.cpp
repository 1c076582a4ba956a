#include "console/support/fake_console_events.h"

namespace kv7::test {

std::string FakeConsoleEvents::ConsEv_Disp(clsConsole&, int16_t& Index, int16_t evNo, int16_t val) {
    calls.push_back({"Disp", Index, evNo, val});
    return dispText + std::to_string(evNo);
}

void FakeConsoleEvents::ConsEv_SendE8(clsConsole&, int16_t& Index, int16_t evNo, int16_t val) {
    calls.push_back({"SendE8", Index, evNo, val});
}

void FakeConsoleEvents::ConsEv_Enter(clsConsole&, int16_t& Index, int16_t evNo, int16_t val) {
    calls.push_back({"Enter", Index, evNo, val});
}

}  // namespace kv7::test
