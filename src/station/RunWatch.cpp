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

BreakDeviations TRunWatch::Judged(const ActionRecord& record) const {
  BreakPositions positions{};
  for (int b = 0; b < kBreakCount; ++b) positions[b] = record.Closed[b] ? ContactState::Closed : ContactState::Open;
  return JudgeAction(plan_.Mode, record.ActionNo, positions).value_or(BreakDeviations{});
}

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
  ++runs_;
  plan_ = PlanOf(shared_.Model.Held());
  // The test's start, when it lies behind (actions adopted a moment ago), on the steady clock.
  const QDateTime& start = shared_.State.StartTime;
  startMs_ = now - (start.isValid() ? std::max<int64_t>(0, wall_() - start.toMSecsSinceEpoch()) : 0);
  endMs_.reset();
  running_ = shared_.Model.IsRunning();
  lastCount_ = shared_.Run.CountDone;
  actions_ = 0;
  cyclesSeen_ = 0;
  recentCount_ = recentNext_ = 0;
  lastCycleMs_ = now;
  minute_.Reset();
  history_.Reset(startMs_);
  ++historyVersion_;
  refusals_ = {};
  refusedActions_ = 0;
  judgedActions_ = 0;
  lastRefusalCount_ = 0;
  lastRefusalAtMs_.reset();
  lastMarks_ = {};
  paused_ = false;
  silent_ = false;
  quietLastedMs_.reset();
  BeginStretch(now);
}

void TRunWatch::BeginStretch(int64_t nowMs) {
  measureNext_ = false;
  stretchStartMs_ = nowMs;
  lastActionMs_ = nowMs;
}

void TRunWatch::CountCycles(int64_t nowMs, int32_t cycles) {
  cyclesSeen_ += cycles;
  // Cycles whose statuses were lost ran just before this one, at the rig's
  // pace (after the last cycle seen or the continue): not heaped on this
  // moment, nor spread over a stall before them.
  const int64_t from = std::max(lastCycleMs_, stretchStartMs_);
  const int64_t pace = PaceCycleMs().value_or(plan_.DelayMs);
  for (int32_t i = 1; i <= cycles; ++i) {
    const int64_t at = std::max(from, nowMs - (cycles - i) * pace);
    minute_.Add(at, 1);
    history_.Add(at, 1, 0);
  }
  if (measureNext_) {
    recent_[static_cast<size_t>(recentNext_)] = std::max<int64_t>(1, (nowMs - lastCycleMs_) / cycles);
    recentNext_ = (recentNext_ + 1) % kPaceCycles;
    recentCount_ = std::min(recentCount_ + 1, kPaceCycles);
  }
  measureNext_ = true;
  lastCycleMs_ = nowMs;
}

void TRunWatch::ActionQueued(const ActionRecord& record) {
  const int64_t now = clock_();
  ++actions_;
  lastActionMs_ = now;
  const int32_t step = record.Count - lastCount_;
  lastCount_ = record.Count;
  const int32_t cycles = step > 0 && step <= kMaxCycleStep ? step : 0;
  if (cycles) CountCycles(now, cycles);
  const bool marked = Marked(record);
  const BreakDeviations found = marked ? BreakDeviations{} : Judged(record);
  const bool judged = std::any_of(found.begin(), found.end(), [](Deviation d) { return d != Deviation::None; });
  const bool refused = marked || judged;
  if (refused) {
    for (int b = 0; b < kBreakCount; ++b) {
      if (record.Marks[b] == QStringLiteral("拒合") || found[b] == Deviation::RefusedClose) ++refusals_[b].Closings;
      else if (record.Marks[b] == QStringLiteral("拒分") || found[b] == Deviation::RefusedOpen) ++refusals_[b].Openings;
    }
    ++refusedActions_;
    if (judged) ++judgedActions_;
    lastRefusalCount_ = record.Count;
    lastRefusalAtMs_ = wall_();
  }
  for (int b = 0; b < kBreakCount; ++b) lastMarks_[b] = record.Marks[b];
  paused_ = marked;  // the controller stops after a refusal the operator heeds
  if (refused) history_.Add(now, 0, 1);
  if (cycles || refused) ++historyVersion_;
}

void TRunWatch::RunContinued() {
  paused_ = false;
  BeginStretch(clock_());
}

std::optional<int64_t> TRunWatch::PaceCycleMs() const {
  if (recentCount_ == 0) return std::nullopt;
  // The lower median: of two cycles the shorter, so one stall among the
  // first few does not set the pace.
  std::array<int64_t, kPaceCycles> sorted = recent_;
  const auto end = sorted.begin() + recentCount_;
  const auto middle = sorted.begin() + (recentCount_ - 1) / 2;
  std::nth_element(sorted.begin(), middle, end);
  return *middle;
}

std::optional<int64_t> TRunWatch::LeftMs(int64_t nowMs) const {
  const int64_t perCycle = PaceCycleMs().value_or(plan_.DelayMs);
  if (plan_.SetCount <= 0 || perCycle <= 0) return std::nullopt;
  const int64_t left = std::max<int64_t>(0, plan_.SetCount - lastCount_);
  if (left == 0) return 0;
  // Down through the cycle under way, then still until the next one comes:
  // a pause or a stall does not make the end come sooner.
  return left * perCycle - std::clamp<int64_t>(nowMs - lastCycleMs_, 0, perCycle);
}

int64_t TRunWatch::SilenceLimitMs() const {
  // Three cycles as the delays set them or as the rig has been running them,
  // whichever is longer: the delays leave out the actions' own time.
  const int64_t cycle = std::max(plan_.DelayMs, PaceCycleMs().value_or(0));
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
  // The controller is back if it reported anything: an action, or the end
  // of the test (which may come with its last action). A cancel or a lost
  // line ends the silence without it, and is logged where it happens.
  const bool acted = lastActionMs_ > quietFromMs_;
  const bool finished = !running && model.Ending() == RunEnding::Finished;
  if (!acted && !finished) return std::nullopt;
  quietEndedMs_ = acted ? lastActionMs_ : now;
  quietLastedMs_ = quietEndedMs_ - quietFromMs_;
  return ResumeLogLine(station_, *quietLastedMs_, finished);
}

RunWatchFigures TRunWatch::Figures() const {
  const int64_t now = clock_();
  const TStationModel& model = shared_.Model;
  RunWatchFigures f;
  f.Link = model.Link();
  f.Reconnecting = wasLost_ && (f.Link == LinkState::Lost || f.Link == LinkState::Open ||
                                f.Link == LinkState::Connecting);
  f.Run = model.Run();
  f.Ending = model.Ending();
  f.HasRun = hasRun_;
  f.Runs = runs_;
  if (!hasRun_) return f;
  f.Plan = plan_;
  f.CountDone = lastCount_;
  f.ActionsDone = actions_;
  const bool running = model.IsRunning();
  f.ElapsedMs = std::max<int64_t>(0, (running || !endMs_ ? now : *endMs_) - startMs_);
  if (plan_.Life && plan_.DelayMs > 0) f.ExpectedRatePerMinute = double(kMinuteMs) / double(plan_.DelayMs);
  if (plan_.Life && running) {
    // A count, never scaled up from a shorter time: a few cycles just after
    // a continue are a few cycles, not a pace.
    if (cyclesSeen_ >= 2) f.CyclesLastMinute = minute_.Sum(now);
    f.LeftMs = LeftMs(now);
    if (f.LeftMs) f.EndAtMs = wall_() + *f.LeftMs;
  }
  f.Refusals = refusals_;
  f.RefusedActions = refusedActions_;
  f.JudgedActions = judgedActions_;
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
