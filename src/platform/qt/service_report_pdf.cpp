#include "platform/qt/service_report_pdf.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "store/atomic_file.h"

namespace kv7 {

namespace {

constexpr int kDpi = 300;
constexpr double kMarginMm = 15;

double mm(double v) {
    return v * kDpi / 25.4;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QFont reportFont(bool mono, double pt, bool bold) {
    QFont f(mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    f.setStyleHint(mono ? QFont::TypeWriter : QFont::SansSerif);
    f.setPointSizeF(pt);
    f.setBold(bold);
    return f;
}

QFont sansFont(double pt, bool bold = false) {
    return reportFont(false, pt, bold);
}

QFont monoFont(double pt, bool bold = false) {
    return reportFont(true, pt, bold);
}

// A step of 1, 2 or 5 times a power of ten that gives at most `most` intervals over span.
double niceStep(double span, int most) {
    for (double magnitude = 1;; magnitude *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (span / (m * magnitude) <= most) return m * magnitude;
        }
    }
}

// Draws the report page by page, top to bottom; starts a new page when the next block does not
// fit on this one.
class Flow {
  public:
    Flow(QPdfWriter& writer, QPainter& p, QString footer)
        : writer_(writer), p_(p), footer_(std::move(footer)) {
        const QRectF page = writer.pageLayout().paintRectPixels(kDpi);
        width_ = page.width();
        bottom_ = page.height() - mm(10);  // room for the footer
        drawFooter();
    }

    double width() const { return width_; }

    void newPage() {
        writer_.newPage();
        ++page_;
        y_ = 0;
        drawFooter();
    }

    void ensure(double height) {
        if (y_ > 0 && y_ + height > bottom_) newPage();
    }

    void space(double h) { y_ += h; }

    void title(const QString& text) {
        p_.setFont(sansFont(18, true));
        p_.setPen(Qt::black);
        const QFontMetricsF fm(p_.font(), p_.device());
        p_.drawText(QPointF(0, y_ + fm.ascent()), text);
        y_ += fm.height() + mm(3);
    }

    void heading(const QString& text, double keepWithNext = 0) {
        p_.setFont(sansFont(13, true));
        const QFontMetricsF fm(p_.font(), p_.device());
        ensure(fm.height() + mm(2) + keepWithNext);
        y_ += mm(3);
        p_.setPen(Qt::black);
        p_.drawText(QPointF(0, y_ + fm.ascent()), text);
        y_ += fm.height() + mm(0.8);
        p_.setPen(QPen(Qt::darkGray, mm(0.2)));
        p_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        y_ += mm(2);
    }

    void paragraph(const QString& text, const QFont& font = sansFont(10)) {
        p_.setFont(font);
        p_.setPen(Qt::black);
        const QRectF box = p_.boundingRect(QRectF(0, 0, width_, 1e6), Qt::TextWordWrap, text);
        ensure(box.height());
        p_.drawText(QRectF(0, y_, width_, box.height()), Qt::TextWordWrap, text);
        y_ += box.height() + mm(1);
    }

    // Label and value pairs in two columns.
    void keyValues(const std::vector<std::pair<std::string, std::string>>& pairs) {
        p_.setFont(sansFont(10.5));
        const QFontMetricsF fm(p_.font(), p_.device());
        const double line = fm.height() * 1.25;
        const double colW = width_ / 2;
        const size_t rows = (pairs.size() + 1) / 2;
        ensure(line * static_cast<double>(rows));
        for (size_t i = 0; i < pairs.size(); ++i) {
            const double x = i < rows ? 0 : colW;
            const double y = y_ + line * static_cast<double>(i % rows) + fm.ascent();
            p_.setFont(sansFont(10.5, true));
            p_.drawText(QPointF(x, y), qs(pairs[i].first) + QStringLiteral(":"));
            p_.setFont(sansFont(10.5));
            p_.drawText(QPointF(x + mm(32), y), qs(pairs[i].second));
        }
        y_ += line * static_cast<double>(rows) + mm(1);
    }

    // A table; widths are fractions of the page width. The column names are repeated on
    // every page the table runs over. Marked rows are bold on a grey ground.
    void table(const ReportTable& t, const std::vector<double>& widths, bool mono,
               const std::vector<bool>& rightAligned) {
        const QFont body = mono ? monoFont(9) : sansFont(9.5);
        const QFont bold = mono ? monoFont(9, true) : sansFont(9.5, true);
        const QFontMetricsF fm(body, p_.device());
        const double rowH = fm.height() * 1.35;
        const double pad = mm(1.5);
        auto drawRow = [&](const std::vector<std::string>& cells, bool head, bool marked) {
            if (head || marked) {
                p_.fillRect(QRectF(0, y_, width_, rowH),
                            head ? QColor(215, 222, 235) : QColor(235, 235, 235));
            }
            p_.setFont(head || marked ? bold : body);
            if (head) p_.setFont(sansFont(9, true));
            p_.setPen(Qt::black);
            double x = 0;
            for (size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
                const double w = widths[c] * width_;
                const bool right = c < rightAligned.size() && rightAligned[c];
                p_.drawText(QRectF(x + pad, y_, w - 2 * pad, rowH),
                            Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft),
                            qs(cells[c]));
                x += w;
            }
            y_ += rowH;
            p_.setPen(QPen(QColor(190, 190, 190), mm(0.15)));
            p_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        };
        ensure(rowH * 3);
        drawRow(t.columns, true, false);
        for (size_t r = 0; r < t.rows.size(); ++r) {
            if (y_ + rowH > bottom_) {
                newPage();
                drawRow(t.columns, true, false);
            }
            drawRow(t.rows[r], false, r < t.marked.size() && t.marked[r]);
        }
        y_ += mm(2);
    }

    // SD reading against setting, the best plateau shaded, the chosen setting marked.
    void sweepPlot(const ReportSweep& rs) {
        const SessionRecord::Sweep& s = *rs.sweep;
        const double h = mm(78);
        ensure(h + mm(6));
        const QFont small = sansFont(8.5);
        const QFontMetricsF fm(small, p_.device());
        const QRectF area(mm(16), y_ + mm(2), width_ - mm(20), h - mm(14));

        int xMin = -128, xMax = 127;
        int yTop = 0;
        for (const SessionRecord::SweepPoint& pt : s.points) {
            xMin = std::min<int>(xMin, pt.setting);
            xMax = std::max<int>(xMax, pt.setting);
            yTop = std::max<int>(yTop, pt.sd);
        }
        const double yStep = niceStep(std::max(yTop, 10), 6);
        const double yMax = std::ceil((yTop + 1) / yStep) * yStep;
        auto px = [&](double x) { return area.left() + (x - xMin) / (xMax - xMin) * area.width(); };
        auto py = [&](double y) { return area.bottom() - y / yMax * area.height(); };

        p_.save();
        p_.setFont(small);
        if (s.finished) {
            const QRectF plateau(QPointF(px(s.plateauLo - 0.5), area.top()),
                                 QPointF(px(s.plateauHi + 0.5), area.bottom()));
            p_.fillRect(plateau.intersected(area), QColor(170, 220, 170));
        }
        // Grid and ticks.
        p_.setPen(QPen(QColor(200, 200, 200), mm(0.12)));
        for (double y = 0; y <= yMax + 1e-9; y += yStep) {
            p_.drawLine(QPointF(area.left(), py(y)), QPointF(area.right(), py(y)));
        }
        const double xStep = niceStep(xMax - xMin, 10);
        for (double x = std::ceil(xMin / xStep) * xStep; x <= xMax; x += xStep) {
            p_.drawLine(QPointF(px(x), area.top()), QPointF(px(x), area.bottom()));
        }
        p_.setPen(Qt::black);
        for (double y = 0; y <= yMax + 1e-9; y += yStep) {
            p_.drawText(QRectF(0, py(y) - fm.height() / 2, area.left() - mm(1.5), fm.height()),
                        Qt::AlignRight | Qt::AlignVCenter, QString::number(y));
        }
        for (double x = std::ceil(xMin / xStep) * xStep; x <= xMax; x += xStep) {
            p_.drawText(QRectF(px(x) - mm(8), area.bottom() + mm(0.8), mm(16), fm.height()),
                        Qt::AlignHCenter | Qt::AlignTop, QString::number(x));
        }
        p_.setPen(QPen(Qt::black, mm(0.25)));
        p_.drawRect(area);

        // The curve.
        QPainterPath curve;
        for (size_t i = 0; i < s.points.size(); ++i) {
            const QPointF q(px(s.points[i].setting), py(s.points[i].sd));
            if (i == 0) {
                curve.moveTo(q);
            } else {
                curve.lineTo(q);
            }
        }
        p_.setPen(QPen(QColor(20, 60, 160), mm(0.35)));
        p_.drawPath(curve);

        if (s.finished) {
            QPen dash(QColor(200, 30, 30), mm(0.4));
            dash.setStyle(Qt::DashLine);
            p_.setPen(dash);
            const double cx = px(s.chosen);
            p_.drawLine(QPointF(cx, area.top()), QPointF(cx, area.bottom()));
            p_.setPen(QColor(200, 30, 30));
            p_.setFont(sansFont(8.5, true));
            const QString label = QStringLiteral("chosen %1").arg(s.chosen);
            const double lw = QFontMetricsF(p_.font(), p_.device()).horizontalAdvance(label);
            const double lx = cx + mm(1) + lw > area.right() ? cx - mm(1) - lw : cx + mm(1);
            p_.drawText(QPointF(lx, area.top() + fm.ascent() + mm(1)), label);
        }

        // Axis labels.
        p_.setPen(Qt::black);
        p_.setFont(sansFont(9));
        p_.drawText(QRectF(area.left(), area.bottom() + fm.height() + mm(1.2), area.width(),
                           fm.height() * 1.3),
                    Qt::AlignHCenter,
                    QStringLiteral("BPF T%1 setting (plateau of the best reading shaded)")
                        .arg(s.stage + 1));
        p_.translate(mm(2), area.center().y());
        p_.rotate(-90);
        p_.drawText(QRectF(-area.height() / 2, -mm(2), area.height(), fm.height() * 1.3),
                    Qt::AlignHCenter, QStringLiteral("SD reading (raw)"));
        p_.restore();
        y_ += h;
    }

    // Monospaced lines in two columns, the first column filled first.
    void listing(const std::vector<std::string>& lines) {
        const QFont f = monoFont(10);
        p_.setFont(f);
        p_.setPen(Qt::black);
        const QFontMetricsF fm(f, p_.device());
        const double lineH = fm.height() * 1.12;
        const size_t perColumn = (lines.size() + 1) / 2;
        ensure(lineH * static_cast<double>(std::min<size_t>(perColumn, 10)));
        size_t i = 0;
        while (i < lines.size()) {
            const auto fit = static_cast<size_t>(std::max(1.0, (bottom_ - y_) / lineH));
            const size_t left = lines.size() - i;
            const size_t col = std::min(fit, (left + 1) / 2);
            for (size_t k = 0; k < 2 * col && i + k < lines.size(); ++k) {
                const double x = k < col ? 0 : width_ / 2;
                const double y = y_ + lineH * static_cast<double>(k % col) + fm.ascent();
                p_.drawText(QPointF(x, y), qs(lines[i + k]));
            }
            i += std::min(2 * col, left);
            y_ += lineH * static_cast<double>(col);
            if (i < lines.size()) newPage();
        }
    }

  private:
    void drawFooter() {
        p_.save();
        p_.setFont(sansFont(8));
        p_.setPen(Qt::darkGray);
        const QRectF box(0, bottom_ + mm(4), width_, mm(6));
        p_.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, footer_);
        p_.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1").arg(page_));
        p_.restore();
    }

