#include "endurance/ProgrammeExport.h"

#include <optional>
#include <vector>

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeTexts.h"
#include "report/CsvExport.h"
#include "report/ReportTexts.h"
#include "report/SafeWrite.h"
#include "report/XlsxWorkbook.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

// One value of the programme, as both exports write it: a number as a
// number, a time as a date cell, anything else as a text.
struct Fact {
  QString Item;
  QString Text;
  std::optional<double> Number;
  QString Unit;
  QDateTime Time;

  static Fact Of(const QString& item, const QString& text) { return {item, text, std::nullopt, {}, {}}; }
  static Fact Count(const QString& item, double n, const QString& unit = QStringLiteral("次")) {
    return {item, MeasureText(n), n, unit, {}};
  }
  static Fact Ms(const QString& item, double ms) { return {item, QString::number(ms, 'f', 1), ms, QStringLiteral("ms"), {}}; }
  static Fact At(const QString& item, const QDateTime& t) {
    return {item, t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QString(), std::nullopt, {}, t};
  }
};

QString ModeWord(int mode) {
  const TestModeInfo* m = FindTestMode(mode);
  return m ? QString::fromUtf16(m->Word) : QString::number(mode);
}

std::vector<Fact> ProgrammeFacts(const Programme& p, const QString& number) {
  const ProgrammeIdentity& id = p.Identity;
  return {Fact::Of(QStringLiteral("报告编号"), number),
          Fact::Of(QStringLiteral("开关型号"), id.SwitchModel),
          Fact::Of(QStringLiteral("出厂编号"), id.FactoryNumber),
          Fact::Of(QStringLiteral("制造厂"), id.Manufacturer),
          Fact::Of(QStringLiteral("委托方"), id.Customer),
          Fact::Of(QStringLiteral("工位"), StationWithAreaText(p.Station, id.StationText)),
          Fact::Of(QStringLiteral("操作员"), id.OperatorName),
          Fact::Of(QStringLiteral("标准"), StandardName(p.Standard)),
          Fact::Of(QStringLiteral("目标等级"), p.ClassName),
          Fact::Count(QStringLiteral("目标次数"), p.Target),
          Fact::At(QStringLiteral("方案开始"), p.CreatedAt),
          Fact::At(QStringLiteral("方案结束"), p.EndedAt),
          Fact::Of(QStringLiteral("备注"), id.Remarks)};
}

std::vector<Fact> VerdictFacts(const Programme& p) {
  const Verdict v = VerdictOf(p);
  std::vector<Fact> facts = {Fact::Of(QStringLiteral("判定"), VerdictTextZh(v)),
                             Fact::Of(QStringLiteral("达到等级"), v.Reached),
                             Fact::Count(QStringLiteral("计入等级的次数"), v.Done),
                             Fact::Count(QStringLiteral("累计次数"), CumulativeCount(p))};
  if (const std::optional<ProgrammeFailure>& f = p.Failure) {
    facts.push_back(Fact::Count(QStringLiteral("首次失败时次数"), f->Operation));
    facts.push_back(Fact::Of(QStringLiteral("首次失败"), QStringLiteral("第%1段，该段测试的第%2个动作，%3，依据：%4")
                                                         .arg(f->Block)
                                                         .arg(f->ActionNo)
                                                         .arg(FailureBreakText(*f, false),
                                                              f->Marked ? QStringLiteral("拒动作标记") : QStringLiteral("断口位置"))));
    facts.push_back(Fact::At(QStringLiteral("首次失败时间"), f->At));
  } else {
    facts.push_back(Fact::Of(QStringLiteral("首次失败时次数"), QStringLiteral("无")));
  }
  return facts;
}

std::vector<Fact> BlockFacts(const Programme& p, int b) {
  const ProgrammeBlock& k = p.Blocks[b - 1];
  return {Fact::Of(QStringLiteral("试验方式"), ModeWord(k.Mode)),
          Fact::Count(QStringLiteral("设定次数"), k.Count),
          Fact::Count(QStringLiteral("完成次数"), BlockDone(p, b)),
          Fact::Count(QStringLiteral("累计次数"), BlockBase(p, b) + BlockDone(p, b)),
          Fact::Count(QStringLiteral("测试次数"), RunsOf(p, b), QString()),
          Fact::Count(QStringLiteral("测得循环数"), double(k.Cycles.Cycles), QStringLiteral("个")),
          Fact::Ms(QStringLiteral("平均循环时间"), k.Cycles.MeanMs),
          Fact::Ms(QStringLiteral("循环时间离散"), k.Cycles.SpreadMs()),
          Fact::Ms(QStringLiteral("最慢循环"), k.Cycles.SlowestMs),
          Fact::Of(QStringLiteral("比第1段"), DriftText(p, b)),
          Fact::Of(QStringLiteral("控制电压"), k.VoltageNote),
          Fact::Of(QStringLiteral("电压确认人"), k.VoltageConfirmedBy),
          Fact::At(QStringLiteral("电压确认时间"), k.VoltageConfirmedAt)};
}

