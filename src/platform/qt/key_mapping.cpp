#include "platform/qt/key_mapping.h"

#include <QKeyEvent>

namespace kv7 {

namespace {

std::vector<VirtualKeyRow> buildTable() {
    using B = KeyBlock;
    std::vector<VirtualKeyRow> t = {
        {Qt::Key_Backspace, B::Either, 8},
        {Qt::Key_Tab, B::Either, 9},
        {Qt::Key_Backtab, B::Either, 9},
        {Qt::Key_Return, B::Either, 13},
        {Qt::Key_Enter, B::Either, 13},
        {Qt::Key_Shift, B::Either, 16},
        {Qt::Key_Control, B::Either, 17},
        {Qt::Key_Alt, B::Either, 18},
        {Qt::Key_Pause, B::Either, 19},
        {Qt::Key_CapsLock, B::Either, 20},
        {Qt::Key_Escape, B::Either, 27},
        {Qt::Key_Space, B::Either, 32},
        {Qt::Key_PageUp, B::Either, 33},
        {Qt::Key_PageDown, B::Either, 34},
        {Qt::Key_End, B::Either, 35},
        {Qt::Key_Home, B::Either, 36},
        {Qt::Key_Left, B::Either, 37},
        {Qt::Key_Up, B::Either, 38},
        {Qt::Key_Right, B::Either, 39},
        {Qt::Key_Down, B::Either, 40},
        {Qt::Key_Insert, B::Either, 45},
        {Qt::Key_Delete, B::Either, 46},
        {Qt::Key_Asterisk, B::Keypad, 106},
        {Qt::Key_Plus, B::Keypad, 107},
        // Some layouts type a comma on the keypad's decimal key; the key itself decides.
        {Qt::Key_Comma, B::Keypad, kVkSeparator},
        {Qt::Key_Minus, B::Keypad, 109},
        {Qt::Key_Period, B::Keypad, kVkDecimal},
        {Qt::Key_Slash, B::Keypad, 111},
    };
    for (int i = 0; i <= 9; ++i) {
        t.push_back({Qt::Key_0 + i, B::Main, 48 + i});
        t.push_back({Qt::Key_0 + i, B::Keypad, 96 + i});
    }
    for (int i = 0; i < 26; ++i) t.push_back({Qt::Key_A + i, B::Either, 65 + i});
    for (int i = 0; i < 12; ++i) t.push_back({Qt::Key_F1 + i, B::Either, 112 + i});
    return t;
}

// The keypad's decimal key, whatever character it types: some layouts give it the keypad
// separator's character (a comma), but it stays the decimal key, never the separator.
bool keypadDecimalKey(const QKeyEvent& e) {
#if defined(Q_OS_WIN)
    constexpr quint32 kVkDecimalNative = 0x6E;
    return e.nativeVirtualKey() == kVkDecimalNative;
#elif defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    constexpr quint32 kKeypadDecimalKeycode = 91;  // X11 and Wayland alike
    return e.nativeScanCode() == kKeypadDecimalKeycode;
#else
    (void)e;
    return false;
#endif
}

}  // namespace

const std::vector<VirtualKeyRow>& virtualKeyTable() {
    static const std::vector<VirtualKeyRow> table = buildTable();
    return table;
}

int virtualKeyCode(int qtKey, bool keypad, bool keypadDecimal) {
    for (const VirtualKeyRow& r : virtualKeyTable()) {
        if (r.qtKey != qtKey) continue;
        if (r.block == KeyBlock::Either || (r.block == KeyBlock::Keypad) == keypad) {
            return r.code == kVkSeparator && keypadDecimal ? kVkDecimal : r.code;
        }
    }
    return 0;
}

int vbKeyCode(const QKeyEvent& e) {
    const bool keypad = (e.modifiers() & Qt::KeypadModifier) != 0;
    return virtualKeyCode(e.key(), keypad, keypad && keypadDecimalKey(e));
}

bool shiftHeld(const QKeyEvent& e) {
    return (e.modifiers() & Qt::ShiftModifier) != 0;
}

}  // namespace kv7
