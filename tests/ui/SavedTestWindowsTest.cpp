#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QTest>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTreeView>

#include "../storage/SavedTestsFixture.h"
#include "support/RecordingNotifier.h"
#include "ui/ActionGridModel.h"
#include "ui/SearchDetailfrm.h"
#include "ui/SearchResultfrm.h"

using namespace rig;

namespace {

template <typename T>
T* Find(QWidget* w, const char* name) {
  T* found = w->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

struct SearchWindowTest : ::testing::Test {
  rigtest::SavedTestsFolder folder;
  rigtest::RecordingNotifier notifier;
  std::unique_ptr<TfrmSearchResult> window;
  QTreeView* list = nullptr;
  std::vector<QString> detailRequests;

  void Open() {
    window = std::make_unique<TfrmSearchResult>(folder.Exe(), notifier);
    QObject::connect(window.get(), &TfrmSearchResult::DetailRequested,
                     [this](const QString& id) { detailRequests.push_back(id); });
    list = Find<QTreeView>(window.get(), "ListView1");
    Find<QDateEdit>(window.get(), "DateTimePicker1")->setDate(QDate(2018, 11, 1));
    Find<QDateEdit>(window.get(), "DateTimePicker2")->setDate(QDate(2018, 11, 7));
  }
  int Count() const { return list->model()->rowCount(); }
  void Choose(int row) const { list->setCurrentIndex(list->model()->index(row, 0)); }
  QStringList Column(int c) const {
    QStringList out;
    for (int i = 0; i < Count(); ++i) out << list->model()->index(i, c).data().toString();
    return out;
  }
};

}  // namespace

TEST_F(SearchWindowTest, OpensWithTodayAndNewestFirstAndListsOnQuery) {
  folder.AddTest("F1", "ZW32", "2018-11-02 10:00:00", 17, "", 120, 500);
  folder.AddTest("F2", "O'Neil", "2018-11-03 10:00:00", 4);
  window = std::make_unique<TfrmSearchResult>(folder.Exe(), notifier);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("磨合测试结果(双击列表条目显示详细结果)"));
  EXPECT_EQ(Find<QDateEdit>(window.get(), "DateTimePicker1")->date(), QDate::currentDate());
  EXPECT_TRUE(Find<QRadioButton>(window.get(), "RadioButton2")->isChecked());
  Open();
  EXPECT_EQ(Count(), 0);
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  EXPECT_EQ(Column(0), QStringList({"F2", "F1"}));
  EXPECT_EQ(Column(4), QStringList({QStringLiteral("是操作实验（分合）"), QStringLiteral("寿命试验（单分单合）")}));
  EXPECT_EQ(Column(5), QStringList({"-", "120"}));
  EXPECT_EQ(Column(6), QStringList({"-", "500"}));
  EXPECT_EQ(list->columnWidth(9), 1);
  EXPECT_EQ(list->columnWidth(10), 1);

  Find<QRadioButton>(window.get(), "RadioButton1")->setChecked(true);
  Find<QLineEdit>(window.get(), "Edit2")->setText("'");
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  EXPECT_EQ(Column(1), QStringList({"O'Neil"}));
  EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(SearchWindowTest, DeleteAsksFirstAndRemovesTheRowAndItsFile) {
  const QString detail = folder.AddDetail("d.db", {});
  folder.AddTest("F1", "", "2018-11-02 10:00:00", 1, detail);
  Open();
  Find<QPushButton>(window.get(), "BitBtn2")->click();
  EXPECT_EQ(notifier.Texts(), QStringList({QStringLiteral("请选中需要删除选中的记录！")}));

  Find<QPushButton>(window.get(), "BitBtn3")->click();
  Choose(0);
  notifier.confirmAnswer = false;
  Find<QPushButton>(window.get(), "BitBtn2")->click();
  EXPECT_EQ(notifier.confirmations, QStringList({QStringLiteral("你确定要删除选中的记录，删除后将不能恢复！")}));
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(QFile::exists(detail));

  notifier.confirmAnswer = true;
  Find<QPushButton>(window.get(), "BitBtn2")->click();
  EXPECT_EQ(Count(), 0);
  EXPECT_FALSE(QFile::exists(detail));
}

TEST_F(SearchWindowTest, DoubleClickAsksForTheSelectedTestsDetail) {
  folder.AddTest("F1", "", "2018-11-02 10:00:00", 1);
  Open();
  window->ListView1DblClick();
  EXPECT_EQ(notifier.Texts(), QStringList({QStringLiteral("请选中需要查看详细信息的记录！")}));
  EXPECT_TRUE(detailRequests.empty());
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  Choose(0);
  window->ListView1DblClick();
  EXPECT_EQ(detailRequests, std::vector<QString>({"1"}));
}

TEST_F(SearchWindowTest, ADoubleClickBelowTheLinesAsksForATest) {
  folder.AddTest("F1", "", "2018-11-02 10:00:00", 1);
  Open();
  window->resize(928, 603);
  window->show();
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  QApplication::processEvents();
  Choose(0);
  const QRect line = list->visualRect(list->model()->index(0, 0));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, list->viewport()->height() - 10));
  EXPECT_EQ(notifier.Texts(), QStringList({QStringLiteral("请选中需要查看详细信息的记录！")}));
  EXPECT_TRUE(detailRequests.empty());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line.center());
  EXPECT_EQ(detailRequests, std::vector<QString>({"1"}));
}

