#include "report/PdfReport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "report/ReportError.h"
#include "report/SafeWrite.h"
#include "storage/ModeTexts.h"

namespace rig {

void WritePdfReport(const SavedTest& test, const QString& path, const ReportOptions& options) {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 14, 18, 12),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("试验报告 %1 %2").arg(test.OutIndex, test.StartText));
    writer.setCreator(QStringLiteral("HX4417"));
    PaintReport(writer, test, options);
  }
  WriteFileSafely(path, bytes);
}

}  // namespace rig
