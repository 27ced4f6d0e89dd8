#include "report/XlsxExport.h"

#include <QDir>
#include <algorithm>

#include "report/CsvExport.h"
#include "report/RefusalStats.h"
#include "report/ReportTexts.h"
#include "report/SafeWrite.h"
#include "report/XlsxWorkbook.h"
#include "storage/ModeTexts.h"

namespace rig {
namespace {

void WriteSummarySheet(Workbook& book, lxw_worksheet* s, const SavedTest& t, const RefusalStats& st) {
  lxw_format* bold = book.BoldFormat();
  lxw_format* head = book.HeaderFormat();
  lxw_format* date = book.DateFormat();
  lxw_format* wrap = book.WrapFormat();
  worksheet_set_column(s, 0, 0, 18, nullptr);
  worksheet_set_column(s, 1, 1, 40, nullptr);
  worksheet_set_column(s, 2, 4, 16, nullptr);

  const bool life = IsLifeMode(t.Mode);
  int r = 0;
  XlsxText(s, r++, 0, life ? QStringLiteral("高压开关机械寿命试验汇总") : QStringLiteral("高压开关机械操作试验汇总"), bold);
  ++r;
  int lastActionNo = 0;
  for (const SavedAction& a : t.Actions) lastActionNo = std::max(lastActionNo, a.ActionNo);
  const std::pair<QString, QString> texts[] = {
      {QStringLiteral("报告编号"), t.ReportNumber},
      {QStringLiteral("开关型号"), t.OpenType},
      {QStringLiteral("出厂编号"), t.OutIndex},
      {QStringLiteral("工位"), StationWithAreaText(t.Station, t.WorkArea)},
      {QStringLiteral("操作员"), t.WorkName},
      {QStringLiteral("测试类型"), SavedModeText(t.Mode)},
      {QStringLiteral("动作顺序"), SequenceText(t.Mode, t.Params)},
      {QStringLiteral("拒动作设定"), RefusalOptionText(t.IgnoreRefusals)},
      {QStringLiteral("完成情况"), CompletionText(t.Mode, t.Params, life ? st.EndCount : t.CountDone, lastActionNo)},
  };
  for (const auto& [key, value] : texts) {
    XlsxText(s, r, 0, key, bold);
    XlsxText(s, r++, 1, value, wrap);
  }
  XlsxText(s, r, 0, QStringLiteral("开始时间"), bold);
  XlsxDateTime(s, r++, 1, t.StartText, date);
  XlsxText(s, r, 0, QStringLiteral("结束时间"), bold);
  XlsxDateTime(s, r++, 1, t.EndText, date);
  XlsxText(s, r, 0, QStringLiteral("试验时长"), bold);
  XlsxText(s, r++, 1, DurationText(t.StartText, t.EndText));
  const int set = SetCount(t.Mode, t.Params);
  const std::pair<QString, double> numbers[] = {
      {QStringLiteral("试验编号"), double(t.AutoId)},
      {QStringLiteral("设定次数"), double(set)},
      {QStringLiteral("完成次数"), double(t.CountDone)},
      {QStringLiteral("动作记录条数"), double(st.Actions)},
      {QStringLiteral("拒动作条数"), double(st.RefusedActions)},
      {QStringLiteral("首次拒动作时次数"), double(st.FirstRefusalCount)},
  };
  for (const auto& [key, value] : numbers) {
    XlsxText(s, r, 0, key, bold);
    if (value >= 0) XlsxNumber(s, r, 1, value);
    else XlsxText(s, r, 1, QStringLiteral("-"));
    ++r;
  }
  ++r;
  XlsxHeaderRow(s, r++, {QStringLiteral("参数"), QStringLiteral("值"), QStringLiteral("单位"), QStringLiteral("说明")}, head);
  for (const ParameterText& p : ModeParameters(t.Mode, t.Params)) {
    XlsxText(s, r, 0, p.Caption);
    XlsxNumber(s, r, 1, p.Value);
    XlsxText(s, r, 2, p.Unit);
    XlsxText(s, r++, 3, p.Where);
  }
  ++r;
  XlsxHeaderRow(s, r++, {QStringLiteral("断口"), QStringLiteral("拒合"), QStringLiteral("拒分"), QStringLiteral("首次拒动作时次数")}, head);
  const char* names[3] = {"A1", "B1", "C1"};
  for (int b = 0; b < 3; ++b) {
    XlsxText(s, r, 0, QString::fromLatin1(names[b]));
    XlsxNumber(s, r, 1, st.Breaks[b].Closings);
    XlsxNumber(s, r, 2, st.Breaks[b].Openings);
    if (st.Breaks[b].FirstCount >= 0) XlsxNumber(s, r, 3, st.Breaks[b].FirstCount);
    else XlsxText(s, r, 3, QStringLiteral("-"));
    ++r;
  }
  for (const QString& line : JudgementTexts(t, st)) XlsxText(s, r++, 0, line);
  if (!life) return;  // an operation test runs its sequence once: no blocks
  ++r;
  XlsxText(s, r++, 0, CountMeaningText(t.Mode) + QStringLiteral("；末段止于试验结束时的次数 %1。").arg(st.EndCount));
  XlsxHeaderRow(s, r++, {QStringLiteral("次数段"), QStringLiteral("动作数"), QStringLiteral("拒合"), QStringLiteral("拒分")}, head);
  for (const CountBlock& b : st.Blocks) {
    XlsxText(s, r, 0, QStringLiteral("%1–%2").arg(b.FirstCount).arg(b.LastCount));
    XlsxNumber(s, r, 1, b.Actions);
    XlsxNumber(s, r, 2, b.RefusedClosings);
    XlsxNumber(s, r, 3, b.RefusedOpenings);
    ++r;
  }
}

void WriteActionsSheet(Workbook& book, lxw_worksheet* s, const SavedTest& t, const ReportProgress& progress) {
  lxw_format* head = book.HeaderFormat();
  lxw_format* refused = book.Format();  // the whole row of a refused action
  format_set_bg_color(refused, 0xFFC7CE);
  lxw_format* mark = book.Format();
  format_set_bg_color(mark, 0xFFC7CE);
  format_set_font_color(mark, 0x9C0006);
  format_set_bold(mark);
  worksheet_set_column(s, 0, 10, 10, nullptr);
  worksheet_freeze_panes(s, 1, 0);
  XlsxHeaderRow(s, 0, ActionColumns(), head);

  const QByteArray closed = QStringLiteral("合").toUtf8(), open = QStringLiteral("分").toUtf8();
  QByteArray marks[4];
  for (Refusal r : {Refusal::None, Refusal::Close, Refusal::Open, Refusal::Other})
    marks[static_cast<int>(r)] = RefusalText(r).toUtf8();
  const QByteArray unjudged = QStringLiteral("未判定").toUtf8();
  lxw_row_t row = 1;
  for (const SavedAction& a : t.Actions) {
    lxw_format* f = a.Refused() ? refused : nullptr;
    worksheet_write_number(s, row, 0, a.ActionNo, f);
    worksheet_write_number(s, row, 1, a.Count, f);
    for (int b = 0; b < 3; ++b) worksheet_write_string(s, row, lxw_col_t(2 + b), (a.Closed[b] ? closed : open).constData(), f);
    for (int b = 0; b < 3; ++b) {
      if (a.Marks[b] != Refusal::None)
        worksheet_write_string(s, row, lxw_col_t(5 + b), marks[static_cast<int>(a.Marks[b])].constData(), mark);
      else if (f)
        worksheet_write_blank(s, row, lxw_col_t(5 + b), f);
    }
    for (int b = 0; b < 3; ++b) {
      if (a.Found[b] != Refusal::None)
        worksheet_write_string(s, row, lxw_col_t(8 + b), marks[static_cast<int>(a.Found[b])].constData(), mark);
      else if (!a.Judged)
        worksheet_write_string(s, row, lxw_col_t(8 + b), unjudged.constData(), f);
      else if (f)
        worksheet_write_blank(s, row, lxw_col_t(8 + b), f);
    }
    if (row % 16384 == 0) Advance(progress, 0.9 * double(row) / double(t.Actions.size()));
    ++row;
  }
  worksheet_autofilter(s, 0, 0, row - 1, 10);
}

}  // namespace

void WriteActionsXlsx(const SavedTest& test, const QString& path, const ReportProgress& progress) {
  RequireActions(test);
  const RefusalStats stats = ComputeRefusalStats(test);
  WriteThroughTempFile(path, [&](const QString& temp) {
    Workbook book(temp, path);
    lxw_worksheet* summary = book.Sheet(QString::fromUtf8(kSummarySheet));
    lxw_worksheet* actions = book.Sheet(QString::fromUtf8(kActionsSheet));
    WriteSummarySheet(book, summary, test, stats);
    WriteActionsSheet(book, actions, test, progress);
    book.Close();
  });
}

void WriteSearchXlsx(const std::vector<SearchRow>& rows, const QString& path) {
  WriteThroughTempFile(path, [&](const QString& temp) {
    Workbook book(temp, path);
    lxw_worksheet* s = book.Sheet(QString::fromUtf8(kSearchSheet));
    lxw_format* head = book.HeaderFormat();
    worksheet_set_column(s, 0, 9, 14, nullptr);
    worksheet_set_column(s, 2, 4, 20, nullptr);
    worksheet_freeze_panes(s, 1, 0);
    lxw_format* date = book.DateFormat();
    XlsxHeaderRow(s, 0, SearchColumns(), head);
    int r = 1;
    for (const SearchRow& row : rows) {
      const QStringList cells = SearchRowCells(row);
      for (int c = 0; c < cells.size(); ++c) {
        bool number = false;
        const qlonglong value = cells[c].toLongLong(&number);
        if (c == 2 || c == 3) XlsxDateTime(s, r, c, cells[c], date);  // start and end
        else if (number && (c == 5 || c == 6 || c == 9)) XlsxNumber(s, r, c, double(value));  // counts, 编号
        else XlsxText(s, r, c, cells[c]);
      }
      ++r;
    }
    // A filter on every column, for a list read by the lab.
    worksheet_autofilter(s, 0, 0, static_cast<lxw_row_t>(std::max(r - 1, 1)), static_cast<lxw_col_t>(SearchColumns().size() - 1));
    book.Close();
  });
}

}  // namespace rig
