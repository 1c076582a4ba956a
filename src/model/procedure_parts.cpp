#include "model/procedure_parts.h"

#include "store/common.h"

namespace kv7 {

std::string CommandText(int16_t command, int16_t value) {
    return HexByte(command) + ByteToAsciiHexText(value);
}

void ReportItemSent(SessionObserver* observer, const clsConsole& console, int16_t index,
                    SendCause cause) {
    if (observer == nullptr) return;
    const bool onLine = console.E8Command(index) >= 0 || console.Event_SendE8(index) >= 0;
    observer->itemSent(index, console.Value(index), onLine, cause);
}

}  // namespace kv7
