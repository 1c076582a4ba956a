#pragma once
#include <QObject>
#include <QString>
#include <array>
#include <string>

#include "app/record_keeper.h"

class QAction;

namespace kv7 {

class Program;
class QtMainWindow;
class QtSerialPort;

// File > "Save service report…", "Save sweep data…" and "Save alignment data…": the record of
// the latest connection as a PDF for the shop's files, its sweep points and its alignment steps
// as CSV. All are offered once a clone read is in the record. It also draws the report the
// program keeps on its own (ReportWriter).
class ServiceReportActions : public QObject, public ReportWriter {
  public:
    // Adds the entries to the window's File menu, before Exit; they leave it with this object,
    // which must go before the program and the window.
    ServiceReportActions(QtMainWindow& window, Program& program, const QtSerialPort& port);

    QAction* reportAction() const { return report_; }
    QAction* sweepDataAction() const { return sweepData_; }
    QAction* alignmentDataAction() const { return alignmentData_; }

    // Enables the entries when the record holds a clone read (else each says why); returns that.
    bool refresh();

    // Write the file without asking; an empty text when it was written, otherwise why not.
    QString saveReport(const QString& path);
    QString saveSweepData(const QString& path);
    QString saveAlignmentData(const QString& path);

    // ReportWriter: the PDF alone, outside any event (the caller runs it inside one).
    std::string writeReport(const SessionRecord& record, const std::string& path) override;

  private:
    enum class Kind { Report, SweepData, AlignmentData };

    // Enables the entries, or greys them with the reason in their tooltips.
    void explainEntries(bool ready);
    void chooseAndSave(Kind kind);
    QString saveCsv(const QString& path, const std::string& csv);
    // Says on the status line what was saved where.
    void saved(Kind kind, const QString& path);
    QString portText() const;

    QtMainWindow& window_;
    Program& program_;
    const QtSerialPort& port_;
    QAction* report_ = nullptr;
    QAction* sweepData_ = nullptr;
    QAction* alignmentData_ = nullptr;
    // The folder each kind was last saved to, for this run of the program.
    std::array<QString, 3> lastDir_;
};

}  // namespace kv7
