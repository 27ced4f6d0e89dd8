#include "lab/LabService.h"

#include <QDateTime>
#include <QUuid>

#include "core/RunLog.h"
#include "lab/EventOutbox.h"
#include "lab/LabOutbox.h"
#include "lab/LabReconcile.h"
#include "lab/ProgrammeOutbox.h"
#include "storage/SQLiteException.h"

namespace rig::lab {

LabService::LabService(QString exeDir, RetryPauses pauses, UploadLimits limits)
    : LabService(std::move(exeDir), LabServiceTiming{pauses, limits, {}, {}}) {}

LabService::LabService(QString exeDir, const LabServiceTiming& timing) : exeDir_(std::move(exeDir)), timing_(timing) {
  Reconfigure(LoadLabSettings(exeDir_));
  ReconfigureAlerts(LoadAlertSettings(exeDir_));
}

LabService::~LabService() {
  // Each stop is bounded; none waits on the network for long.
  if (sender_) sender_->Stop();
  if (live_) live_->Stop();
  if (uploader_) uploader_->Stop();
}

void LabService::Reconfigure(const LabSettings& settings) {
  if (live_) live_->Stop();
  live_.reset();
  if (uploader_) uploader_->Stop();
  uploader_.reset();
  settings_ = settings;
  if (!settings_.Enabled()) return;
  uploader_ = std::make_unique<LabUploader>(settings_, LabOutbox::PathIn(exeDir_), timing_.Pauses, timing_.Limits);
  uploader_->SetReconcile([exeDir = exeDir_, rig = settings_.RigName](LabConnection& c, LabOutbox& outbox, bool asked) {
    const ReconcileOutcome r = ReconcileSavedTests(c, exeDir, rig, outbox, [](const QString& line) { WriteLog(line); });
    if (r.Queued > 0) WriteLog(QStringLiteral("已补传 %1 个以前的测试。").arg(r.Queued));
    else if (asked && r.Unreadable == 0) WriteLog(QStringLiteral("以前的测试都已在实验室数据库中。"));
    if (const int programmes = ReconcileProgrammes(c, exeDir, rig); programmes > 0)
      WriteLog(QStringLiteral("已补传 %1 个以前的试验方案。").arg(programmes));
  });
  uploader_->Start();
  live_ = std::make_unique<LabLiveWriter>(settings_, timing_.Live);
  live_->Start();
}

void LabService::ReconfigureAlerts(const AlertSettings& alerts) {
  if (sender_) sender_->Stop();
  sender_.reset();
  alerts_ = alerts;
  if (!alerts_.Enabled()) return;
  sender_ = std::make_unique<AlertSender>(alerts_, LabOutbox::PathIn(exeDir_), timing_.Alerts);
  sender_->Start();
}

void LabService::TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept {
  QString testId;
  if (settings_.Enabled()) {
    try {
      const LabTestRecord record = MakeLabRecord(settings_.RigName, saved, ZonedTimeText(QDateTime::currentDateTime()));
      LabOutbox(LabOutbox::PathIn(exeDir)).Add(record);
      testId = record.TestId;
      if (uploader_) uploader_->Wake();
    } catch (const ESQLiteException& e) {
      WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件：") + e.Message());
    } catch (...) {
      WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件。"));
    }
  }
  RigEvent e;
  e.Station = saved.Test.Station;
  e.Kind = RigEventKind::Saved;
  e.TestId = testId;
  e.Detail = QStringLiteral("出厂编号 %1，%2次，%3个动作")
                 .arg(saved.Test.OutIndex)
                 .arg(saved.Test.CountDone)
                 .arg(saved.Actions.size());
  Happened(std::move(e));
}

void LabService::Happened(RigEvent e) noexcept {
  const bool forLab = settings_.Enabled();
  const bool forAlert = alerts_.Wants(e.Kind);
  if (!forLab && !forAlert) return;
  try {
    if (e.EventId.isEmpty()) e.EventId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (e.RigName.isEmpty()) e.RigName = settings_.RigName;
    if (!e.HappenedAt.isValid()) e.HappenedAt = QDateTime::currentDateTime();
    EventOutbox(LabOutbox::PathIn(exeDir_)).Add(e, forLab, forAlert);
    if (forLab && uploader_) uploader_->WakeForEvents();
    if (forAlert && sender_) sender_->Wake();
  } catch (const ESQLiteException& x) {
    WriteLog(QStringLiteral("事件未能放入待上传文件：") + x.Message());
  } catch (...) {
    WriteLog(QStringLiteral("事件未能放入待上传文件。"));
  }
}

void LabService::ProgrammeChanged(const Programme& p) noexcept {
  if (!settings_.Enabled()) return;
  try {
    ProgrammeOutbox(LabOutbox::PathIn(exeDir_))
        .Add(MakeProgrammeSnapshot(settings_.RigName, p, QDateTime::currentDateTime()));
    if (uploader_) uploader_->WakeForEvents();
  } catch (const ESQLiteException& e) {
    WriteLog(QStringLiteral("试验方案已保存，但未能放入实验室数据库待上传文件：") + e.Message());
  } catch (...) {
    WriteLog(QStringLiteral("试验方案已保存，但未能放入实验室数据库待上传文件。"));
  }
}

void LabService::OfferLive(std::vector<LiveState> stations) {
  if (!live_) return;
  const LabStatus status = Status();
  live_->Offer({std::move(stations), status.Pending, status.Aside});
}

bool LabService::ReconcileNow() {
  if (!uploader_) return false;
  uploader_->RequestReconcile();
  return true;
}

LabStatus LabService::Status() const { return uploader_ ? uploader_->Status() : LabStatus{}; }

}  // namespace rig::lab
