#include "endurance/ProgrammeReport.h"

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeTexts.h"
#include "report/PdfReport.h"
#include "report/ReportLayout.h"
#include "report/ReportTexts.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

using Cell = ReportLayout::Cell;

QString Time(const QDateTime& t) { return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString(); }
QString OrNone(const QString& text) { return text.isEmpty() ? QStringLiteral("无") : text; }

QString ModeWord(int mode) {
  const TestModeInfo* m = FindTestMode(mode);
  return m ? QString::fromUtf16(m->Word) : QString::number(mode);
}

void Identity(ReportLayout& L, const Programme& p) {
  const double W = L.Width();
  const std::vector<double> four = {W * 0.16, W * 0.34, W * 0.16, W * 0.34};
  auto pair = [](const QString& k1, const QString& v1, const QString& k2, const QString& v2) {
    return std::vector<Cell>{{k1, true}, {v1}, {k2, true}, {v2}};
  };
  const ProgrammeIdentity& id = p.Identity;
  L.Row(four, pair(QStringLiteral("开关型号"), id.SwitchModel, QStringLiteral("出厂编号"), id.FactoryNumber));
  L.Row(four, pair(QStringLiteral("制造厂"), id.Manufacturer, QStringLiteral("委托方"), id.Customer));
  L.Row(four, pair(QStringLiteral("工位"), StationWithAreaText(p.Station, id.StationText), QStringLiteral("操作员"),
                   id.OperatorName));
  L.Row(four, pair(QStringLiteral("标准"), StandardName(p.Standard), QStringLiteral("目标等级"),
                   QStringLiteral("%1（%2次）").arg(p.ClassName, CountText(p.Target))));
  L.Row(four, pair(QStringLiteral("方案开始"), Time(p.CreatedAt), QStringLiteral("方案结束"),
                   p.EndedAt.isValid() ? Time(p.EndedAt) : QStringLiteral("未结束")));
  QStringList meanings;
  for (const ProgrammeBlock& b : p.Blocks)
    if (const QString m = CountMeaningText(b.Mode); !meanings.contains(m)) meanings << m;
  L.Row(four, {{QStringLiteral("计数"), true}, {QStringLiteral("控制器的计数：") + meanings.join(QStringLiteral("；")), false, 3}});
}

void Blocks(ReportLayout& L, const Programme& p) {
  const double W = L.Width();
  const std::vector<double> cols = {W * 0.06, W * 0.10, W * 0.17, W * 0.10, W * 0.33, W * 0.24};
  int32_t cumulative = 0;
  L.Table(cols, {QStringLiteral("段"), QStringLiteral("试验方式"), QStringLiteral("次数"), QStringLiteral("累计"),
                 QStringLiteral("循环时间"), QStringLiteral("控制电压")},
          static_cast<int>(p.Blocks.size()), ReportLayout::kRow, [&](int i) {
            const int b = i + 1;
            const ProgrammeBlock& k = p.Blocks[i];
            cumulative += BlockDone(p, b);
            QString cycles = CycleStatsText(k.Cycles);
            if (const QString drift = DriftText(p, b); !drift.isEmpty()) cycles += QStringLiteral("，比第1段") + drift;
            QString voltage = k.VoltageNote;
            if (!k.VoltageConfirmedBy.isEmpty())
              voltage += QStringLiteral("\n%1确认 %2").arg(k.VoltageConfirmedBy, Time(k.VoltageConfirmedAt));
            const Qt::Alignment c = Qt::AlignCenter;
            return std::vector<Cell>{{QString::number(b), false, 1, kReportInk, false, c},
                                     {ModeWord(k.Mode), false, 1, kReportInk, false, c},
                                     {QStringLiteral("%1/%2（%3次测试）").arg(CountText(BlockDone(p, b)), CountText(k.Count)).arg(RunsOf(p, b))},
                                     {CountText(cumulative), false, 1, kReportInk, false, c},
                                     {cycles},
                                     {voltage}};
          });
}

