// Whole tests run by the real window against the simulated controllers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <numeric>

#include "SimulatedRig.h"
#include "protocol/Frame.h"
#include "station/RunWatch.h"
#include "station/RunWatchTexts.h"
#include "storage/TestSearch.h"
#include "testing/RateHistory.h"
#include "testing/RunObserver.h"
#include "ui/RunWatchPanel.h"
#include "ui/StationPanel.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

using sim::SimOptions;

constexpr int kStation = 2;

struct TestRunEndToEnd : rigtest::SimulatedRig {
  StationShared& Shared() { return *window->Shared().Station(kStation); }
  void Connect() {
    Find<QAbstractButton>("SpeedButton2")->click();
    // Connected, and the controller's first settings report is on the panel.
    ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Model.Connected() && !Shared().Model.AwaitingFirstReport(); }));
  }
  void SetParameter(int number, const char* text) {
    Find<QLineEdit>(QStringLiteral("Edit%1").arg(FindParameter(number)->EditNumber[kStation - 1]))->setText(text);
  }
  // A five-cycle life close-open test: 1 ms and 1 s (a millisecond here).
  void ChooseShortLifeCloseOpen() {
    Find<QRadioButton>("RadioButton23")->click();
    SetParameter(10, "1");
    SetParameter(11, "1");
    SetParameter(12, "5");
  }
  bool Finished() {
    return Shared().Model.Run() == RunState::Ended && Find<QAbstractButton>("SpeedButton10")->isEnabled();
  }
  // The action statuses the controller sent, as (count, break byte).
  std::vector<std::pair<int, int>> SentActions() {
    std::vector<std::pair<int, int>> out;
    for (const QByteArray& f : sim->Sent(kStation)) {
      if (f.size() == 13 && uint8_t(f[1]) == kCodeStatus) out.emplace_back(uint8_t(f[4]) | uint8_t(f[5]) << 8, uint8_t(f[8]));
    }
    return out;
  }
  std::vector<std::pair<int, int>> QueuedActions() {
    std::vector<std::pair<int, int>> out;
    for (const auto& r : Shared().Actions) out.emplace_back(r->Count, r->Closed[0] | r->Closed[1] << 2 | r->Closed[2] << 4);
    return out;
  }
};

TEST_F(TestRunEndToEnd, ALifeTestRunsToItsEndAndIsSavedAndFoundAgain) {
  Start();
  Connect();
  ChooseShortLifeCloseOpen();
  Find<QAbstractButton>("SpeedButton7")->click();
  EXPECT_EQ(Find<QAbstractButton>("SpeedButton7")->text(), QStringLiteral("取消测试"));
  ASSERT_TRUE(rigtest::WaitFor([&] { return Finished(); }, 10000));
  EXPECT_EQ(Find<QAbstractButton>("SpeedButton7")->text(), QStringLiteral("开始测试"));
  EXPECT_EQ(Shared().Run.CountDone, 5);
  EXPECT_EQ(Find<QLabel>("Label77")->text(), "5");
  EXPECT_EQ(Shared().Actions.size(), 10u);
  EXPECT_EQ(QueuedActions(), SentActions());
  // Station 1 saw none of it.
  EXPECT_TRUE(window->Shared().Station(1)->Actions.empty());
  EXPECT_TRUE(notifier->notices.empty());

  Find<QAbstractButton>("SpeedButton10")->click();
  EXPECT_EQ(notifier->Texts(), QStringList({QStringLiteral("保存数据成功！")}));
  SearchFilter filter;
  filter.From = filter.To = QDate::currentDate();
  const std::vector<SearchRow> rows = SearchTests(dir.Path(), filter);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].ModeText, QStringLiteral("寿命试验（合分）"));
  EXPECT_EQ(rows[0].DoneCount, "5");
  EXPECT_EQ(rows[0].SetCount, "5");
}

TEST_F(TestRunEndToEnd, CancelStopsTheRunAndOffersTheSave) {
  SimOptions options;
  Start(options);
  Connect();
  ChooseShortLifeCloseOpen();
  SetParameter(11, "3000");  // long waits, so the cancel comes mid-test
  Find<QAbstractButton>("SpeedButton7")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return !Shared().Actions.empty(); }));
  Find<QAbstractButton>("SpeedButton7")->click();
  EXPECT_FALSE(Shared().Model.IsRunning());
  EXPECT_TRUE(Find<QAbstractButton>("SpeedButton10")->isEnabled());
  ASSERT_TRUE(rigtest::WaitFor([&] {
    const auto got = sim->Received(kStation);
    return !got.empty() && got.back() == QByteArray(1, char(kCancelByte));
  }));
}

