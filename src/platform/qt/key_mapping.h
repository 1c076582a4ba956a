#pragma once
#include <vector>

class QKeyEvent;

namespace kv7 {

// Where a key sits: the main block, the numeric keypad, or either (arrows and Enter mean the
// same from both).
enum class KeyBlock { Either, Main, Keypad };

// One Qt key, from where it sits, as the classic virtual-key number the logic knows.
struct VirtualKeyRow {
    int qtKey;
    KeyBlock block;
    int code;
};

// Every key the logic knows; a key not listed is 0 to it.
const std::vector<VirtualKeyRow>& virtualKeyTable();

// The keypad's separator and decimal keys.
constexpr int kVkSeparator = 108;
constexpr int kVkDecimal = 110;

// The virtual-key number of a Qt key; `keypadDecimal` tells that the key is the keypad's
// decimal key by its native code, whatever character the layout gives it.
int virtualKeyCode(int qtKey, bool keypad, bool keypadDecimal);

// The same for a key event of the window.
int vbKeyCode(const QKeyEvent& e);
bool shiftHeld(const QKeyEvent& e);

}  // namespace kv7