std::vector<Fact> RunFacts(const BlockRun& r, int n) {
  const QString run = QStringLiteral("测试%1").arg(n);
  return {Fact::At(run + QStringLiteral("开始时间"), r.StartTime), Fact::Count(run + QStringLiteral("起始计数"), r.BaseCount),
          Fact::Count(run + QStringLiteral("结束计数"), r.LastCount), Fact::Count(run + QStringLiteral("次数"), r.Cycles())};
}

std::vector<Fact> InspectionFacts(const Inspection& i) {
  return {Fact::Of(QStringLiteral("检查内容"), i.Checked), Fact::Of(QStringLiteral("处理"), InspectionWorkText(i)),
          Fact::Of(QStringLiteral("检查人"), i.ByWhom), Fact::At(QStringLiteral("检查时间"), i.At)};
}

// --- CSV -----------------------------------------------------------------------

// A number as it is (a sign is no formula here); a text guarded as every export's.
QByteArray ValueField(const Fact& f) { return f.Number ? f.Text.toUtf8() : CsvField(f.Text); }

void AppendFact(QByteArray& out, const QString& kind, int block, const Fact& f) {
  out += CsvField(kind) + ',' + (block > 0 ? QByteArray::number(block) : QByteArray()) + ',' + CsvField(f.Item) + ',' +
         ValueField(f) + ',' + CsvField(f.Unit) + ",,,\r\n";
}

// --- XLSX ----------------------------------------------------------------------

struct Formats {
  lxw_format *Bold, *Head, *Date, *Wrap, *Fail, *Marginal;
};

// Item / value / unit rows from `row` on; returns the next free row.
int WriteFacts(lxw_worksheet* s, int row, const std::vector<Fact>& facts, const Formats& f) {
  for (const Fact& x : facts) {
    XlsxText(s, row, 0, x.Item, f.Bold);
    if (x.Time.isValid()) XlsxDateTime(s, row, 1, x.Time, f.Date);
    else if (x.Number) XlsxNumber(s, row, 1, *x.Number);
    else XlsxText(s, row, 1, x.Text, f.Wrap);
    XlsxText(s, row, 2, x.Unit);
    ++row;
  }
  return row;
}

void WriteSummary(lxw_worksheet* s, const Programme& p, const QString& number, const Formats& f) {
  worksheet_set_column(s, 0, 0, 18, nullptr);
  worksheet_set_column(s, 1, 1, 40, nullptr);
  worksheet_set_column(s, 2, 7, 12, nullptr);
  int r = 0;
  XlsxText(s, r++, 0, QStringLiteral("高压开关机械寿命试验方案汇总"), f.Bold);
  ++r;
  r = WriteFacts(s, r, ProgrammeFacts(p, number), f);
  ++r;
  r = WriteFacts(s, r, VerdictFacts(p), f);
  ++r;
  XlsxHeaderRow(s, r++, {QStringLiteral("段"), QStringLiteral("试验方式"), QStringLiteral("设定次数"), QStringLiteral("完成次数"),
                         QStringLiteral("累计次数"), QStringLiteral("测试次数"), QStringLiteral("平均循环时间(ms)"),
                         QStringLiteral("比第1段")},
                f.Head);
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) {
    const ProgrammeBlock& k = p.Blocks[b - 1];
    XlsxNumber(s, r, 0, b);
    XlsxText(s, r, 1, ModeWord(k.Mode));
    XlsxNumber(s, r, 2, k.Count);
    XlsxNumber(s, r, 3, BlockDone(p, b));
    XlsxNumber(s, r, 4, BlockBase(p, b) + BlockDone(p, b));
    XlsxNumber(s, r, 5, RunsOf(p, b));
    XlsxNumber(s, r, 6, k.Cycles.MeanMs);
    XlsxText(s, r, 7, DriftText(p, b));
    ++r;
  }
}

