#pragma once
#include <QString>

#include "report/ReportPainter.h"

namespace rig {

// Writes the report of `test` as an A4 PDF with the Chinese font embedded,
// through a temporary file. Throws ReportError naming the file.
void WritePdfReport(const SavedTest& test, const QString& path, const ReportOptions& options = {});

}  // namespace rig
