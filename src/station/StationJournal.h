#pragma once
// A station's recovery journal fed by its run: the run's identity and
// parameters when a test starts, every action as it is queued.
#include <QDateTime>
#include <functional>

#include "storage/RecoveryJournal.h"
#include "testing/RunObserver.h"

namespace rig {

class IStationView;
struct StationShared;

class TStationJournal : public IRunObserver {
 public:
  TStationJournal(const QString& exeDir, int station, StationShared& shared, const IStationView& view);

  void SetClock(std::function<QDateTime()> now) { now_ = std::move(now); }
  RecoveryJournal& Journal() { return journal_; }

  void RunStarted() override;
  void ActionQueued(const ActionRecord& record) override;
  void RunDiscarded() override;

 private:
  int station_;
  StationShared& shared_;
  const IStationView& view_;
  RecoveryJournal journal_;
  std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };
};

}  // namespace rig
