#pragma once
#include <QString>
#include <functional>

#include "report/ReportPainter.h"

class QPagedPaintDevice;

namespace rig {

// Writes the report of `test` as an A4 PDF with the Chinese font embedded,
// through a temporary file. Throws ReportError naming the file.
void WritePdfReport(const SavedTest& test, const QString& path, const ReportOptions& options = {});

// Any report's PDF: `paint` draws on an A4 portrait writer at 300 dpi, and
// the file is written whole or not at all. Throws ReportError naming it.
void WritePdfFile(const QString& path, const QString& title, const std::function<void(QPagedPaintDevice&)>& paint);

}  // namespace rig
