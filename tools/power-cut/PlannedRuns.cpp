#include "PlannedRuns.h"

#include <random>

namespace powercut {

rig::ActionRecord PlannedRun::Action(int i) const {
  rig::ActionRecord a;
  a.ActionNo = i + 1;
  a.Count = i / 2 + 1;  // two actions (close, open) per cycle
  const bool closing = i % 2 == 0;
  for (int b = 0; b < rig::kBreakCount; ++b) a.Closed[b] = closing ? 1 : 0;
  // Now and then a break that did not move, marked as the refusal check does.
  if ((i * 7 + Number) % 23 == 5) {
    const int b = i % rig::kBreakCount;
    a.Closed[b] = closing ? 0 : 1;
    a.Marks[b] = closing ? QStringLiteral("拒合") : QStringLiteral("拒分");
  }
  return a;
}

QDateTime PlannedRun::ActionTime(int i) const { return Summary.StartTime.addSecs(3 + 2 * i); }

std::vector<PlannedRun> PlannedRuns(unsigned seed) {
  std::mt19937 random(seed);
  auto between = [&random](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  std::vector<PlannedRun> runs;
  const int stations[] = {1, 2, 1};
  for (int n = 0; n < 3; ++n) {
    PlannedRun r;
    r.Number = n;
    rig::TestSummary& t = r.Summary;
    t.Station = stations[n];
    t.OpenType = QStringLiteral("ZN63A-12/T%1").arg(1250 + 10 * n);
    t.OutIndex = QStringLiteral("断电%1-%2").arg(seed).arg(n);
    t.WorkArea = QStringLiteral("%1号台").arg(t.Station);
    t.WorkName = QStringLiteral("张工");
    t.StartTime = QDateTime(QDate(2026, 12, 7), QTime(8, 0)).addSecs(600 * n);
    t.Mode = 18;  // the 合分 life test: two delays and a set count
    t.ParamTexts[9] = QStringLiteral("300");
    t.ParamTexts[10] = QStringLiteral("5");
    t.ParamTexts[11] = QStringLiteral("5000");
    t.IgnoreRefusals = n != 1;
    r.Actions = n == 0 ? between(60, 120) : n == 1 ? between(40, 90) : between(20, 60);
    t.EndTime = r.ActionTime(r.Actions - 1);
    t.CountDone = r.Action(r.Actions - 1).Count;
    runs.push_back(r);
  }
  return runs;
}

QDateTime SaveMoment() { return QDateTime(QDate(2026, 12, 7), QTime(18, 0)); }

}  // namespace powercut
