// The switch history window lists this rig's items at once and merges the
// lab's when they come, each line naming its rig; a lab that fails leaves
// the rig's own list and says why.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTableWidget>
#include <stdexcept>

#include "../storage/SavedTestsFixture.h"
#include "endurance/ProgrammeStore.h"
#include "support/RecordingNotifier.h"
#include "ui/SwitchHistoryfrm.h"

using namespace rig;

namespace {

struct SwitchHistoryWindowTest : ::testing::Test {
  rigtest::SavedTestsFolder folder;
  rigtest::RecordingNotifier notifier;

  SwitchHistoryWindowTest() {
    folder.AddTest(QStringLiteral("F-9"), QStringLiteral("ZW32-12"), QStringLiteral("2026-12-05 08:00:00"), 18,
                   folder.AddLifeDetail(QStringLiteral("a.db"), 0), 0);
    Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"), 18);
    p.Station = 2;
    p.Identity.FactoryNumber = QStringLiteral("f-9");
    p.Identity.SwitchModel = QStringLiteral("ZW32-12");
    p.CreatedAt = QDateTime(QDate(2026, 12, 4), QTime(8, 0));
    TProgrammeStore(folder.Exe()).Save(p);
  }

  static SwitchHistoryItem LabItem(SwitchHistoryItem::Kind kind, int day, const QString& outcome) {
    SwitchHistoryItem i;
    i.What = kind;
    i.RigName = QStringLiteral("三号台");
    i.Station = 1;
    i.FactoryNumber = QStringLiteral("F-9");
    i.Start = QDateTime(QDate(2026, 12, day), QTime(9, 0));
    i.Outcome = outcome;
    i.LabId = QStringLiteral("lab-%1").arg(day);
    return i;
  }

  static QStringList Column(QTableWidget* t, int c) {
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) out << t->item(r, c)->text();
    return out;
  }
};

TEST_F(SwitchHistoryWindowTest, ListsTheRigsItemsThenMergesTheLabsInTimeOrder) {
  TfrmSwitchHistory window(folder.Exe(), notifier);
  auto* table = window.findChild<QTableWidget*>(QStringLiteral("HistoryTable"));
  ASSERT_NE(table, nullptr);
  std::vector<SwitchHistoryQuery> asked;
  window.labSource = [&asked](const SwitchHistoryQuery& q) {
    asked.push_back(q);
    return std::vector<SwitchHistoryItem>{LabItem(SwitchHistoryItem::Kind::Test, 6, QStringLiteral("B1拒合1次")),
                                          LabItem(SwitchHistoryItem::Kind::Programme, 1, QStringLiteral("已达到M1（2,000次）"))};
  };
  QSignalSpy answered(&window, &TfrmSwitchHistory::LabAnswered);
  window.SetQuery({QStringLiteral(" F-9 "), QString()});
  window.QueryClick();
  // This rig's items at once, before the lab has answered.
  EXPECT_EQ(Column(table, 2), (QStringList{"本机", "本机"}));
  ASSERT_TRUE(answered.wait(5000));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].FactoryNumber, QStringLiteral(" F-9 "));
  EXPECT_EQ(Column(table, 0), (QStringList{"2026-12-01 09:00:00", "2026-12-04 08:00:00", "2026-12-05 08:00:00",
                                           "2026-12-06 09:00:00"}));
  EXPECT_EQ(Column(table, 1), (QStringList{"试验方案", "试验方案", "试验", "试验"}));
  EXPECT_EQ(Column(table, 2), (QStringList{"三号台", "本机", "本机", "三号台"}));
  EXPECT_EQ(Column(table, 3), (QStringList{"工位1", "工位2", "工位1", "工位1"}));
  EXPECT_EQ(Column(table, 8).last(), QStringLiteral("B1拒合1次"));
  EXPECT_EQ(table->item(1, 7)->text(), QStringLiteral("0/2,000"));
  EXPECT_EQ(window.Items()[3].LabId, QStringLiteral("lab-6"));
  EXPECT_TRUE(notifier.notices.empty());

  // Another rig's programme (row 0) is fetched off the window thread by its
  // lab id; one the lab no longer holds, or a lab that fails, is said so.
  const struct {
    bool fails;
    const char* said;
  } opens[] = {{false, "该试验方案已不在实验室数据库中。"}, {true, "无法打开实验室数据库中的试验方案：连接超时"}};
  for (const auto& open : opens) {
    QStringList fetched;
    window.labRecord = [&fetched, fails = open.fails](const QString& id) -> std::optional<QString> {
      fetched << id;
      if (fails) throw std::runtime_error("连接超时");
      return std::nullopt;
    };
    QSignalSpy recorded(&window, &TfrmSwitchHistory::LabRecordAnswered);
    window.ItemDblClick(0);
    window.ItemDblClick(0);  // again before the lab answered: asked once
    ASSERT_TRUE(recorded.wait(5000));
    EXPECT_EQ(fetched, QStringList{"lab-1"});
    ASSERT_FALSE(notifier.notices.empty());
    EXPECT_EQ(notifier.notices.back().text, QString::fromUtf8(open.said));
    EXPECT_EQ(notifier.notices.back().error, open.fails);
  }
}

TEST_F(SwitchHistoryWindowTest, ALabThatFailsLeavesTheRigsItemsAndSaysWhy) {
  TfrmSwitchHistory window(folder.Exe(), notifier);
  auto* table = window.findChild<QTableWidget*>(QStringLiteral("HistoryTable"));
  window.labSource = [](const SwitchHistoryQuery&) -> std::vector<SwitchHistoryItem> {
    throw std::runtime_error("连接超时");
  };
  QSignalSpy answered(&window, &TfrmSwitchHistory::LabAnswered);
  window.SetQuery({QStringLiteral("F-9"), QStringLiteral("ZW32-12")});
  window.QueryClick();
  ASSERT_TRUE(answered.wait(5000));
  EXPECT_EQ(table->rowCount(), 2);
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].error);
  EXPECT_TRUE(notifier.notices[0].text.contains(QStringLiteral("连接超时")));
}

}  // namespace
