#include "report/PdfReport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "report/ReportError.h"
#include "report/SafeWrite.h"
#include "storage/ModeTexts.h"

namespace rig {

void WritePdfFile(const QString& path, const QString& title, const std::function<void(QPagedPaintDevice&)>& paint) {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 14, 18, 12),
                                     QPageLayout::Millimeter));
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("HX4417"));
    paint(writer);
  }
  WriteFileSafely(path, bytes);
}

void WritePdfReport(const SavedTest& test, const QString& path, const ReportOptions& options) {
  WritePdfFile(path, QStringLiteral("试验报告 %1 %2").arg(test.OutIndex, test.StartText),
               [&](QPagedPaintDevice& device) { PaintReport(device, test, options); });
}

}  // namespace rig
