#include "station/StationSave.h"

#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "core/RunLog.h"
#include "station/StationLook.h"
#include "station/StationView.h"
#include "storage/RecoveryJournal.h"
#include "testing/TestModes.h"

namespace rig {

TestSummary StationTestSummary(int station, const StationShared& shared, const IStationView& view,
                               const QDateTime& now) {
  TestSummary test;
  test.Station = station;
  test.OpenType = view.IdentityText(kSwitchModel);
  test.OutIndex = view.IdentityText(kFactoryNumber);
  test.WorkArea = view.IdentityText(kStationText);
  test.WorkName = view.IdentityText(kOperatorName);
  const TStationModel& model = shared.Model;
  test.StartTime = shared.State.StartTime.isValid() ? shared.State.StartTime : now;
  test.EndTime = model.IsRunning() || !shared.State.EndTime.isValid() ? now : shared.State.EndTime;
  if (test.EndTime < test.StartTime) test.EndTime = test.StartTime;
  if (model.HoldsTest()) {
    test.Mode = model.Held().Mode;
    test.ParamTexts = model.Held().ParamTexts;
  } else {
    test.Mode = shared.Run.Mode;
    for (int n = 1; n <= 20; ++n) test.ParamTexts[n - 1] = view.ParameterText(n);
  }
  test.CountDone = shared.Run.CountDone;
  test.IgnoreRefusals = view.IsRefusalOptionChecked(kIgnoreRefusals);
  return test;
}

SaveOutcome SaveTestRecord(const QString& exeDir, int station, StationShared& shared, const IStationView& view,
                           const QDateTime& now, RecoveryJournal* journal) {
  BeforeSummaryRow naming;
  if (journal) naming = [journal](const QByteArray& detailKey) { journal->MarkSaving(detailKey); };
  return WriteTestRecord(exeDir, StationTestSummary(station, shared, view, now), shared.Actions, now, naming);
}

bool SaveStationTest(const QString& exeDir, int station, StationShared& shared, IStationView& view,
                     INotifier& notifier, RecoveryJournal* journal, const QDateTime& now, QString* problem) {
  const SaveOutcome out = SaveTestRecord(exeDir, station, shared, view, now, journal);
  if (out.Ok) {
    if (journal) journal->Clear();
    shared.Model.On(StationEvent::TestSaved);
    notifier.Notice(QStringLiteral("保存数据成功！"));
    DrawStation(shared.Model, station, view);
    return true;
  }
  WriteLog(QStringLiteral("工位%1保存数据失败：%2").arg(station).arg(out.Error));
  if (problem) *problem = out.Error;
  notifier.Notice(QStringLiteral("保存数据失败！测试数据仍保留，可再次保存。\n") + out.Error);
  return false;
}

}  // namespace rig
