#include "station/RunWatch.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>

#include "station/GlobVar.h"
#include "station/RunWatchTexts.h"

namespace rig {
namespace {

constexpr int64_t kMinuteMs = 60'000;
// A count that jumps further than this between two actions is a new
// baseline (a report, a resumed run), not pace: statuses are not lost by
// the dozen.
constexpr int32_t kMaxCycleStep = 4;

bool Marked(const ActionRecord& record) {
  return std::any_of(std::begin(record.Marks), std::end(record.Marks), [](const QString& m) { return !m.isEmpty(); });
}

}  // namespace

TRunWatch::TRunWatch(int station, const StationShared& shared, Clock clock)
    : station_(station), shared_(shared) {
  if (clock) {
    SetClock(std::move(clock));
    return;
  }
  SetClocks(
      [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
      },
      [] { return QDateTime::currentMSecsSinceEpoch(); });
}

void TRunWatch::RunStarted() {
  const int64_t now = clock_();
  hasRun_ = true;
  plan_ = PlanOf(shared_.Model.Held());
  // The test's start, when it lies behind (actions adopted a moment ago), on the steady clock.
  const QDateTime& start = shared_.State.StartTime;
  startMs_ = now - (start.isValid() ? std::max<int64_t>(0, wall_() - start.toMSecsSinceEpoch()) : 0);
  endMs_.reset();
  running_ = shared_.Model.IsRunning();
  lastCount_ = shared_.Run.CountDone;
  actions_ = 0;
  minute_.Reset();
  history_.Reset(startMs_);
  ++historyVersion_;
  refusals_ = {};
  lastRefusalCount_ = 0;
  lastRefusalAtMs_.reset();
  lastMarks_ = {};
  paused_ = false;
  silent_ = false;
  quietLastedMs_.reset();
  BeginStretch(now);
}

void TRunWatch::BeginStretch(int64_t nowMs) {
  stretchStartMs_ = nowMs;
  stretchCycles_ = 0;
  cyclesAfterFirst_ = 0;
  lastCycleMs_ = nowMs;
  lastActionMs_ = nowMs;
}

void TRunWatch::ActionQueued(const ActionRecord& record) {
  const int64_t now = clock_();
  ++actions_;
  lastActionMs_ = now;
  const int32_t step = record.Count - lastCount_;
  lastCount_ = record.Count;
  int32_t cycles = 0;
  if (step > 0 && step <= kMaxCycleStep) {
    cycles = step;
    if (stretchCycles_ == 0) firstCycleMs_ = now;
    else cyclesAfterFirst_ += step;
    stretchCycles_ += step;
    lastCycleMs_ = now;
    minute_.Add(now, step);
  }
  const bool refused = Marked(record);
  if (refused) {
    for (int b = 0; b < kBreakCount; ++b) {
      if (record.Marks[b] == QStringLiteral("拒合")) ++refusals_[b].Closings;
      else if (record.Marks[b] == QStringLiteral("拒分")) ++refusals_[b].Openings;
    }
    lastRefusalCount_ = record.Count;
    lastRefusalAtMs_ = wall_();
  }
  for (int b = 0; b < kBreakCount; ++b) lastMarks_[b] = record.Marks[b];
  paused_ = refused;  // the controller stops after a refusal the operator heeds
  if (cycles || refused) {
    history_.Add(now, cycles, refused ? 1 : 0);
    ++historyVersion_;
  }
}

void TRunWatch::RunContinued() {
  paused_ = false;
  BeginStretch(clock_());
}

std::optional<int64_t> TRunWatch::MeanCycleMs() const {
  // Between the stretch's first and last cycle: the wait for the first one
  // (a rig still getting ready) is not pace.
  if (cyclesAfterFirst_ < 1) return std::nullopt;
  return std::max<int64_t>(1, (lastCycleMs_ - firstCycleMs_) / cyclesAfterFirst_);
}

int64_t TRunWatch::SilenceLimitMs() const {
  // Three cycles as the delays set them or as the rig has been running them,
  // whichever is longer: the delays leave out the actions' own time.
  const int64_t cycle = std::max(plan_.DelayMs, MeanCycleMs().value_or(0));
  return std::max(kMinSilenceMs, 3 * cycle);
}

std::optional<QString> TRunWatch::Poll() {
  const int64_t now = clock_();
  const TStationModel& model = shared_.Model;
  if (model.Link() == LinkState::Lost) wasLost_ = true;
  if (model.Link() == LinkState::Connected || model.Link() == LinkState::Closed) wasLost_ = false;

  const bool running = hasRun_ && model.IsRunning();
  if (running && !running_) {  // resumed after a lost line
    endMs_.reset();
    paused_ = false;
    BeginStretch(now);
  }
  if (!running && running_) endMs_ = now;
  running_ = running;
  if (hasRun_ && !endMs_) history_.ExtendTo(now);

  const bool silent = running && !paused_ && now - lastActionMs_ > SilenceLimitMs();
  if (silent == silent_) return std::nullopt;
  silent_ = silent;
  if (silent) {
    quietFromMs_ = lastActionMs_;
    return SilenceLogLine(station_, now - quietFromMs_);
  }
  if (!running) return std::nullopt;
  quietLastedMs_ = lastActionMs_ - quietFromMs_;
  quietEndedMs_ = lastActionMs_;
  return ResumeLogLine(station_, *quietLastedMs_);
}

RunWatchFigures TRunWatch::Figures() const {
  const int64_t now = clock_();
  const TStationModel& model = shared_.Model;
  RunWatchFigures f;
  f.Link = model.Link();
  f.Reconnecting = wasLost_ && (f.Link == LinkState::Lost || f.Link == LinkState::Open ||
                                f.Link == LinkState::Connecting);
  f.Run = model.Run();
  f.HasRun = hasRun_;
  if (!hasRun_) return f;
  f.Plan = plan_;
  f.CountDone = lastCount_;
  f.ActionsDone = actions_;
  const bool running = model.IsRunning();
  f.ElapsedMs = std::max<int64_t>(0, (running || !endMs_ ? now : *endMs_) - startMs_);
  if (plan_.Life && plan_.DelayMs > 0) f.ExpectedRatePerMinute = double(kMinuteMs) / double(plan_.DelayMs);
  if (plan_.Life && running) {
    const int64_t window = std::min(kMinuteMs, now - stretchStartMs_);
    if (stretchCycles_ > 0 && window > 0) f.RatePerMinute = double(minute_.Sum(now)) * kMinuteMs / double(window);
    const int64_t perCycle = MeanCycleMs().value_or(plan_.DelayMs);
    if (plan_.SetCount > 0 && perCycle > 0) {
      f.LeftMs = std::max<int64_t>(0, plan_.SetCount - lastCount_) * perCycle;
      f.EndAtMs = wall_() + *f.LeftMs;
    }
  }
  f.Refusals = refusals_;
  f.LastRefusalCount = lastRefusalCount_;
  f.LastRefusalAtMs = lastRefusalAtMs_;
  f.LastMarks = lastMarks_;
  f.Paused = running && paused_;
  f.Silent = silent_ && running;
  if (f.Silent) f.SilentForMs = now - lastActionMs_;
  if (running && !f.Silent && quietLastedMs_ && now - quietEndedMs_ < kResumeShownMs)
    f.ResumedAfterMs = quietLastedMs_;
  return f;
}

}  // namespace rig
