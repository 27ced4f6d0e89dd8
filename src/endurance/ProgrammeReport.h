#pragma once
// The programme's report, drawn with the test report's page engine (A4, its
// font, the report number in every header, "第 x 页 / 共 y 页", signatures
// and the end-of-report mark; written whole or not at all): the switch, the
// standard and class aimed at, what one count means, every block with its
// runs' count, cycle times and drift, the voltage confirmed, the inspection
// after it with each measurement judged, the first refused action with the
// count it fell at, the class reached, the verdict and the remarks.
#include <QDateTime>
#include <QString>

#include "endurance/Programme.h"

class QPagedPaintDevice;

namespace rig {

struct ProgrammeReportOptions {
  QString ReportNumber;  // TProgrammeStore::GiveReportNumber; empty: "未编号"
  QDateTime Made = QDateTime::currentDateTime();
};

// Paints the whole report on `device`; returns the number of pages.
int PaintProgrammeReport(QPagedPaintDevice& device, const Programme& p, const ProgrammeReportOptions& options);

// Writes the PDF to `path`; throws ReportError naming the file when it
// cannot be written.
void WriteProgrammeReport(const Programme& p, const QString& path, const ProgrammeReportOptions& options = {});

}  // namespace rig
