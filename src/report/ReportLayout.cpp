#include "report/ReportLayout.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

#include "report/ReportPainter.h"

namespace rig {
namespace {

const QColor kGrid(0x80, 0x80, 0x80);
const QColor kShade(0xEE, 0xF1, 0xF6);
const QColor kQuiet(0x50, 0x50, 0x50);
constexpr int kWrap = Qt::TextWordWrap | Qt::TextWrapAnywhere;

}  // namespace

QString PageOfText(int page, int pages) { return QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages); }
QString EndOfReportText() { return QStringLiteral("—— 报告结束 ——"); }

int PaintPages(QPagedPaintDevice& device, const ReportPageTexts& texts, const std::function<void(ReportLayout&)>& paint) {
  ReportLayout dry(device, nullptr, texts, 0);
  paint(dry);
  const int pages = dry.Finish();
  QPainter painter(&device);
  painter.setRenderHint(QPainter::Antialiasing);
  ReportLayout layout(device, &painter, texts, pages);
  paint(layout);
  layout.Finish();
  painter.end();
  return pages;
}

ReportLayout::ReportLayout(QPagedPaintDevice& device, QPainter* painter, ReportPageTexts texts, int pages)
    : dev_(device), p_(painter), texts_(std::move(texts)), pages_(pages) {
  k_ = device.logicalDpiY() / 25.4;
  widthMm_ = device.width() / k_;
  heightMm_ = device.height() / k_;
  base_ = QFont(ReportFontFamily());
  base_.setPointSizeF(9.5);
  PageHeader();
}

int ReportLayout::Finish() {
  PageFooter();
  return page_;
}

void ReportLayout::Ensure(double h) {
  if (y_ + h > heightMm_ - kFooterBand) NewPage();
}

void ReportLayout::Title(const QString& title, const QString& subtitle) {
  TextAt(QRectF(0, y_, widthMm_, 11), title, Qt::AlignCenter, Font(18, true));
  y_ += 12;
  TextAt(QRectF(0, y_, widthMm_, 6), subtitle, Qt::AlignCenter, Font(9.5), kQuiet);
  y_ += 10;
}

void ReportLayout::Section(const QString& title) {
  Ensure(10 + 3 * kRow);
  TextAt(QRectF(0, y_, widthMm_, 7), title, Qt::AlignLeft | Qt::AlignVCenter, Font(11, true));
  Line(0, y_ + 7.5, widthMm_, y_ + 7.5, kReportInk, 0.35);
  y_ += 10;
}

void ReportLayout::Paragraph(const QString& text, const QColor& colour) {
  const double h = std::max(kRow, WrappedHeight(text, widthMm_, Font(9.5)) + 1.5);
  Ensure(h);
  WrappedAt(QRectF(0, y_, widthMm_, h), text, Qt::AlignLeft | Qt::AlignVCenter, Font(9.5), colour);
  y_ += h;
}

void ReportLayout::Row(const std::vector<double>& widths, const std::vector<Cell>& cells, double h) {
  std::vector<double> cellWidths;
  size_t w = 0;
  for (const Cell& c : cells) {
    double cw = 0;
    for (int s = 0; s < c.Span && w < widths.size(); ++s) cw += widths[w++];
    cellWidths.push_back(cw);
    h = std::max(h, WrappedHeight(c.Text, cw - 3, Font(9.5, c.Bold || c.Label)) + 1.5);
  }
  Ensure(h);
  double x = 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    const Cell& c = cells[i];
    const QRectF r(x, y_, cellWidths[i], h);
    if (p_) {
      if (c.Label) p_->fillRect(Px(r), kShade);
      p_->setPen(QPen(kGrid, Mm(0.2)));
      p_->drawRect(Px(r));
    }
    WrappedAt(r.adjusted(1.5, 0, -1.5, 0), c.Text, c.Align | Qt::AlignVCenter, Font(9.5, c.Bold || c.Label), c.Colour);
    x += cellWidths[i];
  }
  y_ += h;
}

