#pragma once
#include <cstdint>
#include <string>

#include "model/operation_controller_interface.h"
#include "protocol/sequencer.h"
#include "serial/serial_link.h"
#include "store/message_sink.h"

namespace kv7 {

// The error state a failed radio operation leaves behind, read in the order it is judged.
struct CloneErrorState {
    bool errCannotOpen = false;  // the link could not open its port
    bool errOverflow = false;    // the link's receive buffer overflowed
    int16_t lastError = 0;       // the driver's last failure, 0 for none
    int16_t seqError = 0;        // the sequencer's failure
    int16_t comPortNum = 1;      // the port the link tried to open
};

// The platform's number-to-text conversion: a blank before a non-negative number.
std::string NumberText(int32_t n);

// The message that explains the failure and names what to check; CR LF between lines.
std::string CloneErrorText(const CloneErrorState& state);

// The error state of the link, its driver and the given sequencer, as it is now.
CloneErrorState CloneErrorStateOf(frmCom& link, const clsCmcQkv3Sequence& seq);

// Builds the message, resets the controller (so the window shows the reset state behind the
// message), then shows the message unless it is empty. A missing controller is not reset.
void MsgBoxCloneErr(frmCom& link, clsCmcQkv3Sequence& seq, OperationController* controller,
                    MessageSink& messages);

}  // namespace kv7
