#pragma once
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace kv7 {

// One axis of a chart: its range and the distance between its numbered ticks.
struct PlotAxis {
    double min = 0;
    double max = 1;
    double step = 1;
};

// A step of 1, 2 or 5 times a power of ten that gives at most `most` intervals over span.
double NiceStep(double span, int most);

// lo..hi widened to whole steps of at most `most` intervals, so the frame falls on grid lines.
PlotAxis NiceAxis(double lo, double hi, int most);

// A chart of the service report in a box across the page: the plot area with its grid,
// numbered ticks, frame and axis labels, the numbers left of and below the area. The caller
// draws its data in the axes' units, shading first so the grid shows through it. The painter's
// state is as it was when the plot goes.
class ReportPlot {
  public:
    ReportPlot(QPainter& p, const QRectF& box, PlotAxis x, PlotAxis y);
    ~ReportPlot();
    ReportPlot(const ReportPlot&) = delete;
    ReportPlot& operator=(const ReportPlot&) = delete;

    QPointF at(double x, double y) const;

    void shadeColumns(double lo, double hi, const QColor& color);
    void shadeRows(double lo, double hi, const QColor& color);
    void grid();
    void curve(const std::vector<QPointF>& points, const QColor& color);
    void dots(const std::vector<QPointF>& points, const QColor& color, bool filled);
    void level(double y, const QColor& color);  // a dashed line across
    // A dashed line up the area at x, labelled at its top, the label kept inside the frame.
    void mark(double x, const QString& label, const QColor& color);
    void axisLabels(const QString& x, const QString& y);

  private:
    double px(double x) const;
    double py(double y) const;
    static std::vector<double> ticks(const PlotAxis& axis);
    void shade(const QRectF& r, const QColor& color);

    QPainter& p_;
    QRectF box_;
    QRectF area_;
    PlotAxis x_;
    PlotAxis y_;
};

}  // namespace kv7
