#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "console/support/fake_console_events.h"
#include "console/support/fake_list_box.h"
#include "store/common.h"

namespace kv7 {
namespace {

struct LineCase {
    const char* name;
    std::string title;
    int16_t min;
    int16_t max;
    int16_t value;
    bool bar;
    std::string line;
};

class RenderingTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(RenderingTest, LineShowsTitleValueAndBar) {
    const LineCase& c = GetParam();
    test::FakeListBox box;
    clsConsole console;
    console.myListBox = &box;
    console.AddItem();
    console.setTitle(0, c.title);
    // Widen first so that neither limit clips the other on the way.
    console.setMin(0, -32768);
    console.setMax(0, 32767);
    console.setValue(0, c.value);
    console.setMin(0, c.min);
    console.setMax(0, c.max);
    console.setBarExist(0, c.bar);
    console.Disp(0);

    EXPECT_EQ(box.List(0), c.line);
    EXPECT_EQ(console.DefaultString(0), c.line);
    if (c.bar) {
        EXPECT_EQ(console.BarString(0).size(), 23u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RenderingTest,
    ::testing::Values(
        LineCase{"Zero", "", 0, 255, 0, false, ":   0"},
        LineCase{"TitleMod", "       MOD", 0, 255, 5, false, "       MOD:   5"},
        LineCase{"MinusFive", "A", -10, 10, -5, false, "A:  -5"},
        LineCase{"MinusNineNineNine", "A", -999, 0, -999, false, "A:-999"},
        LineCase{"FourDigits", "A", 0, 9999, 9999, false, "A:9999"},
        LineCase{"FiveDigitsKeepLastFour", "A", 0, 32767, 12345, false, "A:2345"},
        LineCase{"MinusThousandLosesSign", "A", -1000, 0, -1000, false, "A:1000"},
        LineCase{"Lowest16Bit", "A", -32768, 0, -32768, false, "A:2768"},
        LineCase{"BarAtMin", "  TX High", 0, 255, 0, true, "  TX High:   0 [--------------------]"},
        LineCase{"BarAtMax", "  TX High", 0, 255, 255, true,
                 "  TX High: 255 [####################]"},
        LineCase{"Bar128Of255", "  TX High", 0, 255, 128, true,
                 "  TX High: 128 [##########----------]"},
        LineCase{"Bar1Of8HalfToEvenDown", "B", 0, 8, 1, true, "B:   1 [##------------------]"},
        LineCase{"Bar3Of8HalfToEvenUp", "B", 0, 8, 3, true, "B:   3 [########------------]"},
        LineCase{"Bar5Of8HalfToEvenDown", "B", 0, 8, 5, true, "B:   5 [############--------]"},
        LineCase{"Bar7Of8HalfToEvenUp", "B", 0, 8, 7, true, "B:   7 [##################--]"},
        LineCase{"BarNegativeRange", "C", -10, 10, 0, true, "C:   0 [##########----------]"},
        LineCase{"BarNegativeAtMin", "C", -10, 10, -10, true, "C: -10 [--------------------]"},
        // A range of a single value has nowhere to move: an empty bar, no division.
        LineCase{"BarSingleValueRange", "D", 7, 7, 7, true, "D:   7 [--------------------]"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(RenderingFailures, BarOutside16BitProductsIsAnOverflow) {
    clsConsole console;
    console.AddItem();
    console.setMax(0, 2000);
    console.setValue(0, 1639);  // 1639 * 20 = 32780
    EXPECT_EQ(console.DefaultString(0), ":1639");
    console.setBarExist(0, true);
    EXPECT_THROW(console.BarString(0), OverflowError);
    console.setValue(0, 1638);  // 32760 still fits
    EXPECT_EQ(console.BarString(0), " [################----]");

    console.setBarExist(0, false);
    console.setMin(0, -32768);
    console.setMax(0, 32767);
    console.setValue(0, -32768);
    EXPECT_THROW(console.BarString(0), OverflowError);  // the range itself does not fit
}

TEST(RenderingEvents, DisplayEventReplacesTheWholeLine) {
    test::FakeListBox box;
    test::FakeConsoleEvents events;
    clsConsole console;
    console.myListBox = &box;
    console.myEventClass = &events;
    console.AddItem();
    console.AddItem();
    console.setTitle(1, "TXF");
    console.setBarExist(1, true);
    console.setValue(1, 42);
    events.calls.clear();

    console.setEvent_Disp(1, 3);
    EXPECT_EQ(box.List(1), "event 3");
    ASSERT_EQ(events.calls.size(), 1u);
    EXPECT_EQ(events.calls[0], (test::FakeConsoleEvents::Call{"Disp", 1, 3, 42}));
    EXPECT_EQ(box.List(0), ":   0");  // other lines untouched

    console.setEvent_Disp(1, -1);
    EXPECT_EQ(box.List(1), "TXF:  42 [###-----------------]");
}

TEST(RenderingEvents, DisplayEventWithoutEventClassIsAWiringError) {
    test::FakeListBox box;
    clsConsole console;
    console.myListBox = &box;
    console.AddItem();
    EXPECT_THROW(console.setEvent_Disp(0, 0), std::logic_error);
}

}  // namespace
}  // namespace kv7
