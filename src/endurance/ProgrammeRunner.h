#pragma once
// A programme run on one station: it starts each block as a fresh life test
// through the station's test control (and so through its command gate),
// hears the runs through IRunObserver, counts the block's cycles across its
// runs, stops in the inspection pause at a block's end, fixes the verdict at
// the first refused action, and stores the programme at every point that
// must survive a kill or a power cut (a run opened or ended, a line lost, a
// refusal, a voltage confirmed, an inspection, the end). No widgets: the
// programme window and the station panel call and read it.
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

#include "endurance/Programme.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "station/LiveState.h"
#include "testing/RunObserver.h"

namespace rig {

class TStationController;
class TStationTestControl;

class TProgrammeRunner : public IRunObserver {
 public:
  using Clock = std::function<QDateTime()>;
  TProgrammeRunner(TStationController& station, TStationTestControl& control, const QString& exeDir,
                   Clock clock = {});
  ~TProgrammeRunner() override;
  TProgrammeRunner(const TProgrammeRunner&) = delete;
  TProgrammeRunner& operator=(const TProgrammeRunner&) = delete;

  // Takes on `p` for this station: a new one (no Id) is checked and stored
  // first. Empty when taken on, else why not (a problem names its field).
  QString Attach(Programme p);
  const std::optional<Programme>& Current() const { return programme_; }
  // Where the programme is kept: its report number, the program folder.
  const TProgrammeStore& Storage() const { return store_; }
  // Told of every stored change of the programme (the lab's outbox); null: no one.
  void SetProgrammeSink(IProgrammeSink* sink) { store_.SetSink(sink); }

  // Each returns empty when done, else why not; nothing changes then.
  QString ConfirmVoltage(int block, const QString& byWhom);
  // Sets the station's panel to the next block (identity, mode, delays, the
  // cycles left in the block) and starts it from count 0.
  QString StartNextBlock();
  QString RecordInspection(Inspection inspection);
  // The operator ends the programme: the verdict is final.
  QString End();

  // What the station panel shows: "试验方案：第2段 2,345/10,000次 进行中（…）".
  QString PanelLine() const;
  // The programme and its step as the lab's live row carries them.
  void DescribeLive(LiveState& live) const;
  // Each block's measured cycle times.
  std::vector<CycleStats> Cycles() const;
  // The last storing trouble (shown on the panel); empty when none.
  const QString& Trouble() const { return trouble_; }

  // IRunObserver
  void RunStarted() override;
  void ActionQueued(const ActionRecord& record) override;
  void RunDiscarded() override { EndRun(); }
  void RunFinished() override { EndRun(); }
  void RunCancelled() override { EndRun(); }
  void RunSaved() override { EndRun(); }
  void LineLost() override;
  void RunContinued() override { cycleClock_.Break(); }
  void ActionRefused(const ActionRecord& record, const BreakDeviations& found, bool marked) override;

 private:
  // Closes the open run (its test is over) and stores the programme.
  void EndRun();
  // The first action of a test the controller reported without our start,
  // the programme's block being cut short: when the controller's count goes
  // on from where the block stopped, in the block's mode, the test is that
  // block carried on while this program was down (killed, a power cut), and
  // is counted, the cycles it made unseen included.
  void TakeOnCutBlock(const ActionRecord& first);
  // Stores the programme; false (with the trouble logged and kept) when it could not be.
  bool Store();
  int Station() const;

  TStationController& station_;
  TStationTestControl& control_;
  TProgrammeStore store_;
  Clock clock_;
  std::optional<Programme> programme_;
  bool starting_ = false;  // our own start is on its way: its RunStarted opens the run
  bool tracking_ = false;  // the station's test is the open run's
  bool adopted_ = false;   // a test reported without our start: its first action decides
  QString trouble_;
  TCycleClock cycleClock_;
  std::vector<ActionTime> pendingTimes_;  // stored with the programme's next change
  int64_t storedAtMs_ = 0;                // when the programme was last stored
};

// At start-up, before the leftover journals are offered: the runs a kill
// or a power cut left open are closed at the count their station's journal
// reached (the journal of a later test, or none, leaves the count stored).
// Returns the unfinished programmes, to be offered again.
std::vector<Programme> SettleInterruptedProgrammes(const QString& exeDir);

// "工位1有未结束的试验方案：……，第2段 3,000/10,000次。是否继续？"
QString ProgrammeOfferQuestion(const Programme& p);

}  // namespace rig
