#pragma once
// Saved tests for the lab tests: saved the way the save button saves them.
#include <QDateTime>

#include "core/ActionRecord.h"
#include "storage/RecordStore.h"

namespace rigtest {

// A life test (mode 17) with Chinese identity texts.
inline rig::TestSummary LabSample(const QString& openType = QStringLiteral("ZW32-12真空断路器"),
                                  const QString& operatorName = QStringLiteral("张三"),
                                  const QDateTime& start = QDateTime(QDate(2026, 3, 14), QTime(8, 30, 0))) {
  rig::TestSummary t;
  t.Station = 1;
  t.OpenType = openType;
  t.OutIndex = QStringLiteral("0815-甲");
  t.WorkArea = QStringLiteral("二车间");
  t.WorkName = operatorName;
  t.StartTime = start;
  t.EndTime = start.addSecs(3600);
  t.Mode = 17;
  for (int n = 1; n <= 20; ++n) t.ParamTexts[n - 1] = QString::number(10 + n);
  t.CountDone = 0;
  t.IgnoreRefusals = false;
  return t;
}

// `count` actions; every fifth break A1 refuses to close.
inline rig::ActionQueue LabActions(int count) {
  rig::ActionQueue q;
  for (int i = 1; i <= count; ++i) {
    auto a = std::make_unique<rig::ActionRecord>();
    a->Count = (i + 1) / 2;
    a->ActionNo = i;
    a->Closed[0] = a->Closed[1] = a->Closed[2] = i % 2;
    if (i % 5 == 0) a->Marks[0] = QStringLiteral("拒合");
    q.push_back(std::move(a));
  }
  return q;
}

// Saves a test under `exeDir` exactly as the save button does; its count
// done is the last action's count.
inline rig::SaveOutcome SaveLabSample(const QString& exeDir, int actions, rig::TestSummary test = LabSample()) {
  rig::ActionQueue q = LabActions(actions);
  test.CountDone = actions ? q.back()->Count : 0;
  return rig::WriteTestRecord(exeDir, test, q);
}

// Installs a sink for the scope of a test.
struct SinkScope {
  explicit SinkScope(rig::ISavedTestSink* sink) { rig::SetSavedTestSink(sink); }
  ~SinkScope() { rig::SetSavedTestSink(nullptr); }
};

}  // namespace rigtest
