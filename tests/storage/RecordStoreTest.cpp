#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/GbkText.h"
#include "storage/RecordStore.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "storage/Schema.h"
#include "support/TempDir.h"

using namespace rig;

namespace {

const QDateTime kStart(QDate(2018, 11, 7), QTime(23, 59, 50));
const QDateTime kEnd(QDate(2018, 11, 8), QTime(0, 10, 2));
const QDateTime kSaved(QDate(2018, 11, 8), QTime(8, 0, 0));

std::unique_ptr<ActionRecord> Action(int count, int no, std::array<uint8_t, 3> closed, std::array<const char*, 3> marks) {
  auto r = std::make_unique<ActionRecord>();
  r->Count = count;
  r->ActionNo = no;
  for (int i = 0; i < 3; ++i) {
    r->Closed[i] = closed[i];
    r->Marks[i] = QString::fromUtf8(marks[i]);
  }
  return r;
}

struct RecordStoreFixture : ::testing::Test {
  rigtest::TempDir dir;
  TestSummary test;
  ActionQueue queue;

  RecordStoreFixture() {
    EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    test.Station = 1;
    test.OpenType = "ZW32";
    test.OutIndex = "0815";
    test.WorkArea = QStringLiteral("一号台");
    test.WorkName = "OP1";
    test.StartTime = kStart;
    test.EndTime = kEnd;
    test.Mode = 17;
    for (int i = 0; i < 20; ++i) test.ParamTexts[i] = QString::number(100 + i + 1);  // parameter n holds 100+n
    test.CountDone = 500;
    test.IgnoreRefusals = true;
  }

  SaveOutcome Save() { return WriteTestRecord(dir.Path(), test, queue, kSaved); }

  std::unique_ptr<TSQLiteTable> Summary() {
    TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    return db.QueryTable("SELECT * FROM TestInfo ORDER BY AutoID");
  }
  static std::unique_ptr<TSQLiteTable> Details(const QString& path) {
    TSQLiteDatabase db(path.toUtf8());
    return db.QueryTable("SELECT * FROM ControlState ORDER BY AutoID");
  }
  static QByteArray Text(TSQLiteTable& t, const char* column) { return t.ValueText(t.ColumnIndex(column)); }
};

}  // namespace

