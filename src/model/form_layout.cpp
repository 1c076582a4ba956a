#include "model/form_layout.h"

#include <algorithm>
#include <cmath>

namespace kv7 {

namespace {

constexpr double kButtonWidth = 1800;
constexpr double kButtonHeight = 330;
constexpr double kButtonGap = 120;

double atLeast1(double v) {
    return std::max(v, 1.0);
}

// Halves to even, as the window's integer size conversion rounds.
double roundHalfEven(double x) {
    const double r = std::floor(x);
    const double frac = x - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0)) return r + 1;
    return r;
}

}  // namespace

LayoutRect FormWindowPlacement(double screenWidth, double screenHeight) {
    LayoutRect w;
    w.width = 9525;
    double h = roundHalfEven(0.9 * screenHeight);
    if (h < 6600) h = 6600;
    if (h > 9000) h = 8500;
    w.height = h;
    w.left = (screenWidth - w.width) / 2;
    w.top = (screenHeight - w.height) * 0.3;
    return w;
}

FormLayoutResult FormLayoutNumbers(const FormLayoutInput& in) {
    FormLayoutResult r;
    r.moveWindow = !in.windowSized;
    r.window = r.moveWindow
                   ? FormWindowPlacement(in.screenWidth, in.screenHeight)
                   : LayoutRect{in.windowLeft, in.windowTop, in.windowWidth, in.windowHeight};

    const double rowLeft =
        in.lineX1 + (in.lineX2 - in.lineX1 - 3 * kButtonWidth - 2 * kButtonGap) / 2;
    for (int i = 0; i < 4; ++i) {
        const LayoutRect b{rowLeft + i * (kButtonWidth + kButtonGap), in.lineY1 + 120, kButtonWidth,
                           kButtonHeight};
        if (i < 3)
            r.cmd00[static_cast<size_t>(i)] = b;
        else
            r.check1 = b;
    }

    LayoutRect& f = r.frame;
    f.left = 120;
    f.top = r.check1.top + r.check1.height;
    f.width = atLeast1(in.scaleWidth - 240);
    f.height = atLeast1(in.scaleHeight - f.top - 120);

    r.fra01_2 = {120, 180, atLeast1(f.width - 240), 2800};
    const double listWidth = atLeast1((r.fra01_2.width - 360) / 2);
    const double listHeight = atLeast1(r.fra01_2.height - 120);
    r.lbo01[0] = {120, 120, listWidth, listHeight};
    r.lbo01[1] = {r.lbo01[0].left + r.lbo01[0].width + 120, 120, listWidth, listHeight};

    r.lboConsole.left = r.fra01_2.left + 120;
    r.lboConsole.top = r.fra01_2.top + r.fra01_2.height + 120;
    r.lboConsole.width = atLeast1(f.width - 480);
    r.lboConsole.height = atLeast1(f.height - r.lboConsole.top - 180);

    r.lblTitle = {(f.width - in.lblTitleWidth) / 2, 240, in.lblTitleWidth, in.lblTitleHeight};
    r.lblProgress = {(f.width - in.lblProgressWidth) / 2, r.lblTitle.top + r.lblTitle.height + 240,
                     in.lblProgressWidth, in.lblProgressHeight};

    r.txtDispPara = {120, 240, atLeast1(f.width - 240), atLeast1(f.height - 360)};
    return r;
}

}  // namespace kv7
