#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace kv7 {

// A control's rectangle in twips, relative to its container.
struct LayoutRect {
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

// What the layout reads from the main window, all in twips.
struct FormLayoutInput {
    bool windowSized = false;  // the window already has its size and position
    double screenWidth = 0, screenHeight = 0;
    double scaleWidth = 0, scaleHeight = 0;     // the window's inner size
    double lineX1 = 0, lineY1 = 0, lineX2 = 0;  // separator line below the menu
    double lblTitleWidth = 0, lblTitleHeight = 0;
    double lblProgressWidth = 0, lblProgressHeight = 0;
    double windowLeft = 0, windowTop = 0, windowWidth = 0, windowHeight = 0;
};

// Where everything goes. Widths and heights are at least 1 so a tiny window never gets a
// negative size. Frames fra01(0), (1), (3) share one rectangle in the window; fra01(2) and
// lboConsole lie in fra01(1), lbo01 in fra01(2), the labels in fra01(0), txtDispPara in fra01(3).
struct FormLayoutResult {
    bool moveWindow = false;  // first layout: apply `window`, then lay out again
    LayoutRect window;        // new outer rectangle (the current one when not moved)
    std::array<LayoutRect, 3> cmd00;
    LayoutRect check1;
    LayoutRect frame;  // fra01(0), fra01(1) and fra01(3)
    LayoutRect fra01_2;
    std::array<LayoutRect, 2> lbo01;
    LayoutRect lboConsole;
    LayoutRect lblTitle;
    LayoutRect lblProgress;
    LayoutRect txtDispPara;
};

// The first window size: 9525 wide, 0.9 x the screen height (at least 6600; 8500 once above
// 9000), centred across and 30 % down the free height.
LayoutRect FormWindowPlacement(double screenWidth, double screenHeight);

// The controls' rectangles from the window's current inner size. When windowSized is false
// the result also carries the first placement; the window's inner size changes with it, so the
// caller moves the window and lays out once more (the resize does that by itself).
FormLayoutResult FormLayoutNumbers(const FormLayoutInput& in);

}  // namespace kv7
