#pragma once
// The lab database as the program runs it: every saved test goes into the
// outbox (on the saving thread, local file only) and the uploader sends it.
// Without a configured host it does nothing and shows nothing.
#include <QString>
#include <memory>

#include "lab/LabSettings.h"
#include "lab/LabUploader.h"
#include "storage/RecordStore.h"

namespace rig::lab {

class LabService : public ISavedTestSink {
 public:
  explicit LabService(QString exeDir, RetryPauses pauses = {}, UploadLimits limits = {});
  ~LabService() override;  // stops the uploader (bounded: see LabUploader::Stop)

  // Uses these settings from now on (after the settings dialog saved them).
  // Returns within the uploader's bounded stop, however the old server does.
  void Reconfigure(const LabSettings& settings);
  const LabSettings& Settings() const { return settings_; }

  // Puts the test in the outbox and wakes the uploader. A failure is logged;
  // the local save stands.
  void TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept override;

  // Sends the tests of SaveData.db the lab database lacks (上传以前的测试);
  // done on the uploader thread, as at every start-up, the outcome in the
  // run log. False when no lab database is set.
  bool ReconcileNow();

  LabStatus Status() const;
  QString StatusLine() const { return LabStatusText(Status()); }

 private:
  QString exeDir_;
  RetryPauses pauses_;
  UploadLimits limits_;
  LabSettings settings_;
  std::unique_ptr<LabUploader> uploader_;
};

}  // namespace rig::lab
