// The live view's figures from a station driven frame by frame with a
// made-up clock: pace against the set pace and time left, refusals per
// break, a controller that goes silent and comes back, and a history that
// stays the same size however long the run.
#include <gtest/gtest.h>

#include <numeric>

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
    double rate;      // cycles in the last minute
    double leftSecs;  // for the 470 cycles still to go
  } cases[] = {
      {"at the set pace", 20, 3, 470 * 20},
      {"slower than set (the actions take time)", 30, 2, 470 * 30},
      {"faster than set", 15, 4, 470 * 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watched w;
    w.Start(10, 10);
    for (int i = 0; i < 30; ++i) w.Cycle(c.cycleSeconds);
    ASSERT_EQ(w.watch.Poll(), std::nullopt);
    const RunWatchFigures f = w.watch.Figures();
    EXPECT_EQ(f.CountDone, 30);
    ASSERT_TRUE(f.ExpectedRatePerMinute && f.RatePerMinute && f.LeftMs && f.EndAtMs);
    EXPECT_DOUBLE_EQ(*f.ExpectedRatePerMinute, 3.0);
    EXPECT_DOUBLE_EQ(*f.RatePerMinute, c.rate);
    EXPECT_NEAR(*f.LeftMs / 1000.0, c.leftSecs, c.leftSecs * 0.03);
    EXPECT_EQ(*f.EndAtMs - w.Now(), *f.LeftMs);
    EXPECT_EQ(f.ElapsedMs, static_cast<int64_t>(30 * c.cycleSeconds * kSecond));
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
  EXPECT_EQ(f.LastRefusalCount, 2);
  EXPECT_EQ(f.LastRefusalAtMs, w.Now());
  EXPECT_TRUE(f.Paused);

  w.Wait(600);  // the controller waits for 继续测试: no alarm
  EXPECT_EQ(w.watch.Poll(), std::nullopt);
  EXPECT_EQ(TextsOf(w.watch.Figures()).State, QStringLiteral("状态：拒动作，控制器等待继续测试"));

  w.s.PressContinue();
  w.Wait(59);
  EXPECT_EQ(w.watch.Poll(), std::nullopt) << "the silence is counted from the continue";
  w.Cycle(20, 0x01, kAllClosed);  // opening: A1 stays closed
  f = w.watch.Figures();
  EXPECT_EQ(f.Refusals[kBreakA1].Openings, 1);
  EXPECT_EQ(f.LastRefusalCount, 3);
  const RunWatchTexts t = TextsOf(f);
  EXPECT_EQ(t.Refusals[kBreakA1], (std::array<QString, 2>{QStringLiteral("1"), QStringLiteral("1")}));
  EXPECT_EQ(t.LastRefusal, QStringLiteral("第3次"));
  EXPECT_EQ(StatusLine(1, f), QStringLiteral("工位1：运行中 3/500次 1.0次/分 拒动作3"));
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

  // The chart's points add back up to the cycles: rate x time of each bucket.
  double fromPoints = 0;
  const std::vector<RatePoint> points = RatePoints(h, at);
  for (size_t i = 0; i < points.size(); ++i) {
    const int64_t from = h.StartMs() + static_cast<int64_t>(i) * h.WidthMs();
    fromPoints += points[i].PerMinute * static_cast<double>(std::min(h.WidthMs(), at - from)) / 60'000.0;
  }
  EXPECT_NEAR(fromPoints, static_cast<double>(added), 1e-6 * added);
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
}

}  // namespace
}  // namespace rig
