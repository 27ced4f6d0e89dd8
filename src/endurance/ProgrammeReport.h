#pragma once
// The programme's report (A4 PDF, the test report's font, written whole or
// not at all): the switch, the standard and class aimed at, what one count
// means, every block with its runs' count, cycle times and drift, the
// voltage confirmed and the inspection after it with each measurement
// judged, the first refused action with its action number, and the verdict.
#include <QDateTime>
#include <QString>

#include "endurance/Programme.h"

namespace rig {

// The report as HTML (what the PDF lays out).
QString ProgrammeReportHtml(const Programme& p, const QDateTime& made);

// Writes the PDF to `path`; throws ReportError naming the file when it
// cannot be written.
void WriteProgrammeReport(const Programme& p, const QString& path, const QDateTime& made = QDateTime::currentDateTime());

}  // namespace rig
