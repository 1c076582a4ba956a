#include "platform/qt/service_report_actions.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>

#include "app/program.h"
#include "app/saved_file_name.h"
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

// What the file dialog of each entry says and suggests, and the status line says once saved.
struct FileKind {
    const char* title;
    SavedFileKind name;
    const char* filter;
    const char* saved;
    SaveFolders::Kind folder;
};
constexpr FileKind kKinds[] = {
    {"Save service report", SavedFileKind::Report, "PDF files (*.pdf)", "Service report",
     SaveFolders::Kind::Report},
    {"Save sweep data", SavedFileKind::SweepData, "CSV files (*.csv)", "Sweep data",
     SaveFolders::Kind::SweepData},
    {"Save alignment data", SavedFileKind::AlignmentData, "CSV files (*.csv)", "Alignment data",
     SaveFolders::Kind::AlignmentData},
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
    lastDir_.fill(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
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

std::string ServiceReportActions::writeReport(const SessionRecord& record,
                                              const std::string& path) {
    ReportContext context;
    context.program = kAppTitle;
    context.port = portText().toStdString();
    context.savedMs = QDateTime::currentMSecsSinceEpoch();
    context.parameterListing = program_.recordKeeper().parameterListing();
    return WriteServiceReportPdf(BuildServiceReport(record, context), qs(path)).toStdString();
}

QString ServiceReportActions::saveReport(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    QString error;
    const EventOutcome outcome = program_.event("File > Save service report", [&] {
        error = QString::fromStdString(writeReport(record, path.toStdString()));
    });
    // A failure inside was shown to the technician already; the file is not there.
    if (outcome != EventOutcome::Completed && error.isEmpty()) {
        error = QStringLiteral("The service report could not be made.");
    }
    if (error.isEmpty()) {
        program_.recordKeeper().reportSaved();
        saved(Kind::Report, path);
    }
    return error;
}

QString ServiceReportActions::saveSweepData(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    const QString error = saveCsv(path, SweepDataCsv(record));
    if (error.isEmpty()) saved(Kind::SweepData, path);
    return error;
}

QString ServiceReportActions::saveAlignmentData(const QString& path) {
    const SessionRecord& record = program_.sessionRecord();
    if (!record.cloneRead()) return kNoRecord;
    const QString error = saveCsv(path, AlignmentDataCsv(record));
    if (error.isEmpty()) saved(Kind::AlignmentData, path);
    return error;
}

void ServiceReportActions::saved(Kind kind, const QString& path) {
    program_.additionsStatus().showStatus(std::string(kKinds[static_cast<size_t>(kind)].saved) +
                                          " saved to " + WholePathText(path.toStdString()));
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
    const FileKind& k = kKinds[static_cast<size_t>(kind)];
    QString& folder = lastDir_[static_cast<size_t>(kind)];
    folder = qs(program_.saveFolders().startIn(k.folder, folder.toStdString()));
    const QString suggested = QDir(folder).filePath(qs(RecordFileName(record, k.name)));
    const QString path = QFileDialog::getSaveFileName(&window_, QString::fromLatin1(k.title),
                                                      suggested, QString::fromLatin1(k.filter));
    if (path.isEmpty()) return;
    folder = QFileInfo(path).absolutePath();
    program_.saveFolders().remember(k.folder, folder.toStdString());
    QString error;
    switch (kind) {
        case Kind::Report: error = saveReport(path); break;
        case Kind::SweepData: error = saveSweepData(path); break;
        case Kind::AlignmentData: error = saveAlignmentData(path); break;
    }
    if (!error.isEmpty()) program_.messages().showMessage(error.toStdString());
}

}  // namespace kv7
