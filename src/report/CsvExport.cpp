#include "report/CsvExport.h"

#include <QDir>
#include <QRegularExpression>

#include "report/SafeWrite.h"

namespace rig {

QStringList ActionColumns() {
  return {QStringLiteral("动作序号"), QStringLiteral("动作次数"), QStringLiteral("A1"),     QStringLiteral("B1"),
          QStringLiteral("C1"),       QStringLiteral("A1标记"),   QStringLiteral("B1标记"), QStringLiteral("C1标记"),
          QStringLiteral("A1判定"),   QStringLiteral("B1判定"),   QStringLiteral("C1判定")};
}

QStringList SearchColumns() {
  return {QStringLiteral("出厂编号"), QStringLiteral("开关型号"), QStringLiteral("开始时间"),
          QStringLiteral("终止时间"), QStringLiteral("测试类型"), QStringLiteral("磨合次数"),
          QStringLiteral("设定次数"), QStringLiteral("工位"),     QStringLiteral("操作员"),
          QStringLiteral("编号")};
}

QStringList SearchRowCells(const SearchRow& r) {
  return {r.OutIndex, r.OpenType, r.StartTestTime, r.EndTestTime, r.ModeText,
          r.DoneCount, r.SetCount, r.WorkArea, r.WorkName, r.AutoID};
}

QString JudgedText(const SavedAction& a, int b) {
  if (!a.Judged && a.Found[b] == Refusal::None) return QStringLiteral("未判定");
  return RefusalText(a.Found[b]);
}

QByteArray CsvField(const QString& text) {
  QString t = text;
  // "=1+2" or "-2+3+cmd|..." typed as a factory number stays a text, not a
  // formula: every text a spreadsheet might start evaluating is guarded.
  if (!t.isEmpty() && QStringLiteral("=+-@\t\r").contains(t[0])) t.prepend(QLatin1Char('\''));
  const bool quote = t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) ||
                     t.contains(QLatin1Char('\r'));
  if (!quote) return t.toUtf8();
  t.replace(QLatin1String("\""), QLatin1String("\"\""));
  return '"' + t.toUtf8() + '"';
}

QByteArray CsvNumberField(const QString& text) {
  static const QRegularExpression kNumber(QStringLiteral("^(-?[0-9]+|-)$"));
  return kNumber.match(text).hasMatch() ? text.toLatin1() : CsvField(text);
}

QByteArray CsvLine(const QStringList& cells) {
  QByteArray out;
  for (int i = 0; i < cells.size(); ++i) {
    if (i) out += ',';
    out += CsvField(cells[i]);
  }
  return out + "\r\n";
}

namespace {

// The search list's count and number columns.
bool IsNumberColumn(int column) { return column == 5 || column == 6 || column == 9; }

void AppendLine(QByteArray& out, const QStringList& cells, bool numbers) {
  for (int i = 0; i < cells.size(); ++i) {
    if (i) out += ',';
    out += numbers && IsNumberColumn(i) ? CsvNumberField(cells[i]) : CsvField(cells[i]);
  }
  out += "\r\n";
}

}  // namespace

void RequireActions(const SavedTest& test) {
  if (test.Actions.empty())
    throw ReportError{QStringLiteral("试验没有动作记录：%1").arg(QDir::toNativeSeparators(test.DetailPath))};
}

QByteArray ActionsCsv(const SavedTest& test, const ReportProgress& progress) {
  QByteArray out = kCsvBom;
  out.reserve(static_cast<qsizetype>(test.Actions.size()) * 36 + 64);
  AppendLine(out, ActionColumns(), false);
  const QByteArray closed = QStringLiteral("合").toUtf8(), open = QStringLiteral("分").toUtf8();
  QByteArray marks[4];
  for (Refusal r : {Refusal::None, Refusal::Close, Refusal::Open, Refusal::Other})
    marks[static_cast<int>(r)] = RefusalText(r).toUtf8();
  const QByteArray unjudged = QStringLiteral("未判定").toUtf8();
  size_t done = 0;
  for (const SavedAction& a : test.Actions) {
    out += QByteArray::number(a.ActionNo);
    out += ',';
    out += QByteArray::number(a.Count);
    for (bool c : a.Closed) out += ',' + (c ? closed : open);
    for (Refusal m : a.Marks) out += ',' + marks[static_cast<int>(m)];
    for (int b = 0; b < 3; ++b)
      out += ',' + (!a.Judged && a.Found[b] == Refusal::None ? unjudged : marks[static_cast<int>(a.Found[b])]);
    out += "\r\n";
    if (++done % 16384 == 0) Advance(progress, double(done) / double(test.Actions.size()));
  }
  return out;
}

QByteArray SearchCsv(const std::vector<SearchRow>& rows) {
  QByteArray out = kCsvBom;
  AppendLine(out, SearchColumns(), false);
  for (const SearchRow& r : rows) AppendLine(out, SearchRowCells(r), true);
  return out;
}

void WriteActionsCsv(const SavedTest& test, const QString& path, const ReportProgress& progress) {
  RequireActions(test);
  WriteFileSafely(path, ActionsCsv(test, progress));
}

void WriteSearchCsv(const std::vector<SearchRow>& rows, const QString& path) { WriteFileSafely(path, SearchCsv(rows)); }

}  // namespace rig
