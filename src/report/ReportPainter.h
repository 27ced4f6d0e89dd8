#pragma once
// The test report drawn on any paged device: a PDF writer or a printer. The
// same drawing makes both, so a printed report is the PDF on paper.
#include <QDateTime>

#include "report/SavedTest.h"

class QPagedPaintDevice;

namespace rig {

struct ReportOptions {
  QDateTime Made = QDateTime::currentDateTime();  // shown in the footer
  int MaxListedRefusals = 500;  // the refused-action list stops here; the exports hold all
};

// Paints the whole report of `test` on `device` (A4 portrait is expected;
// pages are added as needed). Returns the number of pages.
int PaintReport(QPagedPaintDevice& device, const SavedTest& test, const ReportOptions& options = {});

// The family the report writes in; it holds the Chinese glyphs.
QString ReportFontFamily();

}  // namespace rig
