#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "SavedTestsFixture.h"
#include "storage/SQLiteTable3.h"
#include "storage/TestSearch.h"

using namespace rig;

namespace {

struct TestSearchFixture : ::testing::Test {
  rigtest::SavedTestsFolder folder;
  SearchFilter filter;
  TestSearchFixture() {
    filter.From = QDate(2018, 11, 1);
    filter.To = QDate(2018, 11, 7);
  }
  std::vector<QString> Listed() {
    std::vector<QString> ids;
    for (const SearchRow& r : SearchTests(folder.Exe(), filter)) ids.push_back(r.OutIndex);
    return ids;
  }
};

}  // namespace

TEST_F(TestSearchFixture, DateBoundsIncludeTheWholeLastDayAndTheNextMidnight) {
  EXPECT_EQ(LowerBoundText(QDate(2018, 11, 1)), "2018-11-01 00:00:00");
  EXPECT_EQ(UpperBoundText(QDate(2018, 11, 7)), "2018-11-08 00:00:00");
  folder.AddTest("before", "", "2018-10-31 23:59:59", 1);
  folder.AddTest("first", "", "2018-11-01 00:00:00", 1);
  folder.AddTest("last", "", "2018-11-07 23:59:59", 1);
  folder.AddTest("midnight", "", "2018-11-08 00:00:00", 1);
  folder.AddTest("after", "", "2018-11-08 00:00:01", 1);
  folder.AddTest("garbage", "", "not a time", 1);
  EXPECT_EQ(Listed(), (std::vector<QString>{"midnight", "last", "first"}));
  filter.Ascending = true;
  EXPECT_EQ(Listed(), (std::vector<QString>{"first", "last", "midnight"}));
  filter.From = QDate(2018, 11, 9);
  EXPECT_TRUE(Listed().empty());
}

TEST_F(TestSearchFixture, TextFiltersMatchAnywhereWithWildcardsAndQuotes) {
  folder.AddTest("F-001", "O'Neil 12", "2018-11-02 10:00:00", 1, "", 0, 0, 0, QStringLiteral("一号台"), "Ann");
  folder.AddTest("F-002", "ZW32", "2018-11-02 11:00:00", 1, "", 0, 0, 0, QStringLiteral("二号台"), "bob");
  filter.Ascending = true;
  struct Case {
    QString outIndex, openType, workArea, workName;
    std::vector<QString> expected;
  } cases[] = {
      {"", "", "", "", {"F-001", "F-002"}},
      {"002", "", "", "", {"F-002"}},
      {"", "'", "", "", {"F-001"}},
      {"", "O'Neil", "", "", {"F-001"}},
      {"", "zw", "", "", {"F-002"}},  // ASCII letters ignore case
      {"F_00%", "", "", "", {"F-001", "F-002"}},
      {"", "", QStringLiteral("二号"), "", {"F-002"}},
      {"", "", "", "BOB", {"F-002"}},
      {"", "' or '1'='1", "", "", {}},
  };
  for (const Case& c : cases) {
    filter.OutIndex = c.outIndex, filter.OpenType = c.openType, filter.WorkArea = c.workArea, filter.WorkName = c.workName;
    EXPECT_EQ(Listed(), c.expected) << c.outIndex.toStdString() << "|" << c.openType.toStdString();
  }
}

TEST_F(TestSearchFixture, ChineseFiltersMatchWholeCharacters) {
  // Texts whose GBK bytes fool a byte-wise like read as UTF-8.
  folder.AddTest("A", QStringLiteral("户外真空断路器"), "2018-11-02 10:00:00", 1, "", 0, 0, 0, QStringLiteral("一号工位"),
                 QStringLiteral("王五"));
  folder.AddTest("B", "ZW32", "2018-11-02 11:00:00", 1, "", 0, 0, 0, QStringLiteral("一号台"), QStringLiteral("张三"));
  folder.AddTest("C", QStringLiteral("真空"), "2018-11-02 12:00:00", 1, "", 0, 0, 0, QStringLiteral("二号台"),
                 QStringLiteral("钱七"));
  filter.Ascending = true;
  struct Case {
    QString openType, workArea, workName;
    std::vector<QString> expected;
  } cases[] = {
      {"", "", QStringLiteral("张"), {"B"}},
      {QStringLiteral("真空"), "", "", {"A", "C"}},
      {QStringLiteral("真空断"), "", "", {"A"}},
      {"", QStringLiteral("工位"), "", {"A"}},
      {"", QStringLiteral("号"), "", {"A", "B", "C"}},
      {"", QStringLiteral("一号__"), "", {"A"}},
      {"", "", QStringLiteral("王_"), {"A"}},
      {"", "", QStringLiteral("___"), {}},
      {QStringLiteral("z%2"), QStringLiteral("台"), QStringLiteral("三"), {"B"}},
  };
  for (const Case& c : cases) {
    filter.OpenType = c.openType, filter.WorkArea = c.workArea, filter.WorkName = c.workName;
    EXPECT_EQ(Listed(), c.expected) << c.openType.toStdString() << "|" << c.workArea.toStdString() << "|"
                                    << c.workName.toStdString();
  }
  // The stored bytes are the GBK the program has always written.
  TSQLiteDatabase db(folder.dir.File("SaveData.db").toUtf8());
  EXPECT_EQ(db.QueryTable("SELECT WorkName FROM TestInfo WHERE AutoID=2")->ValueText(0), QByteArray("\xD5\xC5\xC8\xFD"));
}

