#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/support/fake_console_events.h"
#include "console/support/fake_list_box.h"
#include "store/common.h"

namespace kv7 {
namespace {

class ConsolePropertiesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console.myListBox = &box;
        console.myEventClass = &events;
        for (int i = 0; i < 4; ++i) console.AddItem();
        box.resetRedraws();
    }

    test::FakeListBox box;
    test::FakeConsoleEvents events;
    clsConsole console;
};

TEST_F(ConsolePropertiesTest, NewItemHasTheDefaults) {
    EXPECT_EQ(console.ListCount(), 4);
    ASSERT_EQ(box.ListCount(), 4);
    for (int16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(console.Value(i), 0);
        EXPECT_EQ(console.Min(i), 0);
        EXPECT_EQ(console.Max(i), 255);
        EXPECT_FALSE(console.BarExist(i));
        EXPECT_FALSE(console.LoopVal(i));
        EXPECT_EQ(console.WaitAfterE8(i), 200);
        EXPECT_EQ(console.EeAdr(i), -1);
        EXPECT_FALSE(console.EeDataSigned(i));
        EXPECT_EQ(console.E8Command(i), -1);
        EXPECT_EQ(console.Event_Disp(i), -1);
        EXPECT_EQ(console.Event_Changed(i), -1);
        EXPECT_EQ(console.Event_SendE8(i), -1);
        EXPECT_EQ(console.Event_Enter(i), -1);
        EXPECT_FALSE(console.flgChanged(i));
        EXPECT_FALSE(console.flgEnterOn(i));
        EXPECT_EQ(box.List(i), ":   0");
    }
}

TEST_F(ConsolePropertiesTest, ClearEmptiesItemsAndLinesAndAddItemReusesNoOldState) {
    console.setValue(0, 77);
    console.Clear();
    EXPECT_EQ(console.ListCount(), 0);
    EXPECT_EQ(box.ListCount(), 0);
    console.AddItem();
    EXPECT_EQ(console.Value(0), 0);
    EXPECT_FALSE(console.flgChanged(0));
    EXPECT_EQ(box.lines, std::vector<std::string>{":   0"});
}

TEST_F(ConsolePropertiesTest, AddItemKeepsSurplusLinesAndDrawsOnlyTheNewLine) {
    box.AddItem("spare");
    box.AddItem("spare");
    console.AddItem();
    EXPECT_EQ(box.ListCount(), 6);
    EXPECT_EQ(box.List(4), ":   0");
    EXPECT_EQ(box.List(5), "spare");
}

TEST_F(ConsolePropertiesTest, ValueSetterLimitsRedrawsOnChangeAndAlwaysMarksChanged) {
    struct Case {
        int16_t before;
        int16_t assigned;
        int16_t stored;
        int redraws;
    };
    const Case cases[] = {
        {0, 300, 255, 1}, {0, -4, 0, 0}, {17, 17, 17, 0}, {10, 11, 11, 1}, {255, 300, 255, 0},
    };
    for (const Case& c : cases) {
        console.setValue(1, c.before);
        console.setFlgChanged(1, false);
        box.resetRedraws();
        console.setValue(1, c.assigned);
        EXPECT_EQ(console.Value(1), c.stored) << c.before << " <- " << c.assigned;
        EXPECT_EQ(box.redraws(1), c.redraws) << c.before << " <- " << c.assigned;
        EXPECT_TRUE(console.flgChanged(1)) << c.before << " <- " << c.assigned;
    }
    EXPECT_EQ(box.List(1), ": 255");
}

TEST_F(ConsolePropertiesTest, MinAndMaxKeepTheRangeOrderedAndTheValueInside) {
    struct Case {
        bool setMin;
        int16_t v;
        int16_t min, max, value;
    };
    // Each case starts from Min 0, Max 5, Value 3.
    const Case cases[] = {
        {true, 10, 10, 10, 10}, {false, -3, -3, -3, -3}, {true, 4, 4, 5, 4},
        {false, 2, 0, 2, 2},    {true, -7, -7, 5, 3},    {false, 300, 0, 300, 3},
    };
    for (const Case& c : cases) {
        console.setMin(2, 0);
        console.setMax(2, 5);
        console.setValue(2, 3);
        console.setFlgChanged(2, false);
        box.resetRedraws();
        if (c.setMin) {
            console.setMin(2, c.v);
        } else {
            console.setMax(2, c.v);
        }
        const std::string what = std::string(c.setMin ? "Min " : "Max ") + std::to_string(c.v);
        EXPECT_EQ(console.Min(2), c.min) << what;
        EXPECT_EQ(console.Max(2), c.max) << what;
        EXPECT_EQ(console.Value(2), c.value) << what;
        EXPECT_GE(box.redraws(2), 1) << what;
        EXPECT_EQ(box.List(2), ":" + std::string(4 - std::to_string(c.value).size(), ' ') +
                                   std::to_string(c.value))
            << what;
        // Limiting the value is not a change to be sent.
        EXPECT_FALSE(console.flgChanged(2)) << what;
    }
}

TEST_F(ConsolePropertiesTest, FlgChangedTrueLimitsAndRedrawsFalseDoesNot) {
    console.setFlgChanged(0, false);
    EXPECT_EQ(box.redraws(0), 0);
    console.setFlgChanged(0, true);
    EXPECT_TRUE(console.flgChanged(0));
    EXPECT_EQ(box.redraws(0), 1);
}

