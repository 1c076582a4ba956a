#pragma once
#include <QString>

#include "model/service_report.h"

namespace kv7 {

// Draws the service report as an A4 PDF with Qt's own writer: header, items, monitor
// readings, one curve per swept stage, the TXF tables, each aligned point with a chart of its
// steps and the parameter listing. Returns an empty text when the file was written, otherwise
// why it was not.
QString WriteServiceReportPdf(const ServiceReport& report, const QString& path);

}  // namespace kv7
