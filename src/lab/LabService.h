#pragma once
// The lab database as the program runs it: every saved test goes into the
// outbox (on the saving thread, local file only) and the uploader sends it.
// Each stored change of a programme goes in as its snapshot, replacing an
// older one not yet sent. The stations' events go into the outbox too, for the lab database and the
// alerts; the stations' live state goes to lab_live from a writer thread.
// Without a configured host nor an alert webhook it does nothing and shows
// nothing.
#include <QString>
#include <memory>
#include <vector>

#include "core/RigEvent.h"
#include "endurance/ProgrammeSink.h"
#include "lab/AlertSender.h"
#include "lab/AlertSettings.h"
#include "lab/LabLiveWriter.h"
#include "lab/LabSettings.h"
#include "lab/LabUploader.h"
#include "storage/RecordStore.h"

namespace rig::lab {

struct LabServiceTiming {
  RetryPauses Pauses;
  UploadLimits Limits;
  LiveTiming Live;
  AlertPacing Alerts;
};

class LabService : public ISavedTestSink, public IRigEventSink, public IProgrammeSink {
 public:
  explicit LabService(QString exeDir, RetryPauses pauses = {}, UploadLimits limits = {});
  LabService(QString exeDir, const LabServiceTiming& timing);
  ~LabService() override;  // stops the threads (bounded: see LabUploader::Stop)

  // Uses these settings from now on (after the settings dialog saved them).
  // Returns within the uploader's bounded stop, however the old server does.
  void Reconfigure(const LabSettings& settings);
  const LabSettings& Settings() const { return settings_; }
  void ReconfigureAlerts(const AlertSettings& alerts);
  const AlertSettings& Alerts() const { return alerts_; }

  // Puts the test in the outbox and wakes the uploader. A failure is logged;
  // the local save stands.
  void TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept override;
  // Gives the event its id, the rig's name and the time, and keeps it in the
  // outbox for the lab database and, when chosen, the alerts. A failure is
  // logged.
  void Happened(RigEvent event) noexcept override;
  // Keeps the programme's snapshot in the outbox and wakes the uploader. A
  // failure is logged; the programme stays stored on the rig and its next
  // change sends it whole.
  void ProgrammeChanged(const Programme& p) noexcept override;
  // The stations' live state now (the window's tick); written when due.
  void OfferLive(std::vector<LiveState> stations);

  // Sends the tests of SaveData.db the lab database lacks (上传以前的测试);
  // done on the uploader thread, as at every start-up, the outcome in the
  // run log. False when no lab database is set.
  bool ReconcileNow();

  LabStatus Status() const;
  QString StatusLine() const { return LabStatusText(Status()); }
  AlertStatus AlertsStatus() const { return sender_ ? sender_->Status() : AlertStatus{}; }

 private:
  QString exeDir_;
  LabServiceTiming timing_;
  LabSettings settings_;
  AlertSettings alerts_;
  std::unique_ptr<LabUploader> uploader_;
  std::unique_ptr<LabLiveWriter> live_;
  std::unique_ptr<AlertSender> sender_;
};

}  // namespace rig::lab
