#include "lab/LabService.h"

#include <QDateTime>

#include "core/RunLog.h"
#include "lab/LabOutbox.h"
#include "lab/LabReconcile.h"
#include "storage/SQLiteException.h"

namespace rig::lab {

LabService::LabService(QString exeDir, RetryPauses pauses, UploadLimits limits)
    : exeDir_(std::move(exeDir)), pauses_(pauses), limits_(limits) {
  Reconfigure(LoadLabSettings(exeDir_));
}

LabService::~LabService() {
  if (uploader_) uploader_->Stop();
}

void LabService::Reconfigure(const LabSettings& settings) {
  if (uploader_) uploader_->Stop();
  uploader_.reset();
  settings_ = settings;
  if (!settings_.Enabled()) return;
  uploader_ = std::make_unique<LabUploader>(settings_, LabOutbox::PathIn(exeDir_), pauses_, limits_);
  uploader_->SetReconcile([exeDir = exeDir_, rig = settings_.RigName](LabConnection& c, LabOutbox& outbox, bool asked) {
    const ReconcileOutcome r = ReconcileSavedTests(c, exeDir, rig, outbox, [](const QString& line) { WriteLog(line); });
    if (r.Queued > 0) WriteLog(QStringLiteral("已补传 %1 个以前的测试。").arg(r.Queued));
    else if (asked && r.Unreadable == 0) WriteLog(QStringLiteral("以前的测试都已在实验室数据库中。"));
  });
  uploader_->Start();
}

void LabService::TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept {
  if (!settings_.Enabled()) return;
  try {
    LabOutbox(LabOutbox::PathIn(exeDir))
        .Add(MakeLabRecord(settings_.RigName, saved, ZonedTimeText(QDateTime::currentDateTime())));
    if (uploader_) uploader_->Wake();
  } catch (const ESQLiteException& e) {
    WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件：") + e.Message());
  } catch (...) {
    WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件。"));
  }
}

bool LabService::ReconcileNow() {
  if (!uploader_) return false;
  uploader_->RequestReconcile();
  return true;
}

LabStatus LabService::Status() const { return uploader_ ? uploader_->Status() : LabStatus{}; }

}  // namespace rig::lab
