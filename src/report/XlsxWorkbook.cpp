#include "report/XlsxWorkbook.h"

#include <QDateTime>
#include <QFile>

#include "report/ReportError.h"
#include "report/ReportTexts.h"
#include "report/SafeWrite.h"

namespace rig {

Workbook::Workbook(const QString& path, const QString& target) : target_(target) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows go to disk as written: 128,000 actions stay small
  book_ = workbook_new_opt(QFile::encodeName(path).constData(), &options);
  if (!book_) throw ReportError{CannotWrite(target, QStringLiteral("无法创建工作簿"))};
}

Workbook::~Workbook() {
  if (book_) workbook_close(book_);  // only on the way out after a fault; the file is thrown away
}

lxw_worksheet* Workbook::Sheet(const QString& name) { return workbook_add_worksheet(book_, name.toUtf8().constData()); }

lxw_format* Workbook::Format() { return workbook_add_format(book_); }

lxw_format* Workbook::HeaderFormat() {
  lxw_format* f = Format();
  format_set_bold(f);
  format_set_bg_color(f, 0xD9E1F2);
  format_set_border(f, LXW_BORDER_THIN);
  return f;
}

lxw_format* Workbook::BoldFormat() {
  lxw_format* f = Format();
  format_set_bold(f);
  return f;
}

lxw_format* Workbook::DateFormat() {
  lxw_format* f = Format();
  format_set_num_format(f, "yyyy-mm-dd hh:mm:ss");
  format_set_align(f, LXW_ALIGN_LEFT);
  return f;
}

lxw_format* Workbook::WrapFormat() {
  lxw_format* f = Format();
  format_set_text_wrap(f);
  format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
  return f;
}

void Workbook::Close() {
  const lxw_error e = workbook_close(book_);
  book_ = nullptr;
  if (e != LXW_NO_ERROR) throw ReportError{CannotWrite(target_, QString::fromUtf8(lxw_strerror(e)))};
}

void XlsxText(lxw_worksheet* s, int row, int col, const QString& text, lxw_format* f) {
  if (text.isEmpty() && !f) return;
  worksheet_write_string(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), text.toUtf8().constData(), f);
}

void XlsxNumber(lxw_worksheet* s, int row, int col, double v, lxw_format* f) {
  worksheet_write_number(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), v, f);
}

void XlsxHeaderRow(lxw_worksheet* s, int row, const QStringList& captions, lxw_format* f) {
  for (int c = 0; c < captions.size(); ++c) XlsxText(s, row, c, captions[c], f);
}

void XlsxDateTime(lxw_worksheet* s, int row, int col, const QDateTime& t, lxw_format* dateFormat) {
  lxw_datetime d{t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                 double(t.time().second())};
  worksheet_write_datetime(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), &d, dateFormat);
}

void XlsxDateTime(lxw_worksheet* s, int row, int col, const QString& text, lxw_format* dateFormat) {
  const QDateTime t = StoredDateTime(text);
  if (!t.isValid()) return XlsxText(s, row, col, text);
  XlsxDateTime(s, row, col, t, dateFormat);
}

}  // namespace rig
