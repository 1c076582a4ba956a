#include "platform/qt/service_report_actions.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>

#include "app/program.h"
#include "model/alignment_csv.h"
#include "model/eeprom_map.h"
#include "model/service_report.h"
#include "model/sweep_data_csv.h"
#include "platform/qt/entry_reason.h"
#include "platform/qt/qt_main_window.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_strings.h"
#include "platform/qt/service_report_pdf.h"
#include "store/atomic_file.h"
#include "store/common.h"

namespace kv7 {

namespace {

const QString kNoRecord = QStringLiteral(
    "Nothing to save yet: connect to the radio first (the report starts with "
    "its clone read).");

// What the file dialog of each entry says and suggests.
struct FileKind {
    const char* title;
    const char* ending;  // after the radio's name, so the two CSV files of a read differ
    const char* filter;
};
constexpr FileKind kKinds[] = {
    {"Save service report", ".pdf", "PDF files (*.pdf)"},
    {"Save sweep data", ".csv", "CSV files (*.csv)"},
    {"Save alignment data", "-align.csv", "CSV files (*.csv)"},
};

}  // namespace

ServiceReportActions::ServiceReportActions(QtMainWindow& window, Program& program,
                                           const QtSerialPort& port)
    : window_(window), program_(program), port_(port) {
    QMenu* file = window.fileMenu();
    report_ = new QAction(QStringLiteral("Save service &report…"), this);
    sweepData_ = new QAction(QStringLiteral("Save s&weep data…"), this);
    alignmentData_ = new QAction(QStringLiteral("Save a&lignment data…"), this);
    QAction* before = window.exitAction();
    file->insertAction(before, report_);
    file->insertAction(before, sweepData_);
    file->insertAction(before, alignmentData_);
    file->insertSeparator(before);
    connect(file, &QMenu::aboutToShow, this, [this] { refresh(); });
    connect(report_, &QAction::triggered, this, [this] { chooseAndSave(Kind::Report); });
    connect(sweepData_, &QAction::triggered, this, [this] { chooseAndSave(Kind::SweepData); });
    connect(alignmentData_, &QAction::triggered, this,
            [this] { chooseAndSave(Kind::AlignmentData); });
    lastDir_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    refresh();
}

bool ServiceReportActions::refresh() {
    const bool ready = program_.sessionRecord().cloneRead();
    explainEntries(ready);
    return ready;
}

void ServiceReportActions::explainEntries(bool ready) {
    for (QAction* a : {report_, sweepData_, alignmentData_}) enableWithReason(a, ready, kNoRecord);
}

QString ServiceReportActions::portText() const {
    const int16_t n = program_.sessionRecord().comPortNo();
    return QStringLiteral("COM %1 (%2)").arg(n).arg(QString::fromStdString(port_.deviceName(n)));
}

QString ServiceReportActions::saveReport(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    QString error;
    const EventOutcome outcome = program_.event("File > Save service report", [&] {
        ReportContext context;
        context.program = kAppTitle;
        context.port = portText().toStdString();
        context.savedMs = QDateTime::currentMSecsSinceEpoch();
        clsIndOp_RigKV7& controller = program_.controller();
        context.parameterListing = clsIndEep_RigKV7(program_.radio().eepImage)
                                       .RigKV7Eep_DispParaText([&controller](int16_t i) {
                                           return controller.RigKV7Op_Table_Txf_TempBorder(i);
                                       });
        error = WriteServiceReportPdf(BuildServiceReport(record, context), path);
    });
    // A failure inside was shown to the technician already; the file is not there.
    if (outcome != EventOutcome::Completed && error.isEmpty()) {
        error = QStringLiteral("The service report could not be made.");
    }
    return error;
}

QString ServiceReportActions::saveSweepData(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    return saveCsv(path, SweepDataCsv(record));
}

QString ServiceReportActions::saveAlignmentData(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    return saveCsv(path, AlignmentDataCsv(record));
}

QString ServiceReportActions::saveCsv(const QString& path, const std::string& csv) {
    const FileWriteResult written = writeFileAtomically(filePath(path), csv);
    if (!written) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(path, QString::fromStdString(written.reason));
    }
    return {};
}

void ServiceReportActions::chooseAndSave(Kind kind) {
    if (!refresh()) return;
    const SessionRecord& record = program_.sessionRecord();
    // One name per radio and read, so a shop's folder sorts by radio and date.
    const QString base = QStringLiteral("KV7-%1-%2")
                             .arg(QString::fromStdString(record.subName()),
                                  QDateTime::fromMSecsSinceEpoch(record.cloneReadMs())
                                      .toString(QStringLiteral("yyyyMMdd-HHmm")));
    const FileKind& k = kKinds[static_cast<size_t>(kind)];
    const QString suggested = QDir(lastDir_).filePath(base + QString::fromLatin1(k.ending));
    const QString path = QFileDialog::getSaveFileName(&window_, QString::fromLatin1(k.title),
                                                      suggested, QString::fromLatin1(k.filter));
    if (path.isEmpty()) return;
    lastDir_ = QFileInfo(path).absolutePath();
    QString error;
    switch (kind) {
        case Kind::Report: error = saveReport(path); break;
        case Kind::SweepData: error = saveSweepData(path); break;
        case Kind::AlignmentData: error = saveAlignmentData(path); break;
    }
    if (!error.isEmpty()) program_.messages().showMessage(error.toStdString());
}

}  // namespace kv7
