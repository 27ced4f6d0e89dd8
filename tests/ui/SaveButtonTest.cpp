// The save button of a station, in the real window.
#include <gtest/gtest.h>

#include <QAbstractButton>

#include "ui/QuietWindow.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "support/QuietPorts.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "protocol/Frame.h"
#include "ui/Mainfrm.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

struct SaveButtonTest : rigtest::QuietWindow {

  // A finished two-action test on `station`, ready to save.
  void FinishedTest(int station) {
    window->Link(station).OnLinkReply(kLinkAccepted);  // as if the controller answered
    StationShared& s = *window->Shared().Station(station);
    s.Run.Mode = 3;
    s.Run.CountDone = 1;
    s.State.StartTime = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0));
    s.State.EndTime = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 5));
    for (int no = 1; no <= 2; ++no) {
      auto r = std::make_unique<ActionRecord>();
      r->Count = 1;
      r->ActionNo = no;
      s.Actions.push_back(std::move(r));
    }
    window->Panel(station).SetSaveEnabled(true);
  }
  QAbstractButton* SaveButton(int station) {
    return window->findChild<QAbstractButton*>(station == 1 ? "SpeedButton6" : "SpeedButton10");
  }
  int SavedRows() {
    TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    return db.QueryTable("SELECT * FROM TestInfo")->RowCount();
  }
};

TEST_F(SaveButtonTest, SavingTellsTheOperatorAndDisablesTheButton) {
  FinishedTest(2);
  ASSERT_TRUE(SaveButton(2)->isEnabled());
  SaveButton(2)->click();
  EXPECT_EQ(notifier->Texts(), QStringList({QStringLiteral("保存数据成功！")}));
  EXPECT_FALSE(SaveButton(2)->isEnabled());
  EXPECT_TRUE(window->Shared().Station(2)->Actions.empty());
  EXPECT_EQ(SavedRows(), 1);
}

TEST_F(SaveButtonTest, AFailedSaveSaysSoAndKeepsEverythingForAnotherTry) {
  FinishedTest(1);
  {
    TSQLiteDatabase other(dir.File("SaveData.db").toUtf8());
    other.RunSQL("BEGIN EXCLUSIVE");
    SaveButton(1)->click();
    other.RunSQL("ROLLBACK");
  }
  ASSERT_EQ(notifier->notices.size(), 1u);
  EXPECT_TRUE(notifier->notices[0].text.startsWith(QStringLiteral("保存数据失败！")));
  EXPECT_TRUE(SaveButton(1)->isEnabled());
  EXPECT_EQ(window->Shared().Station(1)->Actions.size(), 2u);

  SaveButton(1)->click();
  EXPECT_EQ(notifier->notices.back().text, QStringLiteral("保存数据成功！"));
  EXPECT_EQ(SavedRows(), 1);
}

}  // namespace
}  // namespace rig