TEST_F(TestSearchFixture, ModeTextAndCountsByMode) {
  struct Case {
    int mode;
    const char* text;
    const char* done;
    const char* set;
  } cases[] = {
      {1, "操作实验（单合）", "-", "-"},       {2, "操作实验（单分）", "-", "-"},
      {3, "操作实验（合分）", "-", "-"},       {4, "是操作实验（分合）", "-", "-"},
      {5, "操作实验（分合分）", "-", "-"},     {17, "寿命试验（单分单合）", "77", "300"},
      {18, "寿命试验（合分）", "77", "300"},   {19, "寿命试验（分合）", "77", "300"},
      {20, "寿命试验（分合分）", "77", "500"}, {0, "", "-", "-"},
      {21, "", "-", "-"},
  };
  for (const Case& c : cases) folder.AddTest(QString::number(c.mode), "", "2018-11-03 09:00:00", c.mode, "", 77, 300, 500);
  filter.Ascending = true;
  const auto rows = SearchTests(folder.Exe(), filter);
  ASSERT_EQ(rows.size(), std::size(cases));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].ModeText, QString::fromUtf8(cases[i].text)) << cases[i].mode;
    EXPECT_EQ(rows[i].DoneCount, QString::fromUtf8(cases[i].done)) << cases[i].mode;
    EXPECT_EQ(rows[i].SetCount, QString::fromUtf8(cases[i].set)) << cases[i].mode;
    EXPECT_EQ(rows[i].AutoID, QString::number(i + 1));
    EXPECT_EQ(rows[i].StartTestTime, "2018-11-03 09:00:00");
  }
}

TEST_F(TestSearchFixture, MissingDatabaseOrTableIsAnError) {
  ASSERT_TRUE(QFile::remove(folder.dir.File("SaveData.db")));
  EXPECT_THROW(SearchTests(folder.Exe(), filter), ESQLiteException);
}

TEST_F(TestSearchFixture, DeleteRemovesTheRowThenTheDetailFile) {
  const QString detail = folder.AddDetail("a.db", {});
  const qint64 id = folder.AddTest("A", "", "2018-11-02 10:00:00", 1, detail);
  folder.AddTest("B", "", "2018-11-02 10:00:00", 1);
  EXPECT_TRUE(DeleteTest(folder.Exe(), QString::number(id), detail));
  EXPECT_FALSE(QFile::exists(detail));
  EXPECT_EQ(Listed(), (std::vector<QString>{"B"}));
  // A test whose detail file is already gone: only its row goes.
  EXPECT_TRUE(DeleteTest(folder.Exe(), "2", folder.dir.File("gone.db")));
  EXPECT_TRUE(Listed().empty());
}

TEST_F(TestSearchFixture, DeleteThatCannotRemoveTheRowKeepsTheDetailFile) {
  const QString detail = folder.AddDetail("a.db", {});
  folder.AddTest("A", "", "2018-11-02 10:00:00", 1, detail);
  TSQLiteDatabase other(folder.dir.File("SaveData.db").toUtf8());
  other.RunSQL("BEGIN EXCLUSIVE");
  EXPECT_FALSE(DeleteTest(folder.Exe(), "1", detail));
  EXPECT_TRUE(QFile::exists(detail));
  other.RunSQL("ROLLBACK");
  EXPECT_FALSE(DeleteTest(folder.Exe(), "1 or 1=1", detail));
  EXPECT_TRUE(QFile::exists(detail));
}

TEST_F(TestSearchFixture, DeleteNeverRemovesAFileThatIsNoDetailFile) {
  folder.dir.Write("notes.txt", "keep me");
  folder.dir.Write("fake.db", "not sqlite, keep me");
  folder.AddTest("A", "", "2018-11-02 10:00:00", 1, folder.dir.File("notes.txt"));
  folder.AddTest("B", "", "2018-11-02 10:00:00", 1, folder.dir.File("fake.db"));
  EXPECT_TRUE(DeleteTest(folder.Exe(), "1", folder.dir.File("notes.txt")));
  EXPECT_TRUE(DeleteTest(folder.Exe(), "2", folder.dir.File("fake.db")));
  EXPECT_TRUE(QFile::exists(folder.dir.File("notes.txt")));
  EXPECT_TRUE(QFile::exists(folder.dir.File("fake.db")));
}
