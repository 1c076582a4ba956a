// The service report's PDF read back as text: what the alignment section shows of each point.
#include "platform/qt/service_report_pdf.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace kv7 {
namespace {

AlignmentRecord alignedPoint(const char* point, AlignMeasure measure, double target,
                             double tolerance, std::vector<AlignmentRecord::Step> steps,
                             const char* failure) {
    AlignmentRecord a;
    a.point = point;
    a.measure = measure;
    a.target = target;
    a.tolerance = tolerance;
    a.valueBefore = steps.front().value;
    a.readingBefore = steps.front().reading;
    a.valueAfter = *failure ? a.valueBefore : steps.back().value;
    if (!*failure) a.readingAfter = steps.back().reading;
    a.steps = std::move(steps);
    a.passed = !*failure;
    a.outcome = failure;
    return a;
}

TEST(ServiceReportPdf, AlignmentSectionShowsEachPointItsTargetAndWhyItFailed) {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    ASSERT_FALSE(pdftotext.isEmpty()) << "poppler-utils is not installed";
    const char* reason = "the reading does not follow MOD";
    const struct {
        std::vector<AlignmentRecord> points;
        std::vector<const char*> shown;
    } cases[] = {
        {{}, {"No alignment was run."}},
        {{alignedPoint("Power(Hi)", AlignMeasure::Power, 5.0, 0.1,
                       {{120, 4.6, 5.0}, {132, 5.4, 5.0}, {126, 5.03, 5.0}}, ""),
          alignedPoint("MOD", AlignMeasure::Deviation, 3000, 100,
                       {{80, 2100, 3000}, {120, 2150, 3000}}, reason)},
         {"Power(Hi): PASS, ", "Target 5.00 W, tolerance +/- 0.10 W",
          "After: value 126, reading 5.03 W; 3 steps", "MOD: FAIL, ",
          "Target 3.00 kHz, tolerance +/- 0.10 kHz", "After: value 80, no reading; 2 steps",
          "Not aligned: the reading does not follow MOD"}},
    };
    for (const auto& c : cases) {
        SessionRecord record([] { return int64_t{1765000000000}; });
        record.connectStarted(1);
        record.cloneReadDone("2251", "0200", {{"Power(Hi)", 120, 49, true}});
        for (const AlignmentRecord& a : c.points) record.alignmentDone(a);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        ASSERT_EQ(
            WriteServiceReportPdf(BuildServiceReport(record, {"SW-KV7 ADJ", "COM 1", 0, ""}), pdf),
            QString());

        QProcess text;
        text.start(pdftotext, {pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(20000));
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        // After the TXF procedures, before the listing on its own page.
        const qsizetype from = all.indexOf(QStringLiteral("\nAlignment\n"));
        const qsizetype to = all.indexOf(QStringLiteral("Parameter listing"));
        ASSERT_GT(from, all.indexOf(QStringLiteral("No TXF procedure was run.")))
            << all.toStdString();
        ASSERT_GT(to, from);
        const QString section = all.mid(from, to - from);
        for (const char* line : c.shown) {
            EXPECT_TRUE(section.contains(QString::fromUtf8(line))) << line << "\n"
                                                                   << section.toStdString();
        }
    }
}

}  // namespace
}  // namespace kv7
