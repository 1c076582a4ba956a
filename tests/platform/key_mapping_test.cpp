#include "platform/qt/key_mapping.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

namespace kv7 {
namespace {

// The window's keys reach the logic as the virtual-key numbers its handlers compare against.
TEST(KeyMapping, QtKeysBecomeTheCodesTheLogicUses) {
    struct Case {
        const char* name;
        int qtKey;
        bool keypad;
        bool decimalKey;  // the keypad's decimal key by its native code
        int code;
    };
    const Case cases[] = {
        {"Left", Qt::Key_Left, false, false, 37},
        {"keypad Left", Qt::Key_Left, true, false, 37},
        {"Up", Qt::Key_Up, false, false, 38},
        {"Right", Qt::Key_Right, false, false, 39},
        {"keypad Right", Qt::Key_Right, true, false, 39},
        {"Down", Qt::Key_Down, false, false, 40},
        {"Return", Qt::Key_Return, false, false, 13},
        {"keypad Enter", Qt::Key_Enter, true, false, 13},
        {"F1", Qt::Key_F1, false, false, 112},
        {"F5", Qt::Key_F5, false, false, 116},
        {"F12", Qt::Key_F12, false, false, 123},
        {"F13", Qt::Key_F13, false, false, 0},
        {"keypad separator", Qt::Key_Comma, true, false, 108},
        {"keypad decimal typing a comma", Qt::Key_Comma, true, true, 110},
        {"keypad decimal", Qt::Key_Period, true, false, 110},
        {"comma", Qt::Key_Comma, false, false, 0},
        {"period", Qt::Key_Period, false, false, 0},
        {"0", Qt::Key_0, false, false, 48},
        {"9", Qt::Key_9, false, false, 57},
        {"keypad 0", Qt::Key_0, true, false, 96},
        {"keypad 9", Qt::Key_9, true, false, 105},
        {"keypad minus", Qt::Key_Minus, true, false, 109},
        {"minus", Qt::Key_Minus, false, false, 0},
        {"A", Qt::Key_A, false, false, 65},
        {"Z", Qt::Key_Z, false, false, 90},
        {"Escape", Qt::Key_Escape, false, false, 27},
        {"keypad Delete", Qt::Key_Delete, true, false, 46},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyCode(c.qtKey, c.keypad, c.decimalKey), c.code) << c.name;
    }

    // From a key event: the keypad flag and the native code of the decimal key are read.
    const QKeyEvent separator(QEvent::KeyPress, Qt::Key_Comma, Qt::KeypadModifier, 0, 0, 0, ",");
    const QKeyEvent decimal(QEvent::KeyPress, Qt::Key_Comma, Qt::KeypadModifier, 91, 0x6E, 0, ",");
    const QKeyEvent shiftRight(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(vbKeyCode(separator), 108);
    EXPECT_EQ(vbKeyCode(decimal), 110);
    EXPECT_EQ(vbKeyCode(shiftRight), 39);
    EXPECT_TRUE(shiftHeld(shiftRight));
    EXPECT_FALSE(shiftHeld(separator));
}

// A key listed twice for the same place on the keyboard would depend on the row order.
TEST(KeyMapping, EveryKeyHasOneRowWhereverItSits) {
    const std::vector<VirtualKeyRow>& table = virtualKeyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        for (size_t j = i + 1; j < table.size(); ++j) {
            if (table[i].qtKey != table[j].qtKey) continue;
            const bool apart = table[i].block != KeyBlock::Either &&
                               table[j].block != KeyBlock::Either &&
                               table[i].block != table[j].block;
            EXPECT_TRUE(apart) << "Qt key " << table[i].qtKey << " rows " << i << " and " << j;
        }
    }
}

}  // namespace
}  // namespace kv7
