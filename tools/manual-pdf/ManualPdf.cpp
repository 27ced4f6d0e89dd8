#include "ManualPdf.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace rig::manual {
namespace {

constexpr int kBand = 36;  // running head and page number, each, in pixels

void DrawHeadAndFoot(QPainter& p, const TManualDocument& manual, const QString& title, int page, int pages,
                     qreal width, qreal height) {
  QFont small(QStringLiteral("WenQuanYi Micro Hei"));
  small.setPointSizeF(8.5);
  p.setFont(small);
  p.setPen(QColor(0x60, 0x60, 0x60));
  if (page > 1) {
    const QRectF head(0, 0, width, kBand - 16);
    p.drawText(head, Qt::AlignLeft | Qt::AlignBottom, title);
    p.drawText(head, Qt::AlignRight | Qt::AlignBottom, manual.ChapterOfPage(page));
    p.drawLine(QPointF(0, kBand - 12), QPointF(width, kBand - 12));
  }
  p.drawText(QRectF(0, height - kBand + 14, width, kBand - 14), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("%1 / %2").arg(page).arg(pages));
}

}  // namespace

PdfOutcome WriteManualPdf(const ManualInput& input, const QString& path) {
  PdfOutcome out;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    out.error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return out;
  }
  QPdfWriter writer(&file);
  // 96 pixels to the inch, as the document is laid out.
  writer.setResolution(96);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(20, 14, 20, 14), QPageLayout::Millimeter);
  writer.setTitle(input.title);
  writer.setCreator(QStringLiteral("manual-pdf"));
  const qreal width = writer.width(), height = writer.height();
  const QSizeF body(width, height - 2 * kBand);

  TManualDocument manual;
  if (!manual.Compose(input, body, &out.error)) return out;
  QTextDocument& doc = manual.Document();
  out.pages = manual.PageCount();
  out.contents = manual.Contents();

  QPainter p;
  if (!p.begin(&writer)) {
    out.error = QStringLiteral("cannot paint into %1").arg(path);
    return out;
  }
  // Screenshots stay sharp: no JPEG for the pictures.
  p.setRenderHint(QPainter::LosslessImageRendering);
  for (int page = 1; page <= out.pages; ++page) {
    if (page > 1) writer.newPage();
    DrawHeadAndFoot(p, manual, input.title, page, out.pages, width, height);
    p.save();
    const qreal top = (page - 1) * body.height();
    p.translate(0, kBand - top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, top, body.width(), body.height());
    context.palette.setColor(QPalette::Text, Qt::black);
    p.setClipRect(context.clip);
    doc.documentLayout()->draw(&p, context);
    p.restore();
  }
  if (!p.end() || !file.commit()) {
    out.error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return out;
  }
  out.ok = true;
  return out;
}

}  // namespace rig::manual