void ReportLayout::Signatures() {
  constexpr double kBox = 22;  // room to sign
  Ensure(4 + 10 + kRow + kBox + 10);
  Space(4);
  TextAt(QRectF(0, y_, widthMm_, 7), QStringLiteral("签字"), Qt::AlignLeft | Qt::AlignVCenter, Font(11, true));
  Line(0, y_ + 7.5, widthMm_, y_ + 7.5, kReportInk, 0.35);
  y_ += 10;
  const double w = widthMm_ / 3;
  const std::vector<double> widths = {w, w, w};
  Row(widths, {{QStringLiteral("试验员"), true, 1, kReportInk, true, Qt::AlignCenter},
               {QStringLiteral("审核员"), true, 1, kReportInk, true, Qt::AlignCenter},
               {QStringLiteral("批准"), true, 1, kReportInk, true, Qt::AlignCenter}});
  const double boxTop = y_;
  for (int i = 0; i < 3; ++i) {
    if (p_) {
      p_->setPen(QPen(kGrid, Mm(0.2)));
      p_->drawRect(Px(QRectF(i * w, boxTop, w, kBox)));
    }
    TextAt(QRectF(i * w + 3, boxTop + 2, w - 6, 6), QStringLiteral("签字："), Qt::AlignLeft | Qt::AlignVCenter, Font(9.5));
    TextAt(QRectF(i * w + 3, boxTop + kBox - 8, w - 6, 6), QStringLiteral("日期：       年     月     日"),
           Qt::AlignLeft | Qt::AlignVCenter, Font(9.5));
  }
  y_ = boxTop + kBox + 3;
  // Nothing may be added below the signatures unnoticed.
  TextAt(QRectF(0, y_, widthMm_, 6), EndOfReportText(), Qt::AlignCenter, Font(9.5), kQuiet);
  y_ += 7;
}

QFont ReportLayout::Font(double points, bool bold) const {
  QFont f = base_;
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

void ReportLayout::TextAt(const QRectF& mm, const QString& text, Qt::Alignment align, const QFont& font,
                          const QColor& colour) {
  if (!p_ || text.isEmpty()) return;
  p_->setFont(font);
  p_->setPen(colour);
  const QRectF r = Px(mm);
  const QString shown = QFontMetricsF(font, &dev_).elidedText(text, Qt::ElideRight, r.width());
  p_->drawText(r, int(align), shown);
}

void ReportLayout::Line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm,
                        Qt::PenStyle style) {
  if (!p_) return;
  p_->setPen(QPen(colour, Mm(widthMm), style));
  p_->drawLine(QPointF(Mm(x1), Mm(y1)), QPointF(Mm(x2), Mm(y2)));
}

void ReportLayout::Fill(const QRectF& mm, const QColor& colour) {
  if (p_) p_->fillRect(Px(mm), colour);
}

double ReportLayout::WrappedHeight(const QString& text, double widthMm, const QFont& font) const {
  if (text.isEmpty()) return 0;
  const QRectF need = QFontMetricsF(font, &dev_).boundingRect(QRectF(0, 0, Mm(widthMm), 1e6), kWrap, text);
  return need.height() / k_;
}

void ReportLayout::WrappedAt(const QRectF& mm, const QString& text, Qt::Alignment align, const QFont& font,
                             const QColor& colour) {
  if (!p_ || text.isEmpty()) return;
  p_->setFont(font);
  p_->setPen(colour);
  p_->drawText(Px(mm), int(align) | kWrap, text);
}

void ReportLayout::NewPage() {
  PageFooter();
  if (p_) dev_.newPage();
  ++page_;
  PageHeader();
}

void ReportLayout::PageHeader() {
  const QString right = QStringLiteral("报告编号 %1").arg(texts_.ReportNumber.isEmpty() ? QStringLiteral("未编号")
                                                                                      : texts_.ReportNumber);
  TextAt(QRectF(0, 0, widthMm_ / 2, 6), texts_.HeaderLeft, Qt::AlignLeft | Qt::AlignVCenter, Font(8), kQuiet);
  TextAt(QRectF(widthMm_ / 2, 0, widthMm_ / 2, 6), right, Qt::AlignRight | Qt::AlignVCenter, Font(8), kQuiet);
  Line(0, 7, widthMm_, 7, kGrid, 0.25);
  y_ = kHeaderBand;
}

void ReportLayout::PageFooter() {
  const double top = heightMm_ - 6;
  Line(0, top - 1, widthMm_, top - 1, kGrid, 0.25);
  const QFont f = Font(8);
  TextAt(QRectF(0, top, widthMm_ / 3, 6), QStringLiteral("生成时间 ") + texts_.Made.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
         Qt::AlignLeft | Qt::AlignVCenter, f, kQuiet);
  TextAt(QRectF(widthMm_ / 3, top, widthMm_ / 3, 6), PageOfText(page_, pages_), Qt::AlignCenter, f, kQuiet);
}

}  // namespace rig
