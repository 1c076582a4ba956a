#include "platform/qt/service_report_pdf.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <vector>

#include "platform/qt/qt_strings.h"
#include "platform/qt/report_charts.h"
#include "platform/qt/report_style.h"
#include "store/atomic_file.h"

namespace kv7 {

namespace {

using report::kDpi;
using report::mm;
using report::monoFont;
using report::sansFont;

constexpr double kMarginMm = 15;

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
    int page() const { return page_; }

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

    // A chart across the page, `height` high with its numbers and labels.
    template <typename Draw>
    void chart(double height, Draw draw) {
        ensure(height + mm(6));
        draw(p_, QRectF(0, y_, width_, height));
        y_ += height;
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
        flow.chart(mm(78),
                   [&s](QPainter& p, const QRectF& box) { DrawSweepChart(p, box, *s.sweep); });
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

    const int alignmentPage = flow.page();
    flow.heading(QStringLiteral("Alignment"), report.alignments.empty() ? mm(8) : mm(75));
    if (report.alignments.empty()) flow.paragraph(QStringLiteral("No alignment was run."));
    for (const ReportAlignment& a : report.alignments) {
        // The title, the summary and the chart together on one page.
        const bool plotted = !a.record->steps.empty();
        flow.ensure(mm(6) * static_cast<double>(a.summary.size() + 1) + (plotted ? mm(51) : 0));
        flow.paragraph(qs(a.title), sansFont(10.5, true));
        for (const std::string& line : a.summary) flow.paragraph(qs(line));
        if (plotted) {
            flow.chart(mm(45), [&a](QPainter& p, const QRectF& box) {
                DrawAlignmentChart(p, box, *a.record);
            });
        }
        flow.space(mm(3));
    }

    // The listing on a page of its own, unless that page would hold no more than the note that
    // nothing was aligned.
    if (!report.alignments.empty() || flow.page() == alignmentPage) flow.newPage();
    flow.heading(QStringLiteral("Parameter listing"));
    flow.paragraph(
        QStringLiteral("As the program's copy of the radio's memory held it when the "
                       "report was made."));
    flow.listing(report.parameters);

    if (!p.end()) return QStringLiteral("Cannot write %1").arg(path);
    file.close();
    const FileWriteResult written = writeFileAtomically(
        filePath(path), std::string_view(pdf.constData(), static_cast<size_t>(pdf.size())));
    if (!written) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(path, QString::fromStdString(written.reason));
    }
    return {};
}

}  // namespace kv7
