// Whole tests run by the real window against the simulated controllers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ControllerSim.h"
#include "core/IniFile.h"
#include "protocol/Frame.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "storage/TestSearch.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "testing/TestParameters.h"
#include "ui/Mainfrm.h"
#include "ui/UiTestSupport.h"

namespace rig {
namespace {

using sim::SimOptions;
using sim::TControllerSim;

constexpr int kStation = 2;

struct TestRunEndToEnd : ::testing::Test {
  rigtest::TempDir dir;
  std::unique_ptr<TControllerSim> sim;
  rigtest::RecordingNotifier* notifier = nullptr;
  std::unique_ptr<TfrmHX4417> window;

  void Start(SimOptions options = {}) {
    if (!options.LinkDir.isEmpty()) QDir().mkpath(options.LinkDir);
    options.Controller.Speed = 1000;
    options.Controller.ActionMs = 2;
    options.Baud = 0;
    options.Seed = 3;
    sim = std::make_unique<TControllerSim>(options);
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    TIniFile ini(dir.File("Config.ini"));
    for (int s : {1, 2}) {
      ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim->LinkPath(s).isEmpty() ? sim->DevicePath(s) : sim->LinkPath(s));
    }
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }
  template <class T = QWidget>
  T* Find(const QString& name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  StationShared& Shared() { return *window->Shared().Station(kStation); }
  void Connect() {
    Find<QAbstractButton>("SpeedButton2")->click();
    // Connected, and the controller's first settings report is on the panel.
    ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Connected && !Shared().State.FirstStatusPending; }));
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
  bool Finished() { return !Shared().State.TestRunning && Find<QAbstractButton>("SpeedButton10")->isEnabled(); }
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
  EXPECT_FALSE(Shared().State.TestRunning);
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
  ASSERT_TRUE(rigtest::WaitFor([&] { return Shared().Connected && !Shared().State.FirstStatusPending; }, 10000));
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
