#pragma once
// One libxlsxwriter workbook being written, and the cell writers every
// export shares: texts as UTF-8, numbers, header rows, stored date-times as
// date cells. Rows go to disk as they are written (constant memory), so a
// sheet is written top to bottom.
#include <xlsxwriter.h>

#include <QString>
#include <QStringList>

namespace rig {

class Workbook {
 public:
  // `path` is the file written (a temporary one); `target` is named in errors.
  Workbook(const QString& path, const QString& target);
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_worksheet* Sheet(const QString& name);
  lxw_format* Format();
  // Bold on light blue, thin border: the header line of every sheet.
  lxw_format* HeaderFormat();
  lxw_format* BoldFormat();
  lxw_format* DateFormat();
  // Entered texts: wrapped, never cut.
  lxw_format* WrapFormat();
  // Writes the file out; throws ReportError naming the target.
  void Close();

 private:
  QString target_;
  lxw_workbook* book_ = nullptr;
};

void XlsxText(lxw_worksheet* s, int row, int col, const QString& text, lxw_format* f = nullptr);
void XlsxNumber(lxw_worksheet* s, int row, int col, double v, lxw_format* f = nullptr);
void XlsxHeaderRow(lxw_worksheet* s, int row, const QStringList& captions, lxw_format* f);
// A stored date-time text as a date cell; a text that is none stays a text.
void XlsxDateTime(lxw_worksheet* s, int row, int col, const QString& text, lxw_format* dateFormat);
void XlsxDateTime(lxw_worksheet* s, int row, int col, const QDateTime& t, lxw_format* dateFormat);

}  // namespace rig
