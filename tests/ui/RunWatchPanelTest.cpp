// The live view in the real window: it fits below each station's buttons
// without covering the panel's controls, its words fit their places, it is
// drawn on the window's timer and never from the receive path, and a silent
// controller shows on the panel, in the status bar and in the run log.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "core/GbkText.h"
#include "support/ControllerReplies.h"
#include "support/RecordingWriter.h"
#include "station/RunWatchTexts.h"
#include "ui/QuietWindow.h"
#include "ui/RateChart.h"
#include "ui/RunWatchPanel.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

struct RunWatchWindow : rigtest::QuietWindow {
  int64_t now = 1'796'000'000'000;  // a made-up clock for both stations' watches

  RunWatchWindow() {
    window->resize(1277, 1021);
    for (int s = 1; s <= 2; ++s) {
      window->SetStationWriter(s, std::make_unique<rigtest::RecordingWriter>());
      window->Station(s).Watch().SetClock([this] { return now; });
      window->Link(s).OnLinkReply(kLinkAccepted);
    }
  }
  void StartLifeTest(int station) {
    TStationPanel& p = window->Panel(station);
    p.CheckMode(17);  // 10 s + 10 s delays, 500 cycles
    window->TestControl(station).StartButtonClick();
  }
  void Status(int station, int32_t count, uint8_t bits) {
    const QByteArray f = rigtest::ActionStatus(station, count, bits);
    window->TestControl(station).OnStatusFrame(rigtest::Data(f), static_cast<int>(f.size()));
  }
  QString Label(int station, const char* name) {
    return window->Panel(station).RunWatch().findChild<QLabel*>(QLatin1String(name))->text();
  }
};

// The widest figures the view can show: a run of 99 days, big counts, a
// reconnecting line; each variant puts another of the longest state words
// on the panel.
std::vector<RunWatchFigures> WidestFigures(int64_t now) {
  RunWatchFigures worst;
  worst.HasRun = true;
  worst.Run = RunState::Running;
  worst.Link = LinkState::Lost;
  worst.Reconnecting = true;
  worst.Plan = {17, true, 999999, 2, 6'000'000};
  worst.CountDone = 999999;
  worst.ActionsDone = 999999;
  worst.ElapsedMs = 99 * 86'400'000LL - 1;
  worst.CyclesLastMinute = 99999;
  worst.ExpectedRatePerMinute = 9999.9;
  worst.LeftMs = 99 * 86'400'000LL - 1;
  worst.EndAtMs = QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)).toMSecsSinceEpoch();
  worst.Refusals.fill({999999, 999999});
  worst.RefusedActions = 999999;
  worst.LastRefusalCount = 999999;
  worst.LastRefusalAtMs = worst.EndAtMs;
  std::vector<RunWatchFigures> all;
  auto add = [&](auto change) {
    RunWatchFigures f = worst;
    change(f);
    all.push_back(f);
  };
  add([](RunWatchFigures& f) {
    f.Silent = true;
    f.SilentForMs = 99 * 86'400'000LL - 1;
  });
  add([](RunWatchFigures& f) { f.Paused = true; });
  add([](RunWatchFigures& f) { f.ResumedAfterMs = 99 * 86'400'000LL - 1; });
  add([](RunWatchFigures& f) { f.Run = RunState::StartRequested; });
  for (RunEnding e : {RunEnding::Cancelled, RunEnding::Finished, RunEnding::LineCut, RunEnding::NotStarted})
    add([e](RunWatchFigures& f) {
      f.Run = RunState::Ended;
      f.Ending = e;
      f.Link = LinkState::Open;
      f.Reconnecting = false;
    });
  add([](RunWatchFigures& f) {  // an operation test, every break refused
    f.Plan = {5, false, 0, 3, 0};
    f.ActionsDone = 3;
    f.LastMarks = {QStringLiteral("拒合"), QStringLiteral("拒合"), QStringLiteral("拒合")};
  });
  return all;
}

