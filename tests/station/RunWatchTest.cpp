// The live view's figures from a station driven frame by frame with a
// made-up clock: pace against the set pace and time left, refusals per
// break, a controller that goes silent and comes back, and a history that
// stays the same size however long the run. Paced runs (cycles, stalls,
// refusals and 继续测试 at given moments) are played against what the
// controller really did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <vector>

#include "support/TempDir.h"
#include "station/LinkedStation.h"
#include "station/RunWatch.h"
#include "station/RunWatchTexts.h"

namespace rig {
namespace {

constexpr uint8_t kAllClosed = 0x15, kAllOpen = 0x00;
constexpr int64_t kSecond = 1000;

struct Watched {
  rigtest::TempDir dir;
  rigtest::LinkedStation s{1, dir.Path()};
  TRunWatch watch{1, s.shared, [this] { return s.now.toMSecsSinceEpoch(); }};
  int32_t count = 0;
  std::vector<int64_t> cycleTimes;  // when the controller ran each cycle
  size_t reported = 0;  // cycles whose count has been reported

  Watched() { s.control.AddRunObserver(&watch); }

  void Wait(double seconds) { s.now = s.now.addMSecs(static_cast<int64_t>(seconds * kSecond)); }
  int64_t Now() const { return s.now.toMSecsSinceEpoch(); }

