#include "storage/StationSave.h"

#include "core/GlobVar.h"
#include "core/Notifier.h"
#include "core/RunLog.h"
#include "core/StationView.h"
#include "storage/RecoveryJournal.h"
#include "testing/TestModes.h"

namespace rig {

TestSummary StationTestSummary(int station, const StationShared& shared, const IStationView& view) {
  TestSummary test;
  test.Station = station;
  test.OpenType = view.IdentityText(kSwitchModel);
  test.OutIndex = view.IdentityText(kFactoryNumber);
  test.WorkArea = view.IdentityText(kStationText);
  test.WorkName = view.IdentityText(kOperatorName);
  test.StartTime = shared.State.StartTime;
  test.EndTime = shared.State.EndTime;
  test.Mode = shared.Run.Mode;
  for (int n = 1; n <= 20; ++n) test.ParamTexts[n - 1] = view.ParameterText(n);
  test.CountDone = shared.Run.CountDone;
  test.IgnoreRefusals = view.IsRefusalOptionChecked(kIgnoreRefusals);
  return test;
}

SaveOutcome SaveTestRecord(const QString& exeDir, int station, StationShared& shared, const IStationView& view,
                           const QDateTime& now) {
  return WriteTestRecord(exeDir, StationTestSummary(station, shared, view), shared.Actions, now);
}

void SaveStationTest(const QString& exeDir, int station, StationShared& shared, IStationView& view,
                     INotifier& notifier, RecoveryJournal* journal) {
  const SaveOutcome out = SaveTestRecord(exeDir, station, shared, view);
  if (out.Ok) {
    if (journal) journal->Clear();
    notifier.Notice(QStringLiteral("保存数据成功！"));
    view.SetSaveEnabled(false);
    return;
  }
  WriteLog(QStringLiteral("工位%1保存数据失败：%2").arg(station).arg(out.Error));
  notifier.Notice(QStringLiteral("保存数据失败！测试数据仍保留，可再次保存。\n") + out.Error);
}

}  // namespace rig
