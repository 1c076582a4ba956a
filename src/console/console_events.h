#pragma once
#include <cstdint>
#include <string>

namespace kv7 {

class clsConsole;

// Receiver of the console's item events: an item whose event number is 0 or more hands its
// display, sending or Enter action to these handlers. The operation controller implements it.
class ConsoleEventClass {
  public:
    virtual ~ConsoleEventClass() = default;
    // The line text of item Index for event evNo; val is the item's value.
    virtual std::string ConsEv_Disp(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                                    int16_t val) = 0;
    // Sends item Index to the radio in the handler's own way.
    virtual void ConsEv_SendE8(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                               int16_t val) = 0;
    // Runs the Enter action of item Index.
    virtual void ConsEv_Enter(clsConsole& objConsole, int16_t& Index, int16_t evNo,
                              int16_t val) = 0;
    // Milliseconds to let pass after the adjustment command the console has just started.
    virtual void setWaitE8Required(int32_t wt) = 0;
};

}  // namespace kv7
