#pragma once
#include <QObject>
#include <QString>
#include <string>

class QAction;

namespace kv7 {

class Program;
class QtMainWindow;
class QtSerialPort;

// File > "Save service report…", "Save sweep data…" and "Save alignment data…": the record of
// the latest connection as a PDF for the shop's files, its sweep points and its alignment steps
// as CSV. All are offered once a clone read is in the record.
class ServiceReportActions : public QObject {
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

  private:
    enum class Kind { Report, SweepData, AlignmentData };

    // Enables the entries, or greys them with the reason in their tooltips.
    void explainEntries(bool ready);
    void chooseAndSave(Kind kind);
    QString saveCsv(const QString& path, const std::string& csv);
    QString portText() const;

    QtMainWindow& window_;
    Program& program_;
    const QtSerialPort& port_;
    QAction* report_ = nullptr;
    QAction* sweepData_ = nullptr;
    QAction* alignmentData_ = nullptr;
    QString lastDir_;
};

}  // namespace kv7
