#pragma once
// Writes the operator's manual as an A4 PDF with its Chinese font embedded.
#include <QString>

#include "ManualDocument.h"

namespace rig::manual {

struct PdfOutcome {
  bool ok = false;
  QString error;
  int pages = 0;
  QList<ContentsEntry> contents;  // as the contents pages list them
};

// The file at `path` is replaced only by a complete manual.
PdfOutcome WriteManualPdf(const ManualInput& input, const QString& path);

}  // namespace rig::manual