    QPdfWriter& writer_;
    QPainter& p_;
    QString footer_;
    double width_ = 0;
    double bottom_ = 0;
    double y_ = 0;
    int page_ = 1;
};

}  // namespace

QString WriteServiceReportPdf(const ServiceReport& report, const QString& path) {
    // Drawn in memory and handed whole to the file writer, which puts it in place only when
    // every byte is on the disk: a failure leaves an earlier report of the same name as it was.
    QByteArray pdf;
    QBuffer file(&pdf);
    file.open(QIODevice::WriteOnly);
    QPdfWriter writer(&file);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    std::string model, sub;
    for (const auto& [label, value] : report.header) {
        if (label == "Model") model = value;
        if (label == "Sub name") sub = value;
    }
    writer.setTitle(QStringLiteral("Service report %1/%2").arg(qs(model), qs(sub)));
    writer.setCreator(report.header.empty() ? QString() : qs(report.header.front().second));

    QPainter p;
    if (!p.begin(&writer)) {
        return QStringLiteral("Cannot write %1").arg(path);
    }
    Flow flow(writer, p,
              QStringLiteral("Service report, model %1, sub name %2").arg(qs(model), qs(sub)));

    flow.title(QStringLiteral("Service report"));
    flow.keyValues(report.header);

    flow.heading(QStringLiteral("Adjustment items"));
    flow.table(report.items, {0.30, 0.20, 0.16, 0.16, 0.18}, false,
               {false, true, true, true, false});
    flow.heading(QStringLiteral("Values changed on the radio"));
    if (report.adjustments.rows.empty()) {
        flow.paragraph(QStringLiteral("No item was changed."));
    } else {
        flow.table(report.adjustments, {0.2, 0.4, 0.2, 0.2}, false, {false, false, true, true});
    }

    flow.heading(QStringLiteral("Monitor readings"));
    if (report.monitors.rows.empty()) {
        flow.paragraph(QStringLiteral("No monitor reading was taken."));
    } else {
        flow.paragraph(
            QStringLiteral("As the window shows them; a reading in bold changed "
                           "between the first and the latest."));
        flow.table(report.monitors, {0.35, 0.10, 0.35, 0.10, 0.10}, true,
                   {false, false, false, false, true});
    }

    flow.heading(QStringLiteral("BPF sweeps"), mm(90));
    if (report.sweeps.empty()) flow.paragraph(QStringLiteral("No BPF sweep was run."));
    for (const ReportSweep& s : report.sweeps) {
        flow.ensure(mm(96));
        flow.paragraph(qs(s.title), sansFont(10.5, true));
        flow.paragraph(qs(s.summary));
        flow.sweepPlot(s);
        flow.space(mm(3));
    }

    flow.heading(QStringLiteral("TXF temperature compensation"), mm(30));
    if (report.txf.empty()) flow.paragraph(QStringLiteral("No TXF procedure was run."));
    for (const ReportTxf& x : report.txf) {
        flow.ensure(x.table.rows.empty() ? mm(20) : mm(120));
        flow.paragraph(qs(x.title), sansFont(10.5, true));
        for (const std::string& line : x.summary) flow.paragraph(qs(line));
        if (!x.table.rows.empty()) {
            flow.table(x.table, {0.12, 0.16, 0.24, 0.24, 0.24}, false,
                       {true, true, true, true, true});
        }
    }

    flow.newPage();
    flow.heading(QStringLiteral("Parameter listing"));
    flow.paragraph(
        QStringLiteral("As the program's copy of the radio's memory held it when the "
                       "report was made."));
    flow.listing(report.parameters);

    if (!p.end()) return QStringLiteral("Cannot write %1").arg(path);
    file.close();
    const FileWriteResult written = writeFileAtomically(
        path.toStdString(), std::string_view(pdf.constData(), static_cast<size_t>(pdf.size())));
    if (!written) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(path, QString::fromStdString(written.reason));
    }
    return {};
}

}  // namespace kv7