TEST_F(ConsolePropertiesTest, OnlyOneItemHasEnterPending) {
    console.setFlgEnterOn(1, true);
    console.setFlgEnterOn(3, true);
    EXPECT_FALSE(console.flgEnterOn(1));
    EXPECT_TRUE(console.flgEnterOn(3));
    console.setFlgEnterOn(2, false);
    EXPECT_TRUE(console.flgEnterOn(3));
    console.EnterPushed(0);
    EXPECT_TRUE(console.flgEnterOn(0));
    EXPECT_FALSE(console.flgEnterOn(3));
    console.setFlgEnterOn(0, false);
    EXPECT_FALSE(console.flgEnterOn(0));
}

TEST_F(ConsolePropertiesTest, StoreOnlyPropertiesRedrawNothing) {
    console.setBarExist(0, true);
    console.setLoopVal(0, true);
    console.setWaitAfterE8(0, 50);
    console.setEeAdr(0, 12);
    console.setEeDataSigned(0, true);
    console.setE8Command(0, 9);
    console.setEvent_Changed(0, 1);
    console.setEvent_SendE8(0, 2);
    console.setEvent_Enter(0, 3);
    console.setFlgEnterOn(0, true);
    EXPECT_EQ(box.redraws(0), 0);
    EXPECT_EQ(box.List(0), ":   0");
    EXPECT_TRUE(events.calls.empty());
    // The bar shows from the next redraw on.
    console.setTitle(0, "X");
    EXPECT_EQ(box.List(0), "X:   0 [--------------------]");
}

TEST_F(ConsolePropertiesTest, EveryOperationRefusesIndexesOutsideTheItems) {
    using Op = std::function<void(clsConsole&, int16_t)>;
    const std::vector<std::pair<const char*, Op>> ops = {
        {"Title", [](clsConsole& c, int16_t i) { c.Title(i); }},
        {"setTitle", [](clsConsole& c, int16_t i) { c.setTitle(i, "x"); }},
        {"Value", [](clsConsole& c, int16_t i) { c.Value(i); }},
        {"setValue", [](clsConsole& c, int16_t i) { c.setValue(i, 1); }},
        {"setMin", [](clsConsole& c, int16_t i) { c.setMin(i, 1); }},
        {"setMax", [](clsConsole& c, int16_t i) { c.setMax(i, 1); }},
        {"setBarExist", [](clsConsole& c, int16_t i) { c.setBarExist(i, true); }},
        {"setFlgChanged", [](clsConsole& c, int16_t i) { c.setFlgChanged(i, true); }},
        {"setFlgEnterOn", [](clsConsole& c, int16_t i) { c.setFlgEnterOn(i, true); }},
        {"setEvent_Disp", [](clsConsole& c, int16_t i) { c.setEvent_Disp(i, -1); }},
        {"Event_Enter", [](clsConsole& c, int16_t i) { c.Event_Enter(i); }},
        {"DefaultString", [](clsConsole& c, int16_t i) { c.DefaultString(i); }},
        {"BarString", [](clsConsole& c, int16_t i) { c.BarString(i); }},
        {"Disp", [](clsConsole& c, int16_t i) { c.Disp(i); }},
        {"UpDown", [](clsConsole& c, int16_t i) { c.UpDown(i, 1); }},
        {"ReadFromEe", [](clsConsole& c, int16_t i) { c.ReadFromEe(i); }},
        {"WriteToEe", [](clsConsole& c, int16_t i) { c.WriteToEe(i); }},
        {"SendE8", [](clsConsole& c, int16_t i) { c.SendE8(i); }},
        {"EnterPushed", [](clsConsole& c, int16_t i) { c.EnterPushed(i); }},
        {"EnterExec", [](clsConsole& c, int16_t i) { c.EnterExec(i); }},
    };
    console.setFlgEnterOn(2, true);
    // 4 is the first index past the items; it is no item either.
    for (const int16_t bad : {int16_t{-1}, int16_t{4}, int16_t{32767}, int16_t{-32768}}) {
        for (const auto& [name, op] : ops) {
            EXPECT_THROW(op(console, bad), SubscriptError) << name << " " << bad;
        }
    }
    EXPECT_TRUE(console.flgEnterOn(2));  // a refused setFlgEnterOn cleared no other item
    EXPECT_EQ(box.ListCount(), 4);
}

TEST(ConsoleCapacity, AddItemStopsAt32767Items) {
    test::FakeListBox box;
    clsConsole console;
    console.myListBox = &box;
    for (int i = 0; i < 32767; ++i) console.AddItem();
    EXPECT_EQ(console.ListCount(), 32767);
    EXPECT_THROW(console.AddItem(), OverflowError);
    EXPECT_EQ(console.ListCount(), 32767);
    EXPECT_EQ(box.ListCount(), 32767);
    EXPECT_EQ(console.Max(32766), 255);
}

TEST(ConsoleWithoutListBox, KeepsItemsAndDrawsNothing) {
    clsConsole console;
    console.AddItem();
    console.setTitle(0, "T");
    console.setValue(0, 9);
    EXPECT_EQ(console.DefaultString(0), "T:   9");
    console.Clear();
    EXPECT_EQ(console.ListCount(), 0);
}

}  // namespace
}  // namespace kv7
