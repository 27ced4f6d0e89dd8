#pragma once
// The life test the save benchmarks store: mode 20, four actions a cycle,
// one action in ten with a refusal mark.
#include <QDateTime>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace rigbench {

inline const QDateTime kBenchStart(QDate(2026, 12, 7), QTime(9, 0, 0));

inline rig::TestSummary BenchLifeTest(int actions) {
  rig::TestSummary t;
  t.OpenType = QStringLiteral("户外真空断路器");
  t.OutIndex = QStringLiteral("F07");
  t.WorkArea = QStringLiteral("一号台");
  t.WorkName = QStringLiteral("张三");
  t.StartTime = kBenchStart;
  t.EndTime = kBenchStart.addSecs(actions);
  t.Mode = 20;
  for (int n = 1; n <= 20; ++n) t.ParamTexts[n - 1] = QString::number(n * 10);
  t.CountDone = actions / 4;
  return t;
}

inline rig::ActionRecord BenchAction(int i) {
  rig::ActionRecord a;
  a.Count = (i + 3) / 4;
  a.ActionNo = i;
  a.Closed[0] = a.Closed[1] = a.Closed[2] = i & 1;
  if (i % 10 == 0) a.Marks[rig::kBreakB1] = QStringLiteral("拒合");
  return a;
}

}  // namespace rigbench