TEST_F(TestRunEndToEnd, ALineDroppedMidTestComesBackAndTheTestFinishesWithNothingLostOrDoubled) {
  SimOptions options;
  options.LinkDir = dir.File("sim");
  options.FaultStation = kStation;
  options.Controller.DropLineAt = 5;  // the close of the third cycle
  options.RestoreAfterMs = 300;
  Start(options);
  Connect();
  ChooseShortLifeCloseOpen();
  Find<QAbstractButton>("SpeedButton7")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return window->Link(kStation).LineLost(); }, 5000));
  EXPECT_FALSE(Find<QLineEdit>("Edit38")->isEnabled());
  const size_t before = Shared().Actions.size();
  EXPECT_EQ(before, 5u);

  // The port is reopened by itself, the handshake made, the panel unlocked and
  // the controller's count loaded; the operator starts again to continue.
  ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Model.Connected() && !Shared().Model.AwaitingFirstReport(); }, 10000));
  EXPECT_EQ(Shared().Run.CountDone, 3);
  EXPECT_EQ(Shared().Actions.size(), before);
  Find<QAbstractButton>("SpeedButton7")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return Finished(); }, 10000));
  EXPECT_EQ(Shared().Run.CountDone, 5);
  // Every status the controller sent is queued once, in order; the cycle cut
  // by the drop was run again by the controller and shows as such.
  EXPECT_EQ(QueuedActions(), SentActions());
  EXPECT_EQ(Shared().Actions.size(), 11u);
  ASSERT_EQ(notifier->notices.size(), 2u);
  EXPECT_TRUE(notifier->notices[0].text.contains(QStringLiteral("通讯中断")));
  EXPECT_TRUE(notifier->notices[1].text.contains(QStringLiteral("已恢复")));
}

}  // namespace
}  // namespace rig

namespace rig {
namespace {

// Every mode on either station, to its end, against the simulated controller.
struct EveryModeEndToEnd : TestRunEndToEnd, ::testing::WithParamInterface<std::tuple<int, int>> {};

int ModeRadioNumber(int station, int mode) {
  const int index = mode <= 5 ? mode : mode - 11;  // 1..9
  return (station == 1 ? 0 : 16) + index;
}

TEST_P(EveryModeEndToEnd, RunsToItsEndWithEveryActionQueuedOnce) {
  const auto [station, mode] = GetParam();
  Start();
  Find<QAbstractButton>(station == 1 ? "SpeedButton1" : "SpeedButton2")->click();
  StationShared& s = *window->Shared().Station(station);
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Model.Connected() && !s.Model.AwaitingFirstReport(); }));
  for (const ParameterDef& p : Parameters()) {
    const char* text = p.Range == ParameterRange::SetCount ? "2" : "1";
    Find<QLineEdit>(QStringLiteral("Edit%1").arg(p.EditNumber[station - 1]))->setText(text);
  }
  Find<QRadioButton>(QStringLiteral("RadioButton%1").arg(ModeRadioNumber(station, mode)))->click();
  Find<QAbstractButton>(station == 1 ? "SpeedButton3" : "SpeedButton7")->click();
  QAbstractButton* save = Find<QAbstractButton>(station == 1 ? "SpeedButton6" : "SpeedButton10");
  ASSERT_TRUE(rigtest::WaitFor([&] { return !s.Model.IsRunning() && save->isEnabled(); }, 10000));
  const size_t expected = mode <= 2 ? 1 : mode <= 4 ? 2 : mode == 5 ? 3 : mode == 20 ? 8 : 4;
  EXPECT_EQ(s.Actions.size(), expected);
  EXPECT_EQ(s.Run.Mode, mode);
  std::vector<int> numbers;
  for (const auto& r : s.Actions) numbers.push_back(r->ActionNo);
  std::vector<int> counting(expected);
  std::iota(counting.begin(), counting.end(), 1);
  EXPECT_EQ(numbers, counting);
  for (const auto& r : s.Actions) {
    for (const QString& mark : r->Marks) EXPECT_TRUE(mark.isEmpty());
  }
  EXPECT_TRUE(window->Shared().Station(3 - station)->Actions.empty());
}

INSTANTIATE_TEST_SUITE_P(BothStations, EveryModeEndToEnd,
                         ::testing::Combine(::testing::Values(1, 2),
                                            ::testing::Values(1, 2, 3, 4, 5, 17, 18, 19, 20)));

TEST_F(TestRunEndToEnd, ARefusedActionIsMarkedAndTheTestContinuesOnRequest) {
  SimOptions options;
  options.Controller.Refusals.push_back({1, true, 1});  // B1 does not close at the first action
  Start(options);
  Connect();
  Find<QRadioButton>("RadioButton27")->click();  // 不忽略拒动作
  Find<QRadioButton>("RadioButton19")->click();  // 合分
  SetParameter(3, "1");
  Find<QAbstractButton>("SpeedButton7")->click();
  QAbstractButton* proceed = Find<QAbstractButton>("SpeedButton8");
  ASSERT_TRUE(rigtest::WaitFor([&] { return proceed->isEnabled(); }));
  EXPECT_EQ(Find<QLabel>("Label103")->text(), QStringLiteral("拒合"));
  EXPECT_EQ(Find<QLabel>("Label102")->text(), QString());
  ASSERT_EQ(Shared().Actions.size(), 1u);
  EXPECT_EQ(Shared().Actions.front()->Marks[1], QStringLiteral("拒合"));

  proceed->click();  // the controller waits for this
  ASSERT_TRUE(rigtest::WaitFor([&] { return Finished(); }));
  EXPECT_EQ(Shared().Actions.size(), 2u);
  EXPECT_EQ(Find<QLabel>("Label103")->text(), QString());
  EXPECT_EQ(sim->Received(kStation).back(), QByteArray(1, char(kContinueByte)));
}