  // The 单分单合 life test with its delays and set count, started.
  void Start(int openDelayS, int closeDelayS, int setCount = 500, bool heedRefusals = false) {
    s.Connect();
    s.view.CheckMode(17);
    s.view.SetParameterText(7, QString::number(openDelayS));
    s.view.SetParameterText(8, QString::number(closeDelayS));
    s.view.SetParameterText(9, QString::number(setCount));
    if (heedRefusals) s.view.CheckRefusalOption(10);
    s.PressStart();
    s.Accepted();
  }
  // One cycle taking `seconds`: the opening half-way, the closing at its end.
  void Cycle(double seconds, uint8_t afterOpen = kAllOpen, uint8_t afterClose = kAllClosed) {
    ++count;
    Wait(seconds / 2);
    s.Status(count, afterOpen);
    Wait(seconds / 2);
    s.Status(count, afterClose);
  }
};

TEST(RunWatch, PaceTimeLeftAndEndFollowTheRigNotJustTheDelays) {
  const struct {
    const char* what;
    double cycleSeconds;
    int rate;         // cycles in the last minute
    double leftSecs;  // for the 470 cycles still to go
  } cases[] = {
      {"at the set pace", 20, 3, 470 * 20},
      {"slower than set (the actions take time)", 30, 2, 470 * 30},
      {"faster than set", 15, 4, 470 * 15},
      {"now and then a slow cycle: the median pace counts", 0, 2, 470 * 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(10, 10);
    // The irregular case: 20 s cycles with every fifth one 35 s long.
    for (int i = 0; i < 30; ++i) w.Cycle(c.cycleSeconds > 0 ? c.cycleSeconds : i % 5 == 4 ? 35 : 20);
    ASSERT_EQ(w.watch.Poll(), std::nullopt);
    const RunWatchFigures f = w.watch.Figures();
    EXPECT_EQ(f.CountDone, 30);
    ASSERT_TRUE(f.ExpectedRatePerMinute && f.LeftMs && f.EndAtMs);
    EXPECT_DOUBLE_EQ(*f.ExpectedRatePerMinute, 3.0);
    ASSERT_TRUE(f.CyclesLastMinute);
    EXPECT_EQ(*f.CyclesLastMinute, c.rate);
    EXPECT_NEAR(*f.LeftMs / 1000.0, c.leftSecs, c.leftSecs * 0.03);
    EXPECT_EQ(*f.EndAtMs - w.Now(), *f.LeftMs);
    if (c.cycleSeconds > 0) EXPECT_EQ(f.ElapsedMs, static_cast<int64_t>(30 * c.cycleSeconds * kSecond));
    const RunWatchTexts t = TextsOf(f);
    EXPECT_EQ(t.ProgressValue, 30);
    EXPECT_EQ(t.ProgressMaximum, 500);
    EXPECT_EQ(t.Progress, QStringLiteral("30 / 500 次（6.0%）"));
  }
}

TEST(RunWatch, RefusalsAreCountedPerBreakAndAPauseForTheOperatorIsNotSilence) {
  Watched w;
  w.Start(10, 10, 500, /*heedRefusals=*/true);
  w.Cycle(20);
  w.Cycle(20, kAllOpen, 0x04);  // closing: A1 and C1 stay open
  RunWatchFigures f = w.watch.Figures();
  EXPECT_EQ(f.Refusals[kBreakA1].Closings, 1);
  EXPECT_EQ(f.Refusals[kBreakB1].Closings, 0);
  EXPECT_EQ(f.Refusals[kBreakC1].Closings, 1);
  EXPECT_EQ(f.RefusedActions, 1) << "one action, two refused breaks";
  EXPECT_EQ(TextsOf(f).RefusedActions, QStringLiteral("拒动作：1个动作"));
  EXPECT_EQ(f.LastRefusalCount, 2);
  EXPECT_EQ(f.LastRefusalAtMs, w.Now());
  EXPECT_TRUE(f.Paused);

  w.Wait(600);  // the controller waits for 继续测试: no alarm
  EXPECT_EQ(w.watch.Poll(), std::nullopt);
  EXPECT_EQ(TextsOf(w.watch.Figures()).State, QStringLiteral("状态：拒动作，等待继续测试"));

  w.s.PressContinue();
  w.Wait(59);
  EXPECT_EQ(w.watch.Poll(), std::nullopt) << "the silence is counted from the continue";
  w.Cycle(20, 0x01, kAllClosed);  // opening: A1 stays closed
  f = w.watch.Figures();
  EXPECT_EQ(f.Refusals[kBreakA1].Openings, 1);
  EXPECT_EQ(f.LastRefusalCount, 3);
  EXPECT_EQ(f.RefusedActions, 2);
  const RunWatchTexts t = TextsOf(f);
  EXPECT_EQ(t.Refusals[kBreakA1], (std::array<QString, 2>{QStringLiteral("1"), QStringLiteral("1")}));
  EXPECT_EQ(t.LastRefusal, QStringLiteral("最后一次：第3次"));
  EXPECT_EQ(StatusLine(1, f), QStringLiteral("工位1：运行中 3/500次 1次/分 拒动作2个动作"));
}

// The same wrong positions count the same whichever refusal option runs:
// marked by the refusal check (the controller waits), or under 忽略拒动作
// judged from the reported positions by the same rule (it goes on).
TEST(RunWatch, RefusalsUnderEitherOptionCountTheSameAndSayHowTheyWereFound) {
  for (bool heed : {true, false}) {
    SCOPED_TRACE(heed);
    Watched w;
    w.Start(10, 10, 500, heed);
    w.Cycle(20);
    w.Cycle(20, kAllOpen, 0x04);  // closing: A1 and C1 stay open
    EXPECT_EQ(w.watch.Figures().Paused, heed);
    if (heed) w.s.PressContinue();
    w.Cycle(20, 0x01, kAllClosed);  // opening: A1 stays closed
    const RunWatchFigures f = w.watch.Figures();
    EXPECT_EQ(f.Refusals[kBreakA1].Closings, 1);
    EXPECT_EQ(f.Refusals[kBreakB1].Closings, 0);
    EXPECT_EQ(f.Refusals[kBreakC1].Closings, 1);
    EXPECT_EQ(f.Refusals[kBreakA1].Openings, 1);
    EXPECT_EQ(f.RefusedActions, 2);
    EXPECT_EQ(f.JudgedActions, heed ? 0 : 2);
    EXPECT_EQ(TextsOf(f).RefusalsFoundBy,
              heed ? QStringLiteral("拒动作由拒动作检查标记")
                   : QStringLiteral("拒动作按断口位置判定（忽略拒动作时控制器不等待，也不标记）"));
  }
}

TEST(RunWatch, ASilentControllerIsReportedAfterThreeCyclesAndAgainWhenItResumes) {
  const struct {
    const char* what;
    int openDelayS, closeDelayS;
    double cycleSeconds;  // as the rig runs them
    double quietSeconds;
    bool silent;
  } cases[] = {
      {"20 s cycles: 3 cycles are 60 s", 10, 10, 20, 59, false},
      {"20 s cycles, 61 s quiet", 10, 10, 20, 61, true},
      {"1 s delays but 10 s cycles: the rig's pace counts", 1, 1, 10, 25, false},
      {"1 s delays but 10 s cycles, 31 s quiet", 1, 1, 10, 31, true},
      {"1 s cycles: the 2 s of delays count", 1, 1, 1, 5.5, false},
      {"1 s cycles, 6.5 s quiet", 1, 1, 1, 6.5, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(c.openDelayS, c.closeDelayS);
    for (int i = 0; i < 5; ++i) w.Cycle(c.cycleSeconds);
    EXPECT_EQ(w.watch.Poll(), std::nullopt);
    w.Wait(c.quietSeconds);
    const std::optional<QString> line = w.watch.Poll();
    ASSERT_EQ(line.has_value(), c.silent);
    EXPECT_EQ(w.watch.Figures().Silent, c.silent);
    if (!c.silent) continue;
    EXPECT_TRUE(line->startsWith(QStringLiteral("工位1：控制器已"))) << line->toStdString();
    EXPECT_EQ(w.watch.Poll(), std::nullopt) << "said once";
    EXPECT_TRUE(TextsOf(w.watch.Figures()).Alarm);
    w.Cycle(c.cycleSeconds);
    const std::optional<QString> back = w.watch.Poll();
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->startsWith(QStringLiteral("工位1：控制器恢复报告动作"))) << back->toStdString();
    EXPECT_FALSE(w.watch.Figures().Silent);
  }
}

TEST(RunWatch, NoSilenceOnceTheRunHasStoppedNorRightAfterItResumes) {
  Watched w;
  w.Start(10, 10);
  w.Cycle(20);
  w.s.LoseLine();
  w.Wait(3600);
  EXPECT_EQ(w.watch.Poll(), std::nullopt);
  RunWatchFigures f = w.watch.Figures();
  EXPECT_TRUE(f.Reconnecting);
  EXPECT_EQ(TextsOf(f).Link, QStringLiteral("通信：线路中断，正在重新连接"));
  const int64_t elapsed = f.ElapsedMs;
  w.Wait(60);
  EXPECT_EQ(w.watch.Figures().ElapsedMs, elapsed) << "a stopped run's time stands still";

  ParameterBlock stored = rigtest::FactorySettings();
  stored.Mode = 17;
  stored.Counts[0] = 1;
  w.s.Reopen();
  w.s.Reply(kLinkAccepted);
  w.s.Report(stored);  // the first report after the handshake
  w.s.PressStart();    // the same mode: resumes the held test
  w.s.Report(stored);
  w.s.Accepted();
  ASSERT_TRUE(w.s.shared.Model.IsRunning());
  EXPECT_EQ(w.watch.Poll(), std::nullopt);
  w.Wait(59);
  EXPECT_EQ(w.watch.Poll(), std::nullopt) << "the quiet is counted from the resume";
  f = w.watch.Figures();
  EXPECT_FALSE(f.Reconnecting);
  EXPECT_EQ(f.Link, LinkState::Connected);
}

TEST(RunWatch, AWallClockSetBackOrForwardNeitherBlindsNorFakesTheSilenceCheck) {
  for (const int64_t jump : {-3'600'000LL, 3'600'000LL}) {
    SCOPED_TRACE(jump);
    Watched w;
    int64_t offset = 0;
    w.watch.SetClocks([&w] { return w.Now(); }, [&] { return w.Now() + offset; });
    w.Start(10, 10);
    for (int i = 0; i < 5; ++i) w.Cycle(20);
    offset = jump;  // somebody sets the machine's clock
    w.Wait(30);
    EXPECT_EQ(w.watch.Poll(), std::nullopt);
    RunWatchFigures f = w.watch.Figures();
    EXPECT_EQ(f.ElapsedMs, 130 * kSecond);
    ASSERT_TRUE(f.EndAtMs && f.LeftMs);
    EXPECT_EQ(*f.EndAtMs, w.Now() + offset + *f.LeftMs) << "the end is a time of day";
    w.Wait(31);
    EXPECT_TRUE(w.watch.Poll().has_value());
  }
}

TEST(RunWatch, AWeekOfCyclesKeepsTheSameSmallHistoryAndLosesNoCycle) {
  TRateHistory h;
  const int64_t start = 1'700'000'000'000;
  h.Reset(start);
  int64_t at = start;
  int64_t added = 0;
  for (int i = 0; i < 1'000'000; ++i) {
    at += (i / 1000) % 50 == 7 ? 30'000 : 600;  // now and then a stop
    h.Add(at, 1, i % 997 == 0 ? 1 : 0);
    ++added;
  }
  h.ExtendTo(at);
  EXPECT_LE(h.Buckets().size(), static_cast<size_t>(TRateHistory::kMaxBuckets));
  EXPECT_GT(h.Buckets().size(), static_cast<size_t>(TRateHistory::kMaxBuckets / 2));
  EXPECT_EQ(h.WidthMs() % TRateHistory::kFirstWidthMs, 0);
  EXPECT_GE(h.StartMs() + h.WidthMs() * static_cast<int64_t>(h.Buckets().size()), at);
  const auto cycles = std::accumulate(h.Buckets().begin(), h.Buckets().end(), int64_t{0},
                                      [](int64_t sum, const RateBucket& b) { return sum + b.Cycles; });
  EXPECT_EQ(cycles, added);

  // The chart's points add back up to the cycles: rate x time of each
  // bucket (the last one drawn once half of it has passed).
  const int64_t until = h.StartMs() + h.WidthMs() * static_cast<int64_t>(h.Buckets().size());
  double fromPoints = 0;
  const std::vector<RatePoint> points = RatePoints(h, until);
  ASSERT_EQ(points.size(), h.Buckets().size());
  for (size_t i = 0; i < points.size(); ++i) fromPoints += points[i].PerMinute * h.WidthMs() / 60'000.0;
  EXPECT_NEAR(fromPoints, static_cast<double>(added), 1e-6 * added);
}


// A paced controller's run, as moments from the start: cycles (each
// reports its new count with the opening and the closing), cycles whose
// statuses were lost on the line, a cycle whose closing is refused, the
// operator's 继续测试, a quiet stretch.
struct PacedRun {
  enum Kind { Cycle, Unreported, RefusedCycle, Continue };
  struct Step {
    int64_t atMs;
    Kind kind;
  };
  std::vector<Step> steps;
  int64_t atMs = 0;

  // `n` cycles of `seconds`, each off by up to `wobble` of it (repeatably).
  PacedRun& Cycles(int n, double seconds, double wobble = 0) {
    for (int i = 0; i < n; ++i) {
      const double off = wobble * (static_cast<double>((steps.size() * 7919 + 13) % 201) - 100) / 100;
      atMs += std::llround(seconds * (1 + off) * kSecond);
      steps.push_back({atMs, Cycle});
    }
    return *this;
  }
  PacedRun& Lost(int n, double seconds) {
    for (int i = 0; i < n; ++i) Add(seconds, Unreported);
    return *this;
  }
  PacedRun& Refused(double seconds) { return Add(seconds, RefusedCycle); }
  PacedRun& ContinueAfter(double seconds) { return Add(seconds, Continue); }
  PacedRun& Quiet(double seconds) {
    atMs += std::llround(seconds * kSecond);
    return *this;
  }
  PacedRun& Add(double seconds, Kind kind) {
    atMs += std::llround(seconds * kSecond);
    steps.push_back({atMs, kind});
    return *this;
  }
};

// Plays `run` into a started station, the window's 200 ms tick polling the
// watch; `sample(msFromStart)` after every tick.
void Play(Watched& w, const PacedRun& run, const std::function<void(int64_t)>& sample) {
  const QDateTime start = w.s.now;
  size_t next = 0;
  for (int64_t tick = 0; tick <= run.atMs + 1000; tick += 200) {
    for (; next < run.steps.size() && run.steps[next].atMs <= tick; ++next) {
      const PacedRun::Step& step = run.steps[next];
      w.s.now = start.addMSecs(step.atMs);
      if (step.kind == PacedRun::Continue) {
        w.s.PressContinue();
        continue;
      }
      w.cycleTimes.push_back(w.Now());
      if (step.kind == PacedRun::Unreported) {
        ++w.count;
        continue;
      }
      w.s.Status(++w.count, kAllOpen);
      w.s.Status(w.count, step.kind == PacedRun::Cycle ? kAllClosed : 0x04);
      w.reported = w.cycleTimes.size();
    }
    w.s.now = start.addMSecs(tick);
    w.watch.Poll();
    sample(tick);
  }
}

// Cycles run in [fromMs, toMs), of the first `n` (all when negative).
int Between(const std::vector<int64_t>& times, int64_t fromMs, int64_t toMs, std::ptrdiff_t n = -1) {
  const auto end = n < 0 ? times.end() : times.begin() + n;
  return static_cast<int>(std::lower_bound(times.begin(), end, toMs) - std::lower_bound(times.begin(), end, fromMs));
}

// The first broken promise of a run, to keep a failure's report short.
struct FirstFault {
  std::string text;
  void Check(bool ok, int64_t atMs, const QString& what) {
    if (!ok && text.empty()) text = QStringLiteral("at %1 s: %2").arg(atMs / 1000.0).arg(what).toStdString();
  }
};

TEST(RunWatch, TheRateIsTheCyclesOfTheLastMinuteNeverMoreAndNoneBeforeTwoCycles) {
  const struct {
    const char* what;
    PacedRun run;
    bool heedRefusals;
  } cases[] = {
      {"200 次/分 for three minutes", PacedRun().Cycles(600, 0.3), false},
      {"a refusal, 20 s waiting, 继续测试, 200 次/分 again",
       PacedRun().Cycles(100, 0.3).Refused(0.3).ContinueAfter(20).Cycles(300, 0.3), true},
      {"9 s without a report in the middle", PacedRun().Cycles(100, 0.3).Quiet(9).Cycles(300, 0.3), false},
      {"a refusal right at the start, 继续测试 after 0.2 s", PacedRun().Refused(0.3).ContinueAfter(0.2).Cycles(5, 0.3),
       true},
      {"the statuses of three cycles lost after a 70 s stall",
       PacedRun().Cycles(100, 0.3).Quiet(70).Lost(3, 0.3).Cycles(250, 0.3), false},
      {"20 s cycles, some off by a quarter", PacedRun().Cycles(15, 20, 0.25), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(1, 1, 10000, c.heedRefusals);
    FirstFault fault;
    int shown = 0;
    Play(w, c.run, [&](int64_t at) {
      const RunWatchFigures f = w.watch.Figures();
      const int64_t now = w.Now();
      if (w.reported < 2) {
        fault.Check(!f.CyclesLastMinute && TextsOf(f).Rate == QStringLiteral("速率：—"), at, "a rate before two cycles");
        return;
      }
      fault.Check(f.CyclesLastMinute.has_value(), at, "no rate after two cycles");
      if (!f.CyclesLastMinute) return;
      ++shown;
      const int ran = Between(w.cycleTimes, now - 60'000 + 1, now + 1);
      fault.Check(*f.CyclesLastMinute <= ran, at, QStringLiteral("%1 shown, %2 run").arg(*f.CyclesLastMinute).arg(ran));
      // Of the cycles reported, only those of the oldest 100 ms of the minute may be missed.
      fault.Check(*f.CyclesLastMinute >= Between(w.cycleTimes, now - 59'900, now + 1, w.reported), at,
                  QStringLiteral("%1 shown, %2 run").arg(*f.CyclesLastMinute).arg(ran));
    });
    EXPECT_EQ(fault.text, "");
    EXPECT_GT(shown, 0);
  }
}

TEST(RunWatch, TimeLeftMovesSteadilyAndComesTrueAfterAStallOrAContinue) {
  const struct {
    const char* what;
    int openDelayS, closeDelayS;
    PacedRun run;
    bool heedRefusals;
    int64_t settledMs;  // from here on no stall or pause lies ahead
  } cases[] = {
      {"20 s cycles, as the delays set", 10, 10, PacedRun().Cycles(60, 20), false, 0},
      {"2.4 s cycles off by up to 10 %, on 2 s of delays", 1, 1, PacedRun().Cycles(200, 2.4, 0.1), false, 0},
      {"a 9 s stall with 25 cycles to go", 1, 1, PacedRun().Cycles(100, 2.4).Quiet(9).Cycles(25, 2.4), false,
       252'000},
      {"40 s waiting for 继续测试 after a refusal", 1, 1,
       PacedRun().Cycles(50, 2.4).Refused(2.4).ContinueAfter(40).Cycles(30, 2.4), true, 165'000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    const int setCount = static_cast<int>(c.run.steps.size()) -
                         static_cast<int>(std::count_if(c.run.steps.begin(), c.run.steps.end(), [](const auto& s) {
                           return s.kind == PacedRun::Continue;
                         }));
    w.Start(c.openDelayS, c.closeDelayS, setCount, c.heedRefusals);
    const int64_t start = w.Now();
    FirstFault fault;
    std::optional<int64_t> previous;
    int checked = 0;
    Play(w, c.run, [&](int64_t at) {
      if (at % 1000 != 0) return;  // as the operator reads it: once a second
      const RunWatchFigures f = w.watch.Figures();
      if (w.cycleTimes.size() < 2 || !f.LeftMs) {  // the pace is not measured yet
        previous.reset();
        return;
      }
      const int64_t left = *f.LeftMs;
      if (previous && *previous >= 5'000) {
        ++checked;
        fault.Check(std::abs(left - *previous) <= *previous / 5, at,
                    QStringLiteral("剩余 %1 s after %2 s").arg(left / 1000.0).arg(*previous / 1000.0));
      }
      previous = left;
      const int64_t truth = start + c.run.steps.back().atMs - w.Now();
      if (at >= c.settledMs && truth >= 5'000)
        fault.Check(std::abs(left - truth) <= truth / 5, at,
                    QStringLiteral("剩余 %1 s where %2 s remained").arg(left / 1000.0).arg(truth / 1000.0));
    });
    EXPECT_EQ(fault.text, "");
    EXPECT_GT(checked, 20);
  }
}

TEST(RunWatch, ABucketNeverShowsMoreCyclesPerMinuteThanTheRigRanInIt) {
  const struct {
    const char* what;
    PacedRun run;
    double fastestCycleSeconds;
    bool heedRefusals;
  } cases[] = {
      {"200 次/分", PacedRun().Cycles(600, 0.3), 0.3, false},
      {"a 9 s silence starting 1 s into a bucket", PacedRun().Cycles(36, 0.3).Quiet(9).Cycles(300, 0.3), 0.3, false},
      {"a 9 s silence starting 8 s into a bucket", PacedRun().Cycles(60, 0.3).Quiet(9).Cycles(300, 0.3), 0.3, false},
      {"a refusal, 30 s waiting, 继续测试",
       PacedRun().Cycles(100, 0.3).Refused(0.3).ContinueAfter(30).Cycles(300, 0.3), 0.3, true},
      {"the statuses of three cycles lost across a bucket's start, and after a stall",
       PacedRun().Cycles(32, 0.3).Lost(3, 0.3).Cycles(50, 0.3).Quiet(20).Lost(3, 0.3).Cycles(100, 0.3), 0.3, false},
      {"half an hour of 2.4 s cycles, off by up to 20 % (buckets merge)", PacedRun().Cycles(750, 2.4, 0.2), 1.92, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(1, 1, 10000, c.heedRefusals);
    FirstFault fault;
    size_t drawn = 0;
    Play(w, c.run, [&](int64_t at) {
      const TRateHistory& h = w.watch.History();
      const int64_t until = w.watch.HistoryUntil();
      const std::vector<RatePoint> points = RatePoints(h, until);
      drawn = std::max(drawn, points.size());
      for (size_t i = 0; i < points.size(); ++i) {
        const int64_t from = h.StartMs() + static_cast<int64_t>(i) * h.WidthMs();
        const int64_t span = std::min(h.WidthMs(), until - from);
        const int ran = Between(w.cycleTimes, from, std::min(from + h.WidthMs(), until + 1));
        const double shownCycles = points[i].PerMinute * static_cast<double>(span) / 60'000.0;
        fault.Check(shownCycles <= ran + 1e-9, at,
                    QStringLiteral("bucket %1: %2 cycles shown, %3 run").arg(i).arg(shownCycles).arg(ran));
        // Above the rig's fastest pace by at most one cycle in half a bucket,
        // however the bucket's time falls between the cycles.
        const double fastest = 60.0 / c.fastestCycleSeconds + 60'000.0 / (h.WidthMs() / 2.0);
        fault.Check(points[i].PerMinute <= fastest + 1e-9, at,
                    QStringLiteral("bucket %1: %2 次/分 over %3 s").arg(i).arg(points[i].PerMinute).arg(span / 1000.0));
      }
    });
    EXPECT_EQ(fault.text, "");
    EXPECT_GT(drawn, 2u);
  }
}

TEST(RunWatch, TheReturnIsLoggedWhateverComesWithIt) {
  const struct {
    const char* what;
    std::function<void(Watched&)> after;  // what ends 61 s without a report
    std::optional<QString> logged;
    QString state;
  } cases[] = {
      {"an action", [](Watched& w) { w.s.Status(++w.count, kAllOpen); },
       QStringLiteral("工位1：控制器恢复报告动作（停了1分1秒）"), QStringLiteral("状态：已恢复，停了 00:01:01")},
      {"the last action and the finish report together",
       [](Watched& w) {
         w.s.Status(++w.count, kAllOpen);
         w.s.Status(w.count, kAllClosed);
         w.s.Finished();
       },
       QStringLiteral("工位1：控制器恢复报告动作（停了1分1秒），测试已结束"), QStringLiteral("状态：测试已结束，未保存")},
      {"the finish report alone", [](Watched& w) { w.s.Finished(); },
       QStringLiteral("工位1：控制器恢复报告动作（停了1分1秒），测试已结束"), QStringLiteral("状态：测试已结束，未保存")},
      {"the operator's cancel", [](Watched& w) { w.s.PressStart(); }, std::nullopt,
       QStringLiteral("状态：测试已取消，未保存")},
      {"a lost line", [](Watched& w) { w.s.LoseLine(); }, std::nullopt, QStringLiteral("状态：测试已停止，未保存")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(10, 10, 6);
    for (int i = 0; i < 5; ++i) w.Cycle(20);
    w.Wait(61);
    ASSERT_TRUE(w.watch.Poll().has_value());
    ASSERT_TRUE(w.watch.Figures().Silent);
    c.after(w);
    EXPECT_EQ(w.watch.Poll(), c.logged);
    EXPECT_EQ(w.watch.Poll(), std::nullopt) << "said once";
    EXPECT_EQ(TextsOf(w.watch.Figures()).State, c.state);
  }
}

TEST(RunWatchTexts, ACancelledAFinishedAndACutOffTestReadDifferentlyWhateverTheLinkDoesNext) {
  const struct {
    const char* what;
    std::function<void(Watched&)> end;
    QString state;
  } cases[] = {
      {"cancelled with 取消测试", [](Watched& w) { w.s.PressStart(); }, QStringLiteral("状态：测试已取消，未保存")},
      {"finished by the controller", [](Watched& w) { w.s.Finished(); }, QStringLiteral("状态：测试已结束，未保存")},
      {"cut off by a lost line", [](Watched& w) { w.s.LoseLine(); }, QStringLiteral("状态：测试已停止，未保存")},
      {"cut off by the controller's disconnect", [](Watched& w) { w.s.Reply(kLinkDisconnected); },
       QStringLiteral("状态：测试已停止，未保存")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(10, 10);
    w.Cycle(20);
    c.end(w);
    w.watch.Poll();
    EXPECT_EQ(TextsOf(w.watch.Figures()).State, c.state);
    EXPECT_EQ(StatusLine(1, w.watch.Figures()).contains(c.state.mid(3)), true) << StatusLine(1, w.watch.Figures()).toStdString();
    w.s.LoseLine();  // what the line does afterwards changes nothing
    w.watch.Poll();
    EXPECT_EQ(TextsOf(w.watch.Figures()).State, c.state);
  }
}

TEST(RunWatchTexts, DurationsAndOperationOutcomes) {
  EXPECT_EQ(DurationText(0), QStringLiteral("00:00:00"));
  EXPECT_EQ(DurationText(59'999), QStringLiteral("00:00:59"));
  EXPECT_EQ(DurationText(3'723'000), QStringLiteral("01:02:03"));
  EXPECT_EQ(DurationText(2 * 86'400'000LL + 61'000), QStringLiteral("2天 00:01:01"));

  // An operation test shows its actions and how the last one went.
  Watched w;
  w.s.Connect();
  w.s.view.CheckMode(5);  // 分合分: three actions
  w.s.view.CheckRefusalOption(10);
  w.s.PressStart();
  w.s.Status(1, kAllOpen);
  w.s.Status(1, 0x14);  // closing: A1 stays open
  RunWatchTexts t = TextsOf(w.watch.Figures());
  EXPECT_EQ(t.Progress, QStringLiteral("操作实验 第2步，共3步：A1拒合"));
  EXPECT_EQ(t.ProgressValue, 2);
  EXPECT_EQ(t.ProgressMaximum, 3);
  EXPECT_EQ(t.Rate, QStringLiteral("速率：—"));
  EXPECT_EQ(t.Left, QStringLiteral("剩余：—"));

  // Every time of day on the panel in one form.
  RunWatchFigures f;
  f.HasRun = true;
  f.Plan = {17, true, 500, 2, 20'000};
  f.Run = RunState::Running;
  f.EndAtMs = QDateTime(QDate(2026, 12, 7), QTime(18, 31, 20)).toMSecsSinceEpoch();
  f.LastRefusalAtMs = QDateTime(QDate(2026, 1, 9), QTime(8, 5, 2)).toMSecsSinceEpoch();
  f.LastRefusalCount = 7;
  f.RefusedActions = 1;
  t = TextsOf(f);
  EXPECT_EQ(t.EndAt, QStringLiteral("预计结束：12-07 18:31"));
  EXPECT_EQ(t.LastRefusalAt, QStringLiteral("01-09 08:05"));
}

}  // namespace
}  // namespace rig
