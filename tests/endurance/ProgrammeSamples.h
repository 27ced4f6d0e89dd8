#pragma once
// Programmes as a station leaves them, made through the rules: every block
// run to its count (block 2 in two runs), each block's cycle times, an
// inspection after each finished block with measurements judged 合格, 临界
// and 不合格, and, when asked, B1 拒合 at the 6,527th operation.
#include "endurance/ProgrammeRules.h"

namespace rigtest {

struct ProgrammeSample {
  bool Failed = false;              // B1 拒合 at operation 6,527 (block 4), ended there
  int ExtraMeasurements = 0;        // more measured values per inspection, for long reports
};

inline rig::Programme SampleProgramme(const ProgrammeSample& s) {
  using namespace rig;
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), 18);
  p.Id = 1;
  p.Station = 3;
  p.Identity = {QStringLiteral("ZW32-12"), QStringLiteral("F07-2026"), QStringLiteral("三号台"), QStringLiteral("王工"),
                QStringLiteral("某开关厂"), QStringLiteral("某供电局"), QStringLiteral("备注含,逗号与\"引号\"")};
  const QDateTime day(QDate(2026, 12, 1), QTime(8, 0));
  p.CreatedAt = day;
  for (int b = 1; b <= 5; ++b) {
    ProgrammeBlock& k = p.Blocks[b - 1];
    k.VoltageNote = QStringLiteral("DC 220 V");
    k.VoltageConfirmedBy = QStringLiteral("李工");
    k.VoltageConfirmedAt = day.addDays(b);
    const bool failing = s.Failed && b == 4;
    const int32_t end = failing ? 527 : 2000;
    if (b == 2) {  // stopped and continued another day
      OpenRun(p, day.addDays(b), 0);
      AdvanceRun(p, 800);
      CloseRun(p);
      OpenRun(p, day.addDays(b).addSecs(3600), 0);
      AdvanceRun(p, 1200);
    } else {
      OpenRun(p, day.addDays(b), 0);
      AdvanceRun(p, end);
    }
    if (failing)
      NoteRefusal(p, {6527, 4, 1053, kBreakB1, Deviation::RefusedClose, true, day.addDays(b).addSecs(7200)});
    CloseRun(p);
    for (int c = 0; c < end; ++c) k.Cycles.Add(1500 + 30 * b + (c % 7));
    if (failing) break;
    Inspection i{b, QStringLiteral("外观、紧固件"), b == 2 ? InspectionWork::Lubrication : InspectionWork::Nothing, {},
                 QStringLiteral("赵工"), day.addDays(b).addSecs(9000),
                 {{QStringLiteral("合闸时间"), QStringLiteral("ms"), 41.5, 30, 50, 2},
                  {QStringLiteral("分闸时间"), QStringLiteral("ms"), 29.2, 20, 30, 1},
                  {QStringLiteral("行程"), QStringLiteral("mm"), 12.4 + b, 10, 14, 0.5}}};
    for (int m = 0; m < s.ExtraMeasurements; ++m)
      i.Measurements.push_back({QStringLiteral("同期%1").arg(m + 1), QStringLiteral("ms"), 1.0 + m % 3, 0, 2, 0.2});
    if (b < 5) p.Inspections.push_back(i);
  }
  p.EndedAt = day.addDays(6);
  return p;
}

}  // namespace rigtest
