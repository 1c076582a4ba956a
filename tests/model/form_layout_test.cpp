#include "model/form_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv7 {
namespace {

FormLayoutInput typical() {
    FormLayoutInput in;
    in.windowSized = true;
    in.screenWidth = 19200;
    in.screenHeight = 10800;
    in.scaleWidth = 9405;
    in.scaleHeight = 7800;
    in.lineX1 = 0;
    in.lineY1 = 15;
    in.lineX2 = 9405;
    in.lblTitleWidth = 4000;
    in.lblTitleHeight = 400;
    in.lblProgressWidth = 3000;
    in.lblProgressHeight = 300;
    in.windowLeft = 100;
    in.windowTop = 200;
    in.windowWidth = 9525;
    in.windowHeight = 8500;
    return in;
}

TEST(FormLayoutTest, FirstWindowPlacement) {
    struct Case {
        double screenHeight;
        double height;
    };
    const std::vector<Case> cases = {
        {7200, 6600}, {9600, 8640}, {10000, 9000}, {10015, 8500}, {12000, 8500}, {3000, 6600},
    };
    for (const Case& c : cases) {
        FormLayoutInput in = typical();
        in.windowSized = false;
        in.screenHeight = c.screenHeight;
        const FormLayoutResult r = FormLayoutNumbers(in);
        EXPECT_TRUE(r.moveWindow);
        EXPECT_EQ(r.window.width, 9525);
        EXPECT_EQ(r.window.height, c.height) << c.screenHeight;
        EXPECT_EQ(r.window.left, (19200 - 9525) / 2.0);
        EXPECT_DOUBLE_EQ(r.window.top, (c.screenHeight - c.height) * 0.3);
    }
    const FormLayoutResult later = FormLayoutNumbers(typical());
    EXPECT_FALSE(later.moveWindow);
    EXPECT_EQ(later.window, (LayoutRect{100, 200, 9525, 8500}));
}

TEST(FormLayoutTest, ControlsOfATypicalWindow) {
    const FormLayoutResult r = FormLayoutNumbers(typical());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.cmd00[i], (LayoutRect{1882.5 + i * 1920, 135, 1800, 330})) << i;
    EXPECT_EQ(r.check1, (LayoutRect{7642.5, 135, 1800, 330}));
    EXPECT_EQ(r.frame, (LayoutRect{120, 465, 9165, 7215}));
    EXPECT_EQ(r.fra01_2, (LayoutRect{120, 180, 8925, 2800}));
    EXPECT_EQ(r.lbo01[0], (LayoutRect{120, 120, 4282.5, 2680}));
    EXPECT_EQ(r.lbo01[1], (LayoutRect{4522.5, 120, 4282.5, 2680}));
    EXPECT_EQ(r.lboConsole, (LayoutRect{240, 3100, 8685, 3935}));
    EXPECT_EQ(r.lblTitle, (LayoutRect{2582.5, 240, 4000, 400}));
    EXPECT_EQ(r.lblProgress, (LayoutRect{3082.5, 880, 3000, 300}));
    EXPECT_EQ(r.txtDispPara, (LayoutRect{120, 240, 8925, 6855}));
}

TEST(FormLayoutTest, TinyWindowKeepsPositiveSizes) {
    FormLayoutInput in = typical();
    in.scaleWidth = 100;
    in.scaleHeight = 50;
    const FormLayoutResult r = FormLayoutNumbers(in);
    for (const LayoutRect& rect :
         {r.frame, r.fra01_2, r.lbo01[0], r.lbo01[1], r.lboConsole, r.txtDispPara}) {
        EXPECT_GE(rect.width, 1);
        EXPECT_GE(rect.height, 1);
    }
    EXPECT_EQ(r.frame.height, 1);
    EXPECT_EQ(r.lboConsole.height, 1);
    EXPECT_EQ(r.txtDispPara.height, 1);
    EXPECT_EQ(r.fra01_2.height, 2800);  // fixed, not derived from the window
}

}  // namespace
}  // namespace kv7
