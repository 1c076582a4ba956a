#include "platform/qt/report_plot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/qt/report_style.h"

namespace kv7 {

using report::mm;
using report::sansFont;

double NiceStep(double span, int most) {
    if (!std::isfinite(span) || span <= 0 || most < 1) return 1;  // nothing to divide
    // Below the first step that can do, so a span under one gets a step under one; a few
    // decades at most, whatever the span.
    double magnitude = std::pow(10.0, std::floor(std::log10(span / most)));
    for (int decade = 0; decade < 4 && std::isfinite(magnitude); ++decade, magnitude *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (span / (m * magnitude) <= most) return m * magnitude;
        }
    }
    return span / most;
}

PlotAxis NiceAxis(double lo, double hi, int most) {
    const double step = NiceStep(hi - lo, most);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

ReportPlot::ReportPlot(QPainter& p, const QRectF& box, PlotAxis x, PlotAxis y)
    : p_(p),
      box_(box),
      area_(box.left() + mm(16), box.top() + mm(2), box.width() - mm(20), box.height() - mm(14)),
      x_(x),
      y_(y) {
    p_.save();
    p_.setFont(sansFont(8.5));
}

ReportPlot::~ReportPlot() {
    p_.restore();
}

double ReportPlot::px(double x) const {
    return area_.left() + (x - x_.min) / (x_.max - x_.min) * area_.width();
}

double ReportPlot::py(double y) const {
    return area_.bottom() - (y - y_.min) / (y_.max - y_.min) * area_.height();
}

QPointF ReportPlot::at(double x, double y) const {
    return {px(x), py(y)};
}

std::vector<double> ReportPlot::ticks(const PlotAxis& axis) {
    std::vector<double> at;
    // An axis no data could make sensible has no ticks rather than endless ones.
    constexpr int kMostTicks = 100;
    if (!std::isfinite(axis.min) || !std::isfinite(axis.max) || !std::isfinite(axis.step) ||
        axis.step <= 0 || (axis.max - axis.min) / axis.step > kMostTicks) {
        return at;
    }
    const double first = std::ceil(axis.min / axis.step - 1e-9);
    for (int i = 0; i <= kMostTicks; ++i) {
        const double k = first + i;
        if (k * axis.step > axis.max + axis.step * 1e-9) break;
        at.push_back(k * axis.step + 0.0);  // no "-0"
    }
    return at;
}

void ReportPlot::shade(const QRectF& r, const QColor& color) {
    p_.fillRect(r.normalized().intersected(area_), color);
}

void ReportPlot::shadeColumns(double lo, double hi, const QColor& color) {
    shade(QRectF(QPointF(px(lo), area_.top()), QPointF(px(hi), area_.bottom())), color);
}

void ReportPlot::shadeRows(double lo, double hi, const QColor& color) {
    shade(QRectF(QPointF(area_.left(), py(hi)), QPointF(area_.right(), py(lo))), color);
}

void ReportPlot::grid() {
    const QFontMetricsF fm(p_.font(), p_.device());
    const std::vector<double> xs = ticks(x_);
    const std::vector<double> ys = ticks(y_);
    p_.setPen(QPen(QColor(200, 200, 200), mm(0.12)));
    for (double y : ys) p_.drawLine(QPointF(area_.left(), py(y)), QPointF(area_.right(), py(y)));
    for (double x : xs) p_.drawLine(QPointF(px(x), area_.top()), QPointF(px(x), area_.bottom()));
    p_.setPen(Qt::black);
    for (double y : ys) {
        p_.drawText(QRectF(box_.left(), py(y) - fm.height() / 2,
                           area_.left() - box_.left() - mm(1.5), fm.height()),
                    Qt::AlignRight | Qt::AlignVCenter, QString::number(y));
    }
    for (double x : xs) {
        p_.drawText(QRectF(px(x) - mm(8), area_.bottom() + mm(0.8), mm(16), fm.height()),
                    Qt::AlignHCenter | Qt::AlignTop, QString::number(x));
    }
    p_.setPen(QPen(Qt::black, mm(0.25)));
    p_.drawRect(area_);
}

void ReportPlot::curve(const std::vector<QPointF>& points, const QColor& color) {
    QPainterPath path;
    for (size_t i = 0; i < points.size(); ++i) {
        const QPointF q = at(points[i].x(), points[i].y());
        if (i == 0) {
            path.moveTo(q);
        } else {
            path.lineTo(q);
        }
    }
    p_.setPen(QPen(color, mm(0.35)));
    p_.drawPath(path);
}

void ReportPlot::dots(const std::vector<QPointF>& points, const QColor& color, bool filled) {
    p_.save();
    p_.setPen(QPen(color, mm(0.3)));
    p_.setBrush(filled ? QBrush(color) : QBrush(Qt::white));
    const double r = filled ? mm(0.7) : mm(1.1);
    for (const QPointF& v : points) p_.drawEllipse(at(v.x(), v.y()), r, r);
    p_.restore();
}

void ReportPlot::level(double y, const QColor& color) {
    QPen dash(color, mm(0.4));
    dash.setStyle(Qt::DashLine);
    p_.setPen(dash);
    p_.drawLine(QPointF(area_.left(), py(y)), QPointF(area_.right(), py(y)));
}

void ReportPlot::mark(double x, const QString& label, const QColor& color) {
    const QFontMetricsF fm(p_.font(), p_.device());
    QPen dash(color, mm(0.4));
    dash.setStyle(Qt::DashLine);
    p_.setPen(dash);
    const double cx = px(x);
    p_.drawLine(QPointF(cx, area_.top()), QPointF(cx, area_.bottom()));
    p_.save();
    p_.setPen(color);
    p_.setFont(sansFont(8.5, true));
    const double lw = QFontMetricsF(p_.font(), p_.device()).horizontalAdvance(label);
    const double lx = cx + mm(1) + lw > area_.right() ? cx - mm(1) - lw : cx + mm(1);
    p_.drawText(QPointF(lx, area_.top() + fm.ascent() + mm(1)), label);
    p_.restore();
}

void ReportPlot::axisLabels(const QString& x, const QString& y) {
    const QFontMetricsF fm(p_.font(), p_.device());
    p_.save();
    p_.setPen(Qt::black);
    p_.setFont(sansFont(9));
    p_.drawText(QRectF(area_.left(), area_.bottom() + fm.height() + mm(1.2), area_.width(),
                       fm.height() * 1.3),
                Qt::AlignHCenter, x);
    p_.translate(box_.left() + mm(2), area_.center().y());
    p_.rotate(-90);
    p_.drawText(QRectF(-area_.height() / 2, -mm(2), area_.height(), fm.height() * 1.3),
                Qt::AlignHCenter, y);
    p_.restore();
}

}  // namespace kv7
