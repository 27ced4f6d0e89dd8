// The real window on simulated controllers, tried as a hostile operator and
// a controller that never stops would: the controller reports while the
// recovery question is open, the line is lost while "save first?" is open.
#include <gtest/gtest.h>

#include "SimulatedRig.h"
#include "core/GbkText.h"
#include "core/IniFile.h"
#include "protocol/Frame.h"
#include "storage/JournalRecovery.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "support/RecordingWriter.h"
#include "support/WaitFor.h"
#include "station/StationView.h"
#include "testing/TestModes.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

struct HostileEndToEnd : rigtest::SimulatedRig {
  int StartFramesTaken(int station) const {
    int n = 0;
    for (const QByteArray& c : sim->Received(station))
      if (c.size() == 109 && static_cast<uint8_t>(c[1]) == kCodeStart) ++n;
    return n;
  }
  void ReadFor(int ms) { rigtest::WaitFor([] { return false; }, ms); }
};

// Killed mid-test while the controller runs on; at the restart the operator
// reads the recovery question for a while before pressing 确定.
TEST_F(HostileEndToEnd, RecoverySavesExactlyTheTestItOfferedWhileTheControllerStillReports) {
  Start();
  Setup(1, kLifeCloseOpen, "30000");
  window->Panel(1).SetIdentityText(kSwitchModel, QStringLiteral("ZN63A-12 被恢复的开关"));
  StartTest(1);
  StationShared& s = *window->Shared().Station(1);
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Actions.size() >= 60; }, 10000));
  window->Journal(1).Journal().Flush(2000);
  // Gone without a word to the controllers, which go on.
  for (int station : {1, 2}) window->SetStationWriter(station, std::make_unique<rigtest::RecordingWriter>());
  window.reset();
  TIniFile(dir.File("Config.ini")).WriteString("Config", "OpenType1", QStringLiteral("面板上另一台开关"));
  const std::vector<LeftoverJournal> offered = FindLeftoverJournals(dir.Path());
  ASSERT_EQ(offered.size(), 1u);
  ASSERT_GE(offered[0].ActionCount, 60);

  auto n = std::make_unique<rigtest::RecordingNotifier>();
  notifier = n.get();
  notifier->onAsk = [this] { ReadFor(1500); };  // statuses keep coming meanwhile
  window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
  window->show();
  ASSERT_TRUE(rigtest::WaitFor([&] { return notifier->Texts().contains(QStringLiteral("未保存的测试已恢复并保存。")); }, 10000))
      << notifier->Texts().join(" | ").toStdString();
  ASSERT_EQ(notifier->confirmations.size(), 1u);
  EXPECT_TRUE(notifier->confirmations[0].contains(QStringLiteral("已记录 %1 次动作").arg(offered[0].ActionCount)))
      << notifier->confirmations[0].toStdString();

  TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
  auto row = db.QueryTable("SELECT DetailSaveDBName, iDealType, OpenType FROM TestInfo");
  ASSERT_EQ(row->RowCount(), 1);
  EXPECT_EQ(row->ValueText(1), QByteArray::number(kLifeCloseOpen));
  EXPECT_EQ(FromGbk(row->ValueText(2)), QStringLiteral("ZN63A-12 被恢复的开关"));
  TSQLiteDatabase detail(row->ValueText(0));
  EXPECT_EQ(detail.QueryTable("SELECT COUNT(*) FROM ControlState")->ValueText(0).toLongLong(),
            offered[0].ActionCount);
}

// "保存/放弃/取消" open over a held test, the line is lost, the operator
// answers 保存: the save is made and nothing starts, then or after the line
// is back.
TEST_F(HostileEndToEnd, ALineLostWhileTheQuestionIsOpenStartsNothing) {
  Start();
  Setup(1, kLifeCloseOpen, "530");
  StartTest(1);
  StationShared& s = *window->Shared().Station(1);
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Actions.size() >= 5; }, 10000));
  StartTest(1);  // 取消测试
  ASSERT_TRUE(rigtest::WaitFor([&] { return !s.Model.IsRunning(); }));
  const int startsBefore = StartFramesTaken(1);
  notifier->unsavedAnswer = UnsavedChoice::Save;
  notifier->onAsk = [&] {
    window->Link(1).OnPortFailed(QStringLiteral("cable pulled"));
    ReadFor(1200);
  };
  Find<QRadioButton>("RadioButton8")->click();  // another life mode: the press would start at once
  StartTest(1);
  ASSERT_EQ(notifier->unsavedQuestions.size(), 1u);
  EXPECT_TRUE(notifier->Texts().contains(QStringLiteral("保存数据成功！")));
  EXPECT_FALSE(s.Model.IsRunning());
  EXPECT_EQ(Find<QAbstractButton>("SpeedButton3")->text(), QStringLiteral("开始测试"));
  // The line comes back and the station connects again.
  notifier->onAsk = nullptr;
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Model.Connected(); }, 10000));
  ReadFor(500);
  EXPECT_FALSE(s.Model.IsRunning());
  EXPECT_EQ(StartFramesTaken(1), startsBefore);
}

}  // namespace
}  // namespace rig
