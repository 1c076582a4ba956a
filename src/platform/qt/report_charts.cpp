#include "platform/qt/report_charts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/qt/report_plot.h"

namespace kv7 {

namespace {

const QColor kShade(170, 220, 170);  // where the result may lie
const QColor kCurve(20, 60, 160);
const QColor kMark(200, 30, 30);
const QColor kTarget(30, 120, 30);

// A reading in the chart's unit: W, kHz, or for a frequency its offset from the target it was
// taken against in Hz, since the steps lie a few hundred Hz apart at some hundred MHz.
double shown(const AlignmentRecord& a, double reading, double target) {
    switch (a.measure) {
        case AlignMeasure::Power: return reading;
        case AlignMeasure::Deviation: return reading / 1e3;
        case AlignMeasure::Frequency: return reading - target;
    }
    return reading;
}

QString readingAxis(AlignMeasure m) {
    switch (m) {
        case AlignMeasure::Power: return QStringLiteral("Power (W)");
        case AlignMeasure::Deviation: return QStringLiteral("Deviation (kHz)");
        case AlignMeasure::Frequency: return QStringLiteral("Freq. error (Hz)");
    }
    return {};
}

}  // namespace

void DrawSweepChart(QPainter& p, const QRectF& box, const SessionRecord::Sweep& s) {
    int xMin = -128, xMax = 127;
    int yTop = 0;
    std::vector<QPointF> curve;
    for (const SessionRecord::SweepPoint& pt : s.points) {
        xMin = std::min<int>(xMin, pt.setting);
        xMax = std::max<int>(xMax, pt.setting);
        yTop = std::max<int>(yTop, pt.sd);
        curve.emplace_back(pt.setting, pt.sd);
    }
    const double yStep = NiceStep(std::max(yTop, 10), 6);
    ReportPlot plot(p, box, {double(xMin), double(xMax), NiceStep(xMax - xMin, 10)},
                    {0, std::ceil((yTop + 1) / yStep) * yStep, yStep});
    if (s.finished) plot.shadeColumns(s.plateauLo - 0.5, s.plateauHi + 0.5, kShade);
    plot.grid();
    plot.curve(curve, kCurve);
    if (s.finished) plot.mark(s.chosen, QStringLiteral("chosen %1").arg(s.chosen), kMark);
    plot.axisLabels(
        QStringLiteral("BPF T%1 setting (plateau of the best reading shaded)").arg(s.stage + 1),
        QStringLiteral("SD reading (raw)"));
}

void DrawAlignmentChart(QPainter& p, const QRectF& box, const AlignmentRecord& a) {
    const double target = shown(a, a.target, a.target);
    const double tolerance = shown(a, a.tolerance, 0);
    double xLo = a.valueAfter, xHi = a.valueAfter;
    double yLo = target - tolerance, yHi = target + tolerance;
    std::vector<QPointF> steps;
    std::vector<QPointF> starts;  // of each search: TXF aims at a second frequency
    for (size_t i = 0; i < a.steps.size(); ++i) {
        const AlignmentRecord::Step& s = a.steps[i];
        steps.emplace_back(s.value, shown(a, s.reading, s.target));
        if (i == 0 || s.target != a.steps[i - 1].target) starts.push_back(steps.back());
    }
    // A failed point went back to its old value: its last reading is not at that value.
    std::optional<QPointF> final;
    if (a.passed && a.readingAfter) {
        final = QPointF(a.valueAfter, shown(a, *a.readingAfter, a.target));
    }
    std::vector<QPointF> all = steps;
    if (final) all.push_back(*final);
    for (const QPointF& q : all) {
        if (!std::isfinite(q.x()) || !std::isfinite(q.y())) continue;  // nothing to place
        xLo = std::min(xLo, q.x());
        xHi = std::max(xHi, q.x());
        yLo = std::min(yLo, q.y());
        yHi = std::max(yHi, q.y());
    }
    const double xPad = std::max(1.0, (xHi - xLo) * 0.08);
    const double yPad = yHi > yLo ? (yHi - yLo) * 0.08 : std::max(std::fabs(yHi) * 0.05, 1.0);
    const double xSpan = xHi - xLo + 2 * xPad;
    ReportPlot plot(p, box, {xLo - xPad, xHi + xPad, std::max(1.0, NiceStep(xSpan, 10))},
                    NiceAxis(yLo - yPad, yHi + yPad, 5));
    plot.shadeRows(target - tolerance, target + tolerance, kShade);
    plot.grid();
    plot.level(target, kTarget);
    plot.curve(steps, kCurve);
    plot.dots(steps, kCurve, true);
    plot.dots(starts, kCurve, false);
    // "back at" only once the value reached the radio; otherwise what it may keep.
    QString mark = QStringLiteral("at %1");
    if (a.passed) mark = QStringLiteral("ended at %1");
    if (a.backOnRadio) {
        mark = *a.backOnRadio ? QStringLiteral("back at %1") : QStringLiteral("may keep %1");
    }
    plot.mark(a.valueAfter, mark.arg(a.valueAfter), kMark);
    if (final) plot.dots({*final}, kMark, true);
    plot.axisLabels(QStringLiteral("%1 value (steps in the order taken from the open circle)")
                        .arg(QString::fromStdString(a.point)),
                    readingAxis(a.measure));
}

}  // namespace kv7