void Inspections(ReportLayout& L, const Programme& p) {
  const double W = L.Width();
  if (p.Inspections.empty()) return L.Paragraph(QStringLiteral("尚无检查记录。"));
  L.Table({W * 0.06, W * 0.40, W * 0.22, W * 0.12, W * 0.20},
          {QStringLiteral("段后"), QStringLiteral("检查内容"), QStringLiteral("处理"), QStringLiteral("检查人"), QStringLiteral("时间")},
          static_cast<int>(p.Inspections.size()), ReportLayout::kRow, [&](int r) {
            const Inspection& i = p.Inspections[r];
            return std::vector<Cell>{{QString::number(i.Block), false, 1, kReportInk, false, Qt::AlignCenter},
                                     {i.Checked}, {InspectionWorkText(i)}, {i.ByWhom}, {Time(i.At)}};
          });
  std::vector<std::pair<int, const Measurement*>> measured;
  for (const Inspection& i : p.Inspections)
    for (const Measurement& m : i.Measurements) measured.emplace_back(i.Block, &m);
  if (measured.empty()) return;
  L.Space(3);
  L.Table({W * 0.08, W * 0.28, W * 0.14, W * 0.10, W * 0.13, W * 0.13, W * 0.14},
          {QStringLiteral("段后"), QStringLiteral("测量"), QStringLiteral("测量值"), QStringLiteral("单位"),
           QStringLiteral("下限"), QStringLiteral("上限"), QStringLiteral("判定")},
          static_cast<int>(measured.size()), ReportLayout::kRow, [&](int r) {
            const auto& [block, m] = measured[r];
            const MeasurementJudgement j = Judge(*m);
            const Qt::Alignment c = Qt::AlignCenter;
            return std::vector<Cell>{{QString::number(block), false, 1, kReportInk, false, c},
                                     {m->Name},
                                     {MeasureText(m->Value), false, 1, kReportInk, false, c},
                                     {m->Unit, false, 1, kReportInk, false, c},
                                     {MeasureText(m->Low), false, 1, kReportInk, false, c},
                                     {MeasureText(m->High), false, 1, kReportInk, false, c},
                                     {JudgementText(j), false, 1, j == MeasurementJudgement::Pass ? kReportInk : kReportAlarm,
                                      j != MeasurementJudgement::Pass, c}};
          });
}

void Judgement(ReportLayout& L, const Programme& p) {
  const Verdict v = VerdictOf(p);
  const double W = L.Width();
  const std::vector<double> two = {W * 0.22, W * 0.78};
  const bool failed = v.Failure.has_value();
  L.Row(two, {{QStringLiteral("判定"), true}, {VerdictTextZh(v), false, 1, failed ? kReportAlarm : kReportInk, true}});
  L.Row(two, {{QStringLiteral("达到等级"), true}, {OrNone(v.Reached)}});
  L.Row(two, {{QStringLiteral("计入等级的次数"), true}, {QStringLiteral("%1/%2").arg(CountText(v.Done), CountText(v.Target))}});
  L.Row(two, {{QStringLiteral("首次失败时次数"), true},
              {failed ? CountText(v.Failure->Operation) : QStringLiteral("无"), false, 1, failed ? kReportAlarm : kReportInk}});
  L.Row(two, {{QStringLiteral("备注"), true}, {OrNone(p.Identity.Remarks)}});
  L.Space(2);
  if (p.Failure) {
    const ProgrammeFailure& f = *p.Failure;
    L.Paragraph(QStringLiteral("首次拒动作：第%1次（第%2段，该段测试的第%3个动作，%4，依据：%5），%6。之后的次数不计入等级。")
                    .arg(CountText(f.Operation))
                    .arg(f.Block)
                    .arg(f.ActionNo)
                    .arg(FailureBreakText(f, false), f.Marked ? QStringLiteral("拒动作标记") : QStringLiteral("断口位置"), Time(f.At)),
                kReportAlarm);
  }
  L.Paragraph(VerdictText(v));
}

}  // namespace

int PaintProgrammeReport(QPagedPaintDevice& device, const Programme& p, const ProgrammeReportOptions& options) {
  QString left = QStringLiteral("HX4417 高压开关机械寿命试验台");
  if (!p.Identity.StationText.isEmpty()) left += QStringLiteral(" · ") + p.Identity.StationText;
  return PaintPages(device, {left, options.ReportNumber, options.Made}, [&](ReportLayout& L) {
    L.Title(QStringLiteral("高压开关机械寿命试验方案报告"),
            QStringLiteral("报告编号：%1").arg(options.ReportNumber.isEmpty() ? QStringLiteral("未编号") : options.ReportNumber));
    L.Section(QStringLiteral("一、试品与方案"));
    Identity(L, p);
    L.Space(5);
    L.Section(QStringLiteral("二、各段"));
    Blocks(L, p);
    L.Space(5);
    L.Section(QStringLiteral("三、段后检查与测量"));
    Inspections(L, p);
    L.Space(5);
    L.Section(QStringLiteral("四、判定"));
    Judgement(L, p);
    L.Signatures();
  });
}

void WriteProgrammeReport(const Programme& p, const QString& path, const ProgrammeReportOptions& options) {
  WritePdfFile(path, QStringLiteral("试验方案报告 %1 %2").arg(p.Identity.SwitchModel, p.Identity.FactoryNumber),
               [&](QPagedPaintDevice& device) { PaintProgrammeReport(device, p, options); });
}

}  // namespace rig