TEST_F(TestRunEndToEnd, StartingTheSameModeAgainResumesFromTheControllersCount) {
  Start();
  Connect();
  ChooseShortLifeCloseOpen();
  Find<QAbstractButton>("SpeedButton7")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return Finished(); }, 10000));
  SetParameter(12, "7");  // two cycles more
  notifier->unsavedAnswer = UnsavedChoice::Discard;
  Find<QAbstractButton>("SpeedButton7")->click();
  EXPECT_EQ(notifier->unsavedQuestions.size(), 1u) << "the finished test was not saved: asked first";
  // Same mode: only the settings query goes out; the report starts the run.
  ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Model.IsRunning(); }));
  ASSERT_TRUE(rigtest::WaitFor([&] { return Finished(); }, 10000));
  EXPECT_EQ(Shared().Run.CountDone, 7);
  // The controller was told to go on from cycle 5 (count reached minus one)
  // and ran cycles 5 to 7; the new run's queue holds those actions.
  std::vector<int> counts;
  for (const auto& r : Shared().Actions) counts.push_back(r->Count);
  EXPECT_EQ(counts, (std::vector<int>{5, 5, 6, 6, 7, 7}));
}

}  // namespace
}  // namespace rig

namespace rig {
namespace {

// When each new count reached the window thread, on the watch's own clock.
struct CycleClock : IRunObserver {
  std::vector<int64_t> times;
  int32_t last = 0;
  void RunStarted() override {}
  void RunDiscarded() override {}
  void ActionQueued(const ActionRecord& record) override {
    if (record.Count <= last) return;
    last = record.Count;
    using namespace std::chrono;
    times.push_back(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  int Between(int64_t fromMs, int64_t toMs) const {
    return static_cast<int>(std::lower_bound(times.begin(), times.end(), toMs) -
                            std::lower_bound(times.begin(), times.end(), fromMs));
  }
};

// A paced controller (20 times real speed, as run.sh starts it) watched for
// a few seconds through the real window's live view.
TEST_F(TestRunEndToEnd, ThePacedRigsLiveFiguresNeverRunAheadOfWhatItDid) {
  speed = 20;
  Start();
  CycleClock cycles;
  window->TestControl(kStation).AddRunObserver(&cycles);
  Setup(kStation, 17, "30000");  // 单分单合, 1 s delays: 50 ms here
  StartTest(kStation);
  ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Model.IsRunning(); }));
  const TRunWatch& watch = window->Station(kStation).Watch();
  std::optional<int64_t> previousLeft;
  int sampled = 0;
  size_t drawn = 0;
  for (int tick = 0; tick < 30; ++tick) {  // six seconds on the window's 200 ms timer
    QTest::qWait(200);
    const RunWatchFigures f = watch.Figures();
    const int64_t now = watch.Now();
    const QString rate = window->Panel(kStation).RunWatch().Shown().Rate;
    if (cycles.times.size() < 2) {
      EXPECT_EQ(rate, QStringLiteral("速率：—"));
      continue;
    }
    ++sampled;
    ASSERT_TRUE(f.CyclesLastMinute);
    EXPECT_LE(*f.CyclesLastMinute, cycles.Between(now - 60'000 + 1, now + 1));
    EXPECT_GE(*f.CyclesLastMinute, 2);
    const TRateHistory& h = watch.History();
    const int64_t until = watch.HistoryUntil();
    const std::vector<RatePoint> points = RatePoints(h, until);
    drawn = points.size();
    for (size_t i = 0; i < points.size(); ++i) {
      const int64_t from = h.StartMs() + static_cast<int64_t>(i) * h.WidthMs();
      const int64_t span = std::min(h.WidthMs(), until - from);
      // One cycle of leeway: the watch and this clock read the time a moment apart.
      EXPECT_LE(points[i].PerMinute * span / 60'000.0, cycles.Between(from, from + span + 1) + 1.0) << i;
    }
    if (tick % 5 == 4 && f.LeftMs) {  // once a second
      if (previousLeft && *previousLeft >= 5'000) EXPECT_LE(std::abs(*f.LeftMs - *previousLeft), *previousLeft / 5);
      previousLeft = f.LeftMs;
    }
  }
  EXPECT_GT(sampled, 10);
  EXPECT_GE(drawn, 1u) << "the first bucket is drawn once half of it has passed";
  EXPECT_GT(cycles.times.size(), 10u) << "the simulator ran";
  window->TestControl(kStation).RemoveRunObserver(&cycles);
}

}  // namespace
}  // namespace rig
