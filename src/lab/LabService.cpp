#include "lab/LabService.h"

#include <QDateTime>

#include "core/DateTimeText.h"
#include "core/RunLog.h"
#include "lab/LabOutbox.h"
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
  uploader_->Start();
}

void LabService::TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept {
  if (!settings_.Enabled()) return;
  try {
    LabOutbox(LabOutbox::PathIn(exeDir))
        .Add(MakeLabRecord(settings_.RigName, saved, DateTimeText(QDateTime::currentDateTime())));
    if (uploader_) uploader_->Wake();
  } catch (const ESQLiteException& e) {
    WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件：") + e.Message());
  } catch (...) {
    WriteLog(QStringLiteral("测试已保存，但未能放入实验室数据库待上传文件。"));
  }
}

LabStatus LabService::Status() const { return uploader_ ? uploader_->Status() : LabStatus{}; }

}  // namespace rig::lab