TEST(SavedParameters, EachModeSavesItsOwnEdits) {
  struct Case {
    int mode;
    std::array<int, 5> numbers;
  } cases[] = {
      {1, {1, 0, 0, 0, 0}},       {2, {2, 0, 0, 0, 0}},      {3, {3, 0, 0, 0, 0}},   {4, {4, 0, 0, 0, 0}},
      {5, {5, 6, 0, 0, 0}},       {17, {7, 8, 9, 0, 0}},     {18, {10, 11, 12, 0, 0}}, {19, {13, 14, 15, 0, 0}},
      {20, {16, 17, 18, 19, 20}}, {0, {0, 0, 0, 0, 0}},      {6, {0, 0, 0, 0, 0}},   {21, {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(SavedParameterNumbers(c.mode), c.numbers) << c.mode;
}

TEST_F(RecordStoreFixture, SavesSummaryAndActionsInTheirFormats) {
  queue.push_back(Action(1, 1, {1, 1, 1}, {"", "", ""}));
  queue.push_back(Action(12, 12, {1, 1, 0}, {"", "", "拒合"}));
  queue.push_back(Action(12, 13, {0, 2, 0}, {"拒分", "", ""}));  // any non-zero byte is "closed"
  const SaveOutcome out = Save();
  ASSERT_TRUE(out.Ok) << out.Error.toStdString();
  EXPECT_TRUE(queue.empty());
  // Filed under the day of saving, named by the start second and station.
  EXPECT_EQ(out.DetailPath, dir.File("20181108/20181107235950_1.db"));

  auto s = Summary();
  ASSERT_EQ(s->RowCount(), 1);
  const std::pair<const char*, QByteArray> expected[] = {
      {"AutoID", "1"},
      {"OpenType", "ZW32"},
      {"OutIndex", "0815"},
      {"WorkArea", ToGbk(QStringLiteral("一号台"))},
      {"WorkName", "OP1"},
      {"StartTestTime", "2018-11-07 23:59:50"},
      {"EndTestTime", "2018-11-08 00:10:02"},
      {"iWorkIndex", "1"},
      {"DetailSaveDBName", out.DetailPath.toUtf8()},
      {"iDealType", "17"},
      {"Param1", "107"},
      {"Param2", "108"},
      {"Param3", "109"},
      {"Param4", "0"},
      {"Param5", "0"},
      {"iDealTimes", "500"},
      {"iCancelDeal", "1"},
  };
  for (const auto& [column, value] : expected) EXPECT_EQ(Text(*s, column), value) << column;

  auto d = Details(out.DetailPath);
  ASSERT_EQ(d->RowCount(), 3);
  const char* rows[3][8] = {{"1", "1", "1", "1", "1", "", "", ""},
                            {"12", "12", "1", "1", "0", "", "", "拒合"},
                            {"12", "13", "0", "1", "0", "拒分", "", ""}};
  const char* columns[8] = {"DealTimes", "CZDealTimes", "State1", "State2", "State3", "StrState1", "StrState2", "StrState3"};
  for (const auto& row : rows) {
    for (int c = 0; c < 8; ++c) EXPECT_EQ(FromGbk(Text(*d, columns[c])), QString::fromUtf8(row[c])) << columns[c];
    d->MoveNext();
  }
}

TEST_F(RecordStoreFixture, EmptyQueueWritesSummaryAndAnEmptyDetailFile) {
  test.Mode = 42;  // not a mode: all parameters 0
  test.IgnoreRefusals = false;
  test.OpenType.clear();
  const SaveOutcome out = Save();
  ASSERT_TRUE(out.Ok);
  auto s = Summary();
  for (const char* c : {"Param1", "Param2", "Param3", "Param4", "Param5"}) EXPECT_EQ(Text(*s, c), "0");
  EXPECT_EQ(Text(*s, "iCancelDeal"), "0");
  EXPECT_EQ(Text(*s, "OpenType"), "");
  EXPECT_EQ(Details(out.DetailPath)->RowCount(), 0);
}

TEST_F(RecordStoreFixture, TextsWithQuotesAreSavedExactly) {
  test.OpenType = "O'Neil 12";
  test.OutIndex = "'";
  test.WorkArea = "x'); DELETE FROM TestInfo; --";
  ASSERT_TRUE(Save().Ok);
  ASSERT_TRUE(Save().Ok);
  auto s = Summary();
  ASSERT_EQ(s->RowCount(), 2);
  EXPECT_EQ(Text(*s, "OpenType"), "O'Neil 12");
  EXPECT_EQ(Text(*s, "OutIndex"), "'");
  EXPECT_EQ(Text(*s, "WorkArea"), "x'); DELETE FROM TestInfo; --");
}

TEST_F(RecordStoreFixture, SavingTwiceInOneSecondNeverReplacesTheFirstDetailFile) {
  queue.push_back(Action(1, 1, {1, 0, 0}, {"", "", ""}));
  const SaveOutcome first = Save();
  queue.push_back(Action(2, 1, {0, 0, 0}, {"", "", ""}));
  queue.push_back(Action(3, 2, {0, 0, 0}, {"", "", ""}));
  const SaveOutcome second = Save();
  ASSERT_TRUE(first.Ok && second.Ok);
  EXPECT_NE(first.DetailPath, second.DetailPath);
  EXPECT_EQ(Details(first.DetailPath)->RowCount(), 1);
  EXPECT_EQ(Details(second.DetailPath)->RowCount(), 2);
  auto s = Summary();
  EXPECT_EQ(Text(*s, "DetailSaveDBName"), first.DetailPath.toUtf8());
  s->MoveNext();
  EXPECT_EQ(Text(*s, "DetailSaveDBName"), second.DetailPath.toUtf8());
  EXPECT_EQ(Text(*s, "AutoID"), "2");
}

TEST_F(RecordStoreFixture, ABadParameterSavesNothingAndKeepsTheActions) {
  test.ParamTexts[8].clear();  // parameter 9: the set count of mode 17
  queue.push_back(Action(1, 1, {1, 1, 1}, {"", "", ""}));
  const SaveOutcome out = Save();
  EXPECT_FALSE(out.Ok);
  EXPECT_FALSE(out.Error.isEmpty());
  EXPECT_EQ(queue.size(), 1u);
  EXPECT_EQ(Summary()->RowCount(), 0);
  test.ParamTexts[8] = "500";
  EXPECT_TRUE(Save().Ok);
  EXPECT_TRUE(queue.empty());
}

TEST_F(RecordStoreFixture, ALockedSummaryFailsTheSaveAndARetrySucceeds) {
  queue.push_back(Action(1, 1, {1, 1, 1}, {"", "", ""}));
  queue.push_back(Action(2, 2, {0, 0, 0}, {"", "", ""}));
  {
    TSQLiteDatabase other(dir.File("SaveData.db").toUtf8());
    other.RunSQL("BEGIN EXCLUSIVE");
    const SaveOutcome out = Save();
    EXPECT_FALSE(out.Ok);
    EXPECT_TRUE(out.Error.contains("locked")) << out.Error.toStdString();
    EXPECT_EQ(queue.size(), 2u);
    // No orphan detail file is left to be mistaken for a saved test.
    EXPECT_TRUE(QDir(dir.File("20181108")).entryList(QDir::Files).isEmpty());
    other.RunSQL("ROLLBACK");
  }
  const SaveOutcome retry = Save();
  ASSERT_TRUE(retry.Ok);
  EXPECT_EQ(Summary()->RowCount(), 1);
  EXPECT_EQ(Details(retry.DetailPath)->RowCount(), 2);
}

TEST_F(RecordStoreFixture, MissingDatabasesAreCreatedWithTheirTables) {
  ASSERT_TRUE(QFile::remove(dir.File("SaveData.db")));
  ASSERT_TRUE(QFile::remove(dir.File("SpaceData.db")));
  queue.push_back(Action(1, 1, {1, 1, 1}, {"", "", ""}));
  const SaveOutcome out = Save();
  ASSERT_TRUE(out.Ok) << out.Error.toStdString();
  EXPECT_EQ(Summary()->RowCount(), 1);
  EXPECT_EQ(Details(out.DetailPath)->RowCount(), 1);
}

TEST_F(RecordStoreFixture, AReadOnlyTemplateStillGivesAWritableDetailFile) {
  ASSERT_TRUE(QFile::setPermissions(dir.File("SpaceData.db"), QFile::ReadOwner | QFile::ReadGroup));
  queue.push_back(Action(1, 1, {1, 1, 1}, {"", "", ""}));
  const SaveOutcome out = Save();
  ASSERT_TRUE(out.Ok) << out.Error.toStdString();
  EXPECT_EQ(Details(out.DetailPath)->RowCount(), 1);
  EXPECT_TRUE(QFile::permissions(out.DetailPath) & QFile::WriteOwner) << "root writes read-only files: check the mode";
}

TEST_F(RecordStoreFixture, StationTwoWritesItsDigit) {
  test.Station = 2;
  test.Mode = 20;
  const SaveOutcome out = Save();
  ASSERT_TRUE(out.Ok);
  EXPECT_TRUE(out.DetailPath.endsWith("/20181107235950_2.db"));
  auto s = Summary();
  EXPECT_EQ(Text(*s, "iWorkIndex"), "2");
  EXPECT_EQ(Text(*s, "Param5"), "120");
}

TEST(Schema, StatementsCreateTheTwoTablesOnly) {
  EXPECT_TRUE(SchemaStatement("TestInfo").startsWith("CREATE TABLE IF NOT EXISTS TestInfo("));
  EXPECT_TRUE(SchemaStatement("ControlState").endsWith(");"));
  EXPECT_TRUE(SchemaStatement("Other").isEmpty());
  EXPECT_TRUE(SchemaStatement("").isEmpty());
}

TEST(Schema, TheBuildPutsBothDatabasesBesideTheProgram) {
  const QString bin = QStringLiteral(RIG_BIN_DIR) + "/";
  TSQLiteDatabase save((bin + "SaveData.db").toUtf8());
  TSQLiteDatabase space((bin + "SpaceData.db").toUtf8());
  // Both tables exist: querying them does not throw.
  EXPECT_NO_THROW(save.QueryTable("SELECT AutoID, OpenType, iCancelDeal FROM TestInfo"));
  EXPECT_EQ(space.QueryTable("SELECT AutoID, DealTimes, StrState3 FROM ControlState")->RowCount(), 0);
}

TEST_F(RecordStoreFixture, EveryActionIsWrittenOnceInQueueOrderWhateverTheBlockSize) {
  // Actions go in blocks of 64 with a single INSERT for the rest.
  for (int n : {1, 63, 64, 65, 129}) {
    for (int i = 1; i <= n; ++i) {
      queue.push_back(Action(i, n + i, {uint8_t(i & 1), uint8_t(i % 3 == 0), 1},
                             {"", i % 5 ? "" : "拒合", i % 7 ? "" : "拒分"}));
    }
    test.StartTime = kStart.addSecs(n);
    const SaveOutcome out = Save();
    ASSERT_TRUE(out.Ok) << out.Error.toStdString();
    auto t = Details(out.DetailPath);
    ASSERT_EQ(t->RowCount(), n);
    for (int i = 1; i <= n; ++i, t->MoveNext()) {
      const QByteArray expected[] = {QByteArray::number(i), QByteArray::number(n + i), QByteArray::number(i & 1),
                                     QByteArray::number(i % 3 == 0), "1", "",
                                     i % 5 ? QByteArray() : ToGbk(QStringLiteral("拒合")),
                                     i % 7 ? QByteArray() : ToGbk(QStringLiteral("拒分"))};
      const char* columns[] = {"DealTimes", "CZDealTimes", "State1",    "State2",
                               "State3",    "StrState1",   "StrState2", "StrState3"};
      for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(t->ValueText(t->ColumnIndex(QLatin1String(columns[c]))), expected[c]) << n << " " << i << " " << columns[c];
      }
    }
  }
}
