#pragma once
// Watches one station's run for the operator: progress, pace against the
// pace the delays set, time left, refusals per break, and a controller that
// went silent. It hears every queued action (cheaply: counters only, no
// drawing) and is polled by the display a few times a second; the figures
// are plain data, worded by RunWatchTexts and drawn by the window.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "station/StationModel.h"
#include "testing/RateHistory.h"
#include "testing/RunObserver.h"
#include "testing/PositionJudge.h"
#include "testing/RunPlan.h"

namespace rig {

struct StationShared;

struct BreakRefusalCount {
  int32_t Closings = 0;  // "拒合"
  int32_t Openings = 0;  // "拒分"
};

struct RunWatchFigures {
  LinkState Link = LinkState::Closed;
  bool Reconnecting = false;  // the line was lost and is being brought back
  RunState Run = RunState::Idle;
  RunEnding Ending = RunEnding::None;  // how an ended run stopped
  bool HasRun = false;  // a test was started (or adopted) since the program began
  // Runs started (or adopted) so far: a run that began and ended between
  // two looks is still a new run.
  int32_t Runs = 0;
  RunPlan Plan;
  int32_t CountDone = 0;
  int32_t ActionsDone = 0;
  int64_t ElapsedMs = 0;
  // Cycles in the last 60 s, never more; none until the run saw two cycles.
  std::optional<int32_t> CyclesLastMinute;
  std::optional<double> ExpectedRatePerMinute;  // from the delays alone
  // Life tests while running: the cycles left at the rig's recent pace (the
  // delays until it has one), counting down between cycles and standing
  // still through a pause or a silence.
  std::optional<int64_t> LeftMs;
  std::optional<int64_t> EndAtMs;               // wall clock
  std::array<BreakRefusalCount, 3> Refusals{};  // refused breaks
  int32_t RefusedActions = 0;  // actions with at least one refused break
  // Of those, the actions found from the reported positions alone: under
  // 忽略拒动作 nothing is marked, and the same rule judges them.
  int32_t JudgedActions = 0;
  int32_t LastRefusalCount = 0;
  std::optional<int64_t> LastRefusalAtMs;  // wall clock
  std::array<QString, 3> LastMarks;  // of the latest action
  bool Paused = false;               // a refused action: the controller waits for 继续测试
  bool Silent = false;
  int64_t SilentForMs = 0;
  // For a minute after a silent controller came back: how long it was quiet.
  std::optional<int64_t> ResumedAfterMs;
};

class TRunWatch : public IRunObserver {
 public:
  using Clock = std::function<int64_t()>;  // ms
  // A silence shorter than this is never reported, whatever the delays.
  static constexpr int64_t kMinSilenceMs = 5'000;
  // The rig's pace is the median of this many recent cycles: a stall or a
  // slow cycle now and then does not move it.
  static constexpr int kPaceCycles = 15;
  // How long the panel says that a silent controller came back.
  static constexpr int64_t kResumeShownMs = 60'000;

  // Intervals (pace, silence, elapsed) are measured on a steady clock, so a
  // wall clock set back or forward during a run of days neither blinds nor
  // fakes the silence check; times of day come from the wall clock. Without
  // clocks, the machine's; given one, it serves as both.
  TRunWatch(int station, const StationShared& shared, Clock clock = {});
  void SetClock(Clock clock) { SetClocks(clock, clock); }
  void SetClocks(Clock steady, Clock wall) {
    clock_ = std::move(steady);
    wall_ = std::move(wall);
  }

  // IRunObserver: called on the window thread as the run goes.
  void RunStarted() override;
  void ActionQueued(const ActionRecord& record) override;
  // A saved test stays on view until the next start; one let go does not.
  void RunDiscarded() override { hasRun_ = false; }
  void RunContinued() override;

  // The display's tick: follows the station's model and notices a silent
  // controller. Returns the run-log line when silence begins or ends.
  std::optional<QString> Poll();
  RunWatchFigures Figures() const;
  const TRateHistory& History() const { return history_; }
  int64_t Now() const { return clock_(); }  // steady
  // Where the chart's time ends: now, or the end of a run that stopped.
  int64_t HistoryUntil() const { return endMs_.value_or(clock_()); }
  // Changes whenever the chart has something new to show.
  uint64_t HistoryVersion() const { return historyVersion_; }

  // How long without an action counts as silence while running.
  int64_t SilenceLimitMs() const;

 private:
  // From now, the next cycle only marks where pace is measured from (a
  // start, a resume, a continue: the wait before it is not pace).
  void BeginStretch(int64_t nowMs);
  void CountCycles(int64_t nowMs, int32_t cycles);
  // The median of the recent cycles, in ms.
  std::optional<int64_t> PaceCycleMs() const;
  std::optional<int64_t> LeftMs(int64_t nowMs) const;

  const int station_;
  const StationShared& shared_;
  Clock clock_;
  Clock wall_;

  bool hasRun_ = false;
  int32_t runs_ = 0;
  RunPlan plan_;
  int64_t startMs_ = 0;
  std::optional<int64_t> endMs_;
  bool running_ = false;  // the model's run as last polled
  bool wasLost_ = false;
  int32_t lastCount_ = 0;
  int32_t actions_ = 0;
  int32_t cyclesSeen_ = 0;  // since the run started
  bool measureNext_ = false;  // the next cycle's time since the last one is pace
  std::array<int64_t, kPaceCycles> recent_{};  // ms per cycle, a ring
  int recentCount_ = 0;
  int recentNext_ = 0;
  int64_t lastCycleMs_ = 0;  // the last cycle, or the run's start before the first
  int64_t stretchStartMs_ = 0;  // the last start, resume or continue
  int64_t lastActionMs_ = 0;
  TMinuteCount minute_;
  TRateHistory history_;
  uint64_t historyVersion_ = 0;
  std::array<BreakRefusalCount, 3> refusals_{};
  int32_t refusedActions_ = 0;
  int32_t judgedActions_ = 0;
  // How the action's positions deviate from what the mode expects, for an
  // action the refusal check did not mark.
  BreakDeviations Judged(const ActionRecord& record) const;
  int32_t lastRefusalCount_ = 0;
  std::optional<int64_t> lastRefusalAtMs_;
  std::array<QString, 3> lastMarks_;
  bool paused_ = false;
  bool silent_ = false;
  int64_t quietFromMs_ = 0;  // the last action before the silence
  std::optional<int64_t> quietLastedMs_;  // of the last silence that ended
  int64_t quietEndedMs_ = 0;
};

}  // namespace rig