TEST_F(RunWatchWindow, FitsBelowTheButtonsAndItsLongestWordsFitTheirPlaces) {
  for (int s = 1; s <= 2; ++s) {
    SCOPED_TRACE(s);
    TStationPanel& panel = window->Panel(s);
    TRunWatchPanel& view = panel.RunWatch();
    const QRect box = panel.contentsRect();
    EXPECT_TRUE(box.top() < view.geometry().top() && view.geometry().bottom() <= box.bottom() &&
                view.geometry().right() <= box.right())
        << "inside the station box at the window's size";
    for (QWidget* sibling : panel.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (sibling != &view && sibling->isVisible()) {
        EXPECT_FALSE(sibling->geometry().intersects(view.geometry())) << sibling->objectName().toStdString();
      }
    }
    int measured = 0;
    for (const RunWatchFigures& worst : WidestFigures(now)) {
      view.Draw(worst, window->Station(s).Watch());
      for (QLabel* label : view.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty()) continue;
        ++measured;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
            << label->text().toStdString();
      }
      auto* bar = view.findChild<QProgressBar*>();
      EXPECT_LE(bar->fontMetrics().horizontalAdvance(bar->text()), bar->contentsRect().width() - 8)
          << bar->text().toStdString();
    }
    EXPECT_GT(measured, 100);
  }
}

TEST_F(RunWatchWindow, DrawnOnTheTimerOnlyAndTheChartAtMostOncePerTick) {
  EXPECT_GE(window->WatchTimer().interval(), 200) << "at most five times a second";
  StartLifeTest(1);
  window->WatchTimerTimer();
  TRunWatchPanel& view = window->Panel(1).RunWatch();
  const int chartDraws = view.ChartDraws();
  const QString shown = view.Shown().Progress;
  for (int c = 1; c <= 1000; ++c) {
    now += 10'000;
    Status(1, c, 0x00);
    now += 10'000;
    Status(1, c, 0x15);
  }
  EXPECT_EQ(view.Shown().Progress, shown) << "the receive path draws nothing";
  EXPECT_EQ(view.ChartDraws(), chartDraws);
  window->WatchTimerTimer();
  EXPECT_EQ(view.ChartDraws(), chartDraws + 1);
  EXPECT_EQ(view.findChild<QProgressBar*>()->value(), 500);
  EXPECT_EQ(Label(1, "Rate"), QStringLiteral("速率：3 次/分"));
  EXPECT_EQ(Label(1, "SetRate"), QStringLiteral("设定：3.0 次/分"));
  EXPECT_LE(view.Chart().PointCount(), TRateHistory::kMaxBuckets);
  EXPECT_GT(view.Chart().PointCount(), TRateHistory::kMaxBuckets / 2);
}

TEST_F(RunWatchWindow, ASilentControllerShowsOnThePanelInTheStatusBarAndInTheRunLog) {
  StartLifeTest(2);
  for (int c = 1; c <= 3; ++c) {
    now += 10'000;
    Status(2, c, 0x00);
    now += 10'000;
    Status(2, c, 0x15);
  }
  window->WatchTimerTimer();
  auto* bar = window->statusBar()->findChild<QLabel*>(QStringLiteral("StationStatus"));
  EXPECT_TRUE(bar->text().startsWith(QStringLiteral("工位1：空闲　"))) << bar->text().toStdString();
  EXPECT_TRUE(bar->text().contains(QStringLiteral("工位2：运行中 3/500次 3次/分"))) << bar->text().toStdString();

  now += 61'000;  // three 20 s cycles and a second
  window->WatchTimerTimer();
  EXPECT_EQ(Label(2, "RunWords"), QStringLiteral("状态：控制器无响应 00:01:01"));
  EXPECT_TRUE(bar->text().contains(QStringLiteral("工位2：控制器无响应"))) << bar->text().toStdString();
  now += 10'000;
  Status(2, 4, 0x00);
  window->WatchTimerTimer();
  EXPECT_EQ(Label(2, "RunWords"), QStringLiteral("状态：已恢复，停了 00:01:11"));
  now += 60'000;
  Status(2, 4, 0x15);
  window->WatchTimerTimer();
  EXPECT_EQ(Label(2, "RunWords"), QStringLiteral("状态：运行中")) << "said for a minute";

  QFile log(window->Shared().LogFileName());
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString text = FromGbk(log.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral("工位2：控制器已1分1秒没有报告动作，测试仍在进行")));
  EXPECT_TRUE(text.contains(QStringLiteral("工位2：控制器恢复报告动作（停了1分11秒）")));
}

}  // namespace
}  // namespace rig