void WriteBlock(lxw_worksheet* s, const Programme& p, int b, const Formats& f) {
  worksheet_set_column(s, 0, 0, 18, nullptr);
  worksheet_set_column(s, 1, 1, 24, nullptr);
  worksheet_set_column(s, 2, 6, 12, nullptr);
  int r = 0;
  XlsxText(s, r++, 0, BlockSheetName(b), f.Bold);
  r = WriteFacts(s, r, BlockFacts(p, b), f);
  ++r;
  XlsxHeaderRow(s, r++, {QStringLiteral("测试"), QStringLiteral("开始时间"), QStringLiteral("起始计数"), QStringLiteral("结束计数"),
                         QStringLiteral("次数"), QStringLiteral("状态")},
                f.Head);
  int n = 0;
  for (const BlockRun& run : p.Runs) {
    if (run.Block != b) continue;
    XlsxNumber(s, r, 0, ++n);
    if (run.StartTime.isValid()) XlsxDateTime(s, r, 1, run.StartTime, f.Date);
    XlsxNumber(s, r, 2, run.BaseCount);
    XlsxNumber(s, r, 3, run.LastCount);
    XlsxNumber(s, r, 4, run.Cycles());
    XlsxText(s, r, 5, run.Open ? QStringLiteral("进行中") : QStringLiteral("已结束"));
    ++r;
  }
  ++r;
  const Inspection* i = FindInspection(p, b);
  if (!i) {
    XlsxText(s, r, 0, QStringLiteral("检查"), f.Bold);
    XlsxText(s, r, 1, QStringLiteral("尚未记录"));
    return;
  }
  r = WriteFacts(s, r, InspectionFacts(*i), f);
  ++r;
  XlsxHeaderRow(s, r++, {QStringLiteral("测量"), QStringLiteral("测量值"), QStringLiteral("单位"), QStringLiteral("下限"),
                         QStringLiteral("上限"), QStringLiteral("临界裕量"), QStringLiteral("判定")},
                f.Head);
  for (const Measurement& m : i->Measurements) {
    const MeasurementJudgement j = Judge(m);
    lxw_format* mark = j == MeasurementJudgement::Fail ? f.Fail : j == MeasurementJudgement::Marginal ? f.Marginal : nullptr;
    XlsxText(s, r, 0, m.Name);
    XlsxNumber(s, r, 1, m.Value, mark);
    XlsxText(s, r, 2, m.Unit);
    XlsxNumber(s, r, 3, m.Low);
    XlsxNumber(s, r, 4, m.High);
    XlsxNumber(s, r, 5, m.Margin);
    XlsxText(s, r, 6, JudgementText(j), mark);
    ++r;
  }
}

}  // namespace

QString ProgrammeSummarySheet() { return QStringLiteral("汇总"); }
QString BlockSheetName(int block) { return QStringLiteral("第%1段").arg(block); }

QString ProgrammeFileName(const QString& reportNumber, const QString& what, const QString& suffix) {
  return SafeFileName(reportNumber.trimmed().isEmpty() ? QStringLiteral("未编号") : reportNumber.trimmed()) + QLatin1Char('_') +
         what + QLatin1Char('.') + suffix;
}

QStringList ProgrammeCsvColumns() {
  return {QStringLiteral("类别"), QStringLiteral("段"), QStringLiteral("项目"), QStringLiteral("值"),
          QStringLiteral("单位"), QStringLiteral("下限"), QStringLiteral("上限"), QStringLiteral("判定")};
}

QByteArray ProgrammeCsv(const Programme& p, const QString& reportNumber) {
  QByteArray out = kCsvBom + CsvLine(ProgrammeCsvColumns());
  for (const Fact& f : ProgrammeFacts(p, reportNumber)) AppendFact(out, QStringLiteral("方案"), 0, f);
  for (const Fact& f : VerdictFacts(p)) AppendFact(out, QStringLiteral("判定"), 0, f);
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) {
    for (const Fact& f : BlockFacts(p, b)) AppendFact(out, QStringLiteral("段"), b, f);
    int n = 0;
    for (const BlockRun& r : p.Runs)
      if (r.Block == b)
        for (const Fact& f : RunFacts(r, ++n)) AppendFact(out, QStringLiteral("测试"), b, f);
    const Inspection* i = FindInspection(p, b);
    if (!i) continue;
    for (const Fact& f : InspectionFacts(*i)) AppendFact(out, QStringLiteral("检查"), b, f);
    for (const Measurement& m : i->Measurements)
      out += CsvField(QStringLiteral("测量")) + ',' + QByteArray::number(b) + ',' + CsvField(m.Name) + ',' +
             MeasureText(m.Value).toUtf8() + ',' + CsvField(m.Unit) + ',' + MeasureText(m.Low).toUtf8() + ',' +
             MeasureText(m.High).toUtf8() + ',' + CsvField(JudgementText(Judge(m))) + "\r\n";
  }
  return out;
}

void WriteProgrammeCsv(const Programme& p, const QString& reportNumber, const QString& path) {
  WriteFileSafely(path, ProgrammeCsv(p, reportNumber));
}

void WriteProgrammeXlsx(const Programme& p, const QString& reportNumber, const QString& path) {
  WriteThroughTempFile(path, [&](const QString& temp) {
    Workbook book(temp, path);
    Formats f{book.BoldFormat(), book.HeaderFormat(), book.DateFormat(), book.WrapFormat(), book.Format(), book.Format()};
    format_set_bg_color(f.Fail, 0xFFC7CE);
    format_set_font_color(f.Fail, 0x9C0006);
    format_set_bg_color(f.Marginal, 0xFFEB9C);
    // Sheets are written one after the other: with constant memory a sheet is
    // finished before the next is begun.
    WriteSummary(book.Sheet(ProgrammeSummarySheet()), p, reportNumber, f);
    for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) WriteBlock(book.Sheet(BlockSheetName(b)), p, b, f);
    book.Close();
  });
}

}  // namespace rig
