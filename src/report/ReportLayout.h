#pragma once
// The page engine every report is drawn with: A4 pages with the report
// number in the header and "第 x 页 / 共 y 页" in the footer, sections, rows
// of cells that wrap their texts, tables whose header row repeats on every
// page, the signature block and the end-of-report mark. A report is painted
// twice: first without a painter to count its pages, then for real.
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace rig {

// What every page of one report carries.
struct ReportPageTexts {
  QString HeaderLeft;    // "HX4417 高压开关机械寿命试验台 · 三号台"
  QString ReportNumber;  // empty: "未编号"
  QDateTime Made;        // shown in the footer
};

inline const QColor kReportInk(0x20, 0x20, 0x20);
inline const QColor kReportAlarm(0xC0, 0x39, 0x2B);  // a refusal, a failed measurement

class ReportLayout {
 public:
  static constexpr double kRow = 6.5;  // mm, a table row

  ReportLayout(QPagedPaintDevice& device, QPainter* painter, ReportPageTexts texts, int pages);
  // Draws the last footer; returns the number of pages.
  int Finish();

  double Width() const { return widthMm_; }
  double Top() const { return y_; }
  bool Painting() const { return p_ != nullptr; }

  // A new page unless `h` mm still fit on this one.
  void Ensure(double h);
  void Space(double h) { y_ += h; }
  void Title(const QString& title, const QString& subtitle);
  void Section(const QString& title);
  // Wrapped over as many lines as it needs.
  void Paragraph(const QString& text, const QColor& colour = kReportInk);

  struct Cell {
    QString Text;
    bool Label = false;  // shaded caption cell
    int Span = 1;
    QColor Colour = kReportInk;
    bool Bold = false;
    Qt::Alignment Align = Qt::AlignLeft;
  };

  // One row of cells over `widths` (mm, summing to the page width), at
  // least `h` high and as high as its longest text needs: entered texts are
  // wrapped, never cut.
  void Row(const std::vector<double>& widths, const std::vector<Cell>& cells, double h = kRow);

  // A table whose header row is repeated on every page it runs onto.
  template <typename RowFn>
  void Table(const std::vector<double>& widths, const QStringList& header, int rows, double h, RowFn row) {
    std::vector<Cell> head;
    for (const QString& c : header) head.push_back({c, true, 1, kReportInk, true, Qt::AlignCenter});
    Ensure(h * 3);
    Row(widths, head, h);
    for (int i = 0; i < rows; ++i) {
      if (y_ + h > heightMm_ - kFooterBand) {
        NewPage();
        Row(widths, head, h);
      }
      Row(widths, row(i), h);
    }
  }

  // 试验员 / 审核员 / 批准, each with room to sign and date, then the end mark.
  void Signatures();

  // Drawing in mm from the page's top left, for charts.
  QFont Font(double points, bool bold = false) const;
  void TextAt(const QRectF& mm, const QString& text, Qt::Alignment align, const QFont& font,
              const QColor& colour = kReportInk);
  void Line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm,
            Qt::PenStyle style = Qt::SolidLine);
  void Fill(const QRectF& mm, const QColor& colour);

 private:
  static constexpr double kHeaderBand = 12;  // mm at the top of every page
  static constexpr double kFooterBand = 9;   // mm at the bottom

  double Mm(double v) const { return v * k_; }
  QRectF Px(const QRectF& mm) const { return QRectF(mm.x() * k_, mm.y() * k_, mm.width() * k_, mm.height() * k_); }
  double WrappedHeight(const QString& text, double widthMm, const QFont& font) const;
  void WrappedAt(const QRectF& mm, const QString& text, Qt::Alignment align, const QFont& font, const QColor& colour);
  void NewPage();
  void PageHeader();
  void PageFooter();

  QPagedPaintDevice& dev_;
  QPainter* p_;
  ReportPageTexts texts_;
  int pages_;
  int page_ = 1;
  double k_ = 1, widthMm_ = 0, heightMm_ = 0, y_ = 0;
  QFont base_;
};

// Paints a report with `paint` twice: first only counting its pages, so
// every footer can say "of N", then on `device`. Returns the page count.
int PaintPages(QPagedPaintDevice& device, const ReportPageTexts& texts, const std::function<void(ReportLayout&)>& paint);

// "第 3 页 / 共 5 页": the footer's words, also what a reader of the PDF finds.
QString PageOfText(int page, int pages);
// The mark under the last line of every report.
QString EndOfReportText();

}  // namespace rig
