#include "endurance/ProgrammeTexts.h"

#include <QStringList>

#include "endurance/ProgrammeRules.h"
#include "testing/TestModes.h"

namespace rig {
QString InspectionWorkText(const Inspection& i) {
  switch (i.Work) {
    case InspectionWork::Nothing: return QStringLiteral("未做处理");
    case InspectionWork::Lubrication: return QStringLiteral("润滑");
    case InspectionWork::Other: break;
  }
  return QStringLiteral("其他：") + i.WorkText;
}

QString DriftText(const Programme& p, int block) {
  if (block <= 1 || block > static_cast<int>(p.Blocks.size()) || p.Blocks.empty()) return {};
  const double first = p.Blocks[0].Cycles.MeanMs;
  const CycleStats& k = p.Blocks[block - 1].Cycles;
  if (first <= 0 || k.Cycles == 0) return {};
  return QString::asprintf("%+.1f%%", (k.MeanMs / first - 1) * 100);
}

int RunsOf(const Programme& p, int block) {
  int runs = 0;
  for (const BlockRun& r : p.Runs) runs += r.Block == block;
  return runs;
}

QString MeasurementText(const Measurement& m) {
  return QStringLiteral("%1 %2 %3（%4–%5）%6")
      .arg(m.Name)
      .arg(m.Value)
      .arg(m.Unit)
      .arg(m.Low)
      .arg(m.High)
      .arg(JudgementText(Judge(m)));
}

QString MeasureText(double v) { return QString::number(v, 'g', 10); }

QString ProgrammeRecordText(const Programme& p) {
  QStringList lines;
  lines << QStringLiteral("%1 %2，目标%3次（1次 = 试验方式的1个循环）").arg(StandardName(p.Standard), p.ClassName, CountText(p.Target));
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) {
    const ProgrammeBlock& k = p.Blocks[b - 1];
    const TestModeInfo* mode = FindTestMode(k.Mode);
    QString line = QStringLiteral("第%1段（%2）：%3/%4次；%5")
                       .arg(b)
                       .arg(mode ? QString::fromUtf16(mode->Word) : QString())
                       .arg(CountText(BlockDone(p, b)), CountText(k.Count), CycleStatsText(k.Cycles));
    if (const QString drift = DriftText(p, b); !drift.isEmpty()) line += QStringLiteral("，比第1段") + drift;
    if (!k.VoltageNote.isEmpty())
      line += QStringLiteral("；控制电压 %1%2").arg(k.VoltageNote, k.VoltageConfirmedBy.isEmpty()
                                                                     ? QStringLiteral("（未确认）")
                                                                     : QStringLiteral("（%1确认）").arg(k.VoltageConfirmedBy));
    lines << line;
    if (const Inspection* i = FindInspection(p, b)) {
      QString check = QStringLiteral("　检查：%1 %2，%3，%4").arg(i->ByWhom, i->At.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                                                             i->Checked, InspectionWorkText(*i));
      for (const Measurement& m : i->Measurements) check += QStringLiteral("；") + MeasurementText(m);
      lines << check;
    }
  }
  if (p.Failure)
    lines << QStringLiteral("首次拒动作：第%1次（第%2段第%3个动作，%4，依据：%5）")
                 .arg(CountText(p.Failure->Operation))
                 .arg(p.Failure->Block)
                 .arg(p.Failure->ActionNo)
                 .arg(FailureBreakText(*p.Failure, false), p.Failure->Marked ? QStringLiteral("标记") : QStringLiteral("断口位置"));
  lines << QStringLiteral("判定：") + VerdictTextZh(VerdictOf(p));
  return lines.join('\n');
}

}  // namespace rig