TEST_F(SearchWindowTest, AWideWindowKeepsEveryColumnsWidthAndTheHiddenOnesHidden) {
  folder.AddTest("F1", "", "2018-11-02 10:00:00", 1, folder.dir.File("20181102/20181102100000_1.db"));
  Open();
  window->resize(1900, 1000);
  window->show();
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  QApplication::processEvents();
  const int widths[] = {80, 80, 150, 150, 250, 80, 80, 100, 80, 1, 1};
  for (int c = 0; c < static_cast<int>(std::size(widths)); ++c) EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
}

TEST_F(SearchWindowTest, AMissingDatabaseIsReportedAsAnError) {
  ASSERT_TRUE(QFile::remove(folder.dir.File("SaveData.db")));
  Open();
  Find<QPushButton>(window.get(), "BitBtn3")->click();
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].error);
  EXPECT_TRUE(notifier.notices[0].text.contains("TestInfo")) << notifier.notices[0].text.toStdString();
  EXPECT_EQ(Count(), 0);
}

TEST(DetailWindow, ShowsTheHeaderAndOneLinePerCycle) {
  rigtest::SavedTestsFolder folder;
  using Row = rigtest::SavedTestsFolder::Row;
  const QString detail = folder.AddDetail(
      "d.db", {Row{"1", "1", {"0", "0", "0"}, {}}, Row{"1", "2", {"1", "1", "0"}, {"", "", QStringLiteral("拒合")}}});
  const qint64 id = folder.AddTest("F9", "ZW32", "2018-11-07 14:05:09", 19, detail, 1, 500, 0, "A", "B");
  rigtest::RecordingNotifier notifier;
  TfrmSearchDetail window(folder.Exe(), notifier);
  window.SetAutoId(QString::number(id));
  window.FormShow();
  EXPECT_TRUE(notifier.notices.empty());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("磨合测试结果详细信息"));
  EXPECT_EQ(Find<QLineEdit>(&window, "Edit2")->text(), "F9");
  EXPECT_EQ(Find<QLabel>(&window, "Label36")->text(), QStringLiteral("寿命试验（分合）,磨合次数：1,设定次数：500"));
  EXPECT_EQ(Find<QLabel>(&window, "Label89")->text(), QStringLiteral("分延时"));
  EXPECT_EQ(Find<QLineEdit>(&window, "Edit20")->text(), "10");
  EXPECT_EQ(Find<QLineEdit>(&window, "Edit5")->text(), "500");
  EXPECT_TRUE(Find<QLineEdit>(&window, "Edit22")->isHidden());
  EXPECT_EQ(Find<QLabel>(&window, "Label7")->text(), QStringLiteral("忽略拒动作"));
  EXPECT_EQ(Find<QDateEdit>(&window, "DateTimePicker1")->date(), QDate(2018, 11, 7));
  EXPECT_EQ(Find<QTimeEdit>(&window, "DateTimePicker3")->time(), QTime(14, 5, 9));

  const TActionGridModel& model = window.Actions();
  ASSERT_EQ(model.rowCount(), 2);
  ASSERT_EQ(model.columnCount(), 7);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("分"));
  EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "A1");
  EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), "1");
  EXPECT_EQ(model.data(model.index(1, 6), Qt::DisplayRole).toString(), QStringLiteral("○ 拒合"));
  EXPECT_EQ(model.data(model.index(1, 3), Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
  EXPECT_FALSE(model.data(model.index(1, 0), Qt::ForegroundRole).isValid());
}

TEST(DetailWindow, ALongTestIsReadAsTheListScrollsAndColumnsStayEightyWide) {
  rigtest::SavedTestsFolder folder;
  const QString detail = folder.AddLifeDetail("d.db", 1000);
  const qint64 id = folder.AddTest("F9", "ZW32", "2018-11-07 14:05:09", 17, detail, 1000, 1000);
  rigtest::RecordingNotifier notifier;
  TfrmSearchDetail window(folder.Exe(), notifier);
  window.SetAutoId(QString::number(id));
  window.resize(1900, 700);
  window.FormShow();
  window.show();
  QApplication::processEvents();
  auto* list = Find<QTreeView>(&window, "ListView1");
  QAbstractItemModel* model = list->model();
  ASSERT_EQ(model->columnCount(), 7);
  for (int c = 0; c < model->columnCount(); ++c) EXPECT_EQ(list->columnWidth(c), 80) << c;
  EXPECT_LT(model->rowCount(), 1001);  // the first screen, not the whole test
  for (int guard = 0; guard < 20 && model->canFetchMore({}); ++guard) {
    list->scrollToBottom();
    QApplication::processEvents();
  }
  ASSERT_EQ(model->rowCount(), 1001);
  EXPECT_EQ(model->data(model->index(1000, 0), Qt::DisplayRole).toString(), "1000");
  EXPECT_EQ(model->data(model->index(1000, 6), Qt::DisplayRole).toString(), QStringLiteral("○ 拒合"));
}

TEST(DetailWindow, ADatabaseErrorIsShownAndTheDesignContentsStay) {
  rigtest::SavedTestsFolder folder;
  rigtest::RecordingNotifier notifier;
  TfrmSearchDetail window(folder.Exe(), notifier);
  window.SetAutoId("");
  window.FormShow();
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].error);
  EXPECT_EQ(Find<QLabel>(&window, "Label36")->text(), QStringLiteral("寿命试验（单分单合）"));
  EXPECT_EQ(window.Actions().columnCount(), 4);
  EXPECT_EQ(Find<QDateEdit>(&window, "DateTimePicker1")->date(), QDate(2018, 11, 7));
}
