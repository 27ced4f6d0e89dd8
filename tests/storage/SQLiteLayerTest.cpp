#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>

#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "support/TempDir.h"

using namespace rig;

namespace {

struct SQLiteFixture : ::testing::Test {
  rigtest::TempDir dir;
  QByteArray path = dir.File("t.db").toUtf8();
  std::unique_ptr<TSQLiteDatabase> db = std::make_unique<TSQLiteDatabase>(path);
};

// The message of the exception `fn` throws; fails the test when none.
template <typename Fn>
QString MessageOf(Fn fn) {
  try {
    fn();
  } catch (const ESQLiteException& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no ESQLiteException";
  return {};
}

}  // namespace

TEST(SQLiteErrorText, KnownAndUnknownCodes) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "Successful result"},
      {5, "The database file is locked"},
      {19, "Abort due to contraint violation"},
      {26, "File opened that is not a database file"},
      {100, "sqlite3_step() has another row ready"},
      {101, "sqlite3_step() has finished executing"},
      {27, "Unknown SQLite Error Code \"27\""},
      {-1, "Unknown SQLite Error Code \"-1\""},
      {1555, "Unknown SQLite Error Code \"1555\""},
  };
  for (const Case& c : cases) EXPECT_EQ(SQLiteErrorText(c.code), QString::fromLatin1(c.text)) << c.code;
}

TEST(SQLiteColumnKind, DeclaredTypeDecidesWholeAndCaseSensitive) {
  struct Case {
    const char* decl;
    int firstValueType;
    ColumnKind kind;
  } cases[] = {
      {"INTEGER", 3, ColumnKind::Integer}, {"BOOLEAN", 1, ColumnKind::Integer}, {"NUMERIC", 1, ColumnKind::Float},
      {"FLOAT", 1, ColumnKind::Float},     {"DOUBLE", 1, ColumnKind::Float},    {"REAL", 1, ColumnKind::Float},
      {"BLOB", 3, ColumnKind::Blob},       {"integer", 1, ColumnKind::Text},    {"INT", 1, ColumnKind::Text},
      {"VARCHAR(50)", 1, ColumnKind::Text}, {"DATETIME", 1, ColumnKind::Text},  {"TEXT", 1, ColumnKind::Text},
      {nullptr, 1, ColumnKind::Integer},   {nullptr, 2, ColumnKind::Float},     {nullptr, 4, ColumnKind::Blob},
      {nullptr, 5, ColumnKind::Null},
  };
  for (const Case& c : cases) EXPECT_EQ(ColumnKindOf(c.decl, c.firstValueType), c.kind) << (c.decl ? c.decl : "none");
}

TEST(SQLiteFloatText, GeneralFormatFifteenDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{300, "300"},       {2.5, "2.5"},          {-0.125, "-0.125"},
               {0.1, "0.1"},       {1.0 / 3, "0.333333333333333"}, {1e20, "1E20"},
               {1.5e-7, "1.5E-7"}, {123456789012345678.0, "1.23456789012346E17"}};
  for (const Case& c : cases) EXPECT_EQ(FloatText(c.value), QByteArray(c.text)) << c.text;
}

TEST_F(SQLiteFixture, ValuesComeBackAsTextByColumnKind) {
  // SQLite spells the standard type names (integer, int, ...) in upper case
  // itself; a lower-case "boolean" keeps its spelling and so reads as text.
  db->RunSQL("CREATE TABLE T(AutoID INTEGER PRIMARY KEY, F FLOAT, L boolean, S VARCHAR(50), B BLOB)");
  db->RunSQL("INSERT INTO T(F,L,S,B) VALUES (300, 5, 'abc', x'41004243')");
  db->RunSQL("INSERT INTO T(F,L,S,B) VALUES (2.5, 2.5, NULL, x'')");
  db->RunSQL("INSERT INTO T(F,L,S,B) VALUES (NULL, NULL, 'x', NULL)");
  auto t = db->QueryTable("SELECT * FROM T ORDER BY AutoID");
  ASSERT_EQ(t->RowCount(), 3);
  const int f = t->ColumnIndex("f"), l = t->ColumnIndex("L"), s = t->ColumnIndex("s"), b = t->ColumnIndex("B");
  EXPECT_EQ(t->Kind(l), ColumnKind::Text);
  const QByteArray expected[3][4] = {{"300", "5", "abc", QByteArray("A\0BC", 4)}, {"2.5", "2.5", "", ""}, {"", "", "x", ""}};
  for (const auto& row : expected) {
    ASSERT_FALSE(t->IsAtEnd());
    EXPECT_EQ(t->ValueText(f), row[0]);
    EXPECT_EQ(t->ValueText(l), row[1]);
    EXPECT_EQ(t->ValueText(s), row[2]);
    EXPECT_EQ(t->ValueText(b), row[3]);
    t->MoveNext();
  }
  EXPECT_TRUE(t->IsAtEnd());
}

TEST_F(SQLiteFixture, TextIsTakenUpToItsFirstZeroByte) {
  db->RunSQL("CREATE TABLE T(S TEXT)");
  db->RunSQL("INSERT INTO T VALUES (CAST(x'61620063' AS TEXT))");
  auto t = db->QueryTable("SELECT S FROM T");
  EXPECT_EQ(t->ValueText(0), QByteArray("ab"));
}

TEST_F(SQLiteFixture, ExpressionColumnTakesTheKindOfItsFirstValue) {
  db->RunSQL("CREATE TABLE T(N INTEGER, V)");
  db->RunSQL("INSERT INTO T VALUES (1, NULL)");
  db->RunSQL("INSERT INTO T VALUES (2, 'later text')");
  auto t = db->QueryTable("SELECT V, N*2 AS D FROM T ORDER BY N");
  EXPECT_EQ(t->Kind(0), ColumnKind::Null);
  EXPECT_EQ(t->Kind(1), ColumnKind::Integer);
  t->MoveNext();
  EXPECT_EQ(t->ValueText(0), QByteArray());
  EXPECT_EQ(t->ValueText(1), QByteArray("4"));
}

TEST_F(SQLiteFixture, ColumnLookupIgnoresCaseAndFirstOfTwoNamesWins) {
  db->RunSQL("CREATE TABLE T(AutoID INTEGER, Name TEXT)");
  db->RunSQL("INSERT INTO T VALUES (7, 'seven')");
  auto t = db->QueryTable("SELECT Name AS X, AutoID AS x, AutoID FROM T");
  EXPECT_EQ(t->ColumnIndex("x"), 0);
  EXPECT_EQ(t->ColumnIndex("autoid"), 2);
  EXPECT_EQ(MessageOf([&] { t->ColumnIndex("Nope"); }), "Field not found in dataset: Nope");
}

TEST_F(SQLiteFixture, EmptyResultAndReadingPastTheEnd) {
  db->RunSQL("CREATE TABLE T(AutoID INTEGER, S TEXT)");
  auto empty = db->QueryTable("SELECT * FROM T");
  EXPECT_TRUE(empty->IsAtEnd());
  EXPECT_FALSE(empty->MoveNext());
  EXPECT_EQ(MessageOf([&] { empty->ColumnIndex("AutoID"); }), "Field AutoID Not found. Empty dataset");

  db->RunSQL("INSERT INTO T VALUES (1, 'a')");
  auto t = db->QueryTable("SELECT * FROM T");
  EXPECT_TRUE(t->MoveNext());
  EXPECT_FALSE(t->MoveNext());
  EXPECT_TRUE(t->IsAtEnd());
  const char* kEnd = "Table is at End of File";
  EXPECT_EQ(MessageOf([&] { t->ValueText(0); }), kEnd);
  EXPECT_EQ(MessageOf([&] { t->ValueInteger(0); }), kEnd);
  EXPECT_EQ(MessageOf([&] { t->ValueBlobText(0); }), kEnd);
}

TEST_F(SQLiteFixture, TypedAccessorsRefuseOtherKinds) {
  db->RunSQL("CREATE TABLE T(I INTEGER, F REAL, S TEXT, B BLOB)");
  db->RunSQL("INSERT INTO T VALUES (-9000000000, 7.0, 's', x'00')");
  auto t = db->QueryTable("SELECT * FROM T");
  EXPECT_EQ(t->ValueInteger(0), -9000000000LL);
  EXPECT_EQ(t->ValueText(0), QByteArray("-9000000000"));
  EXPECT_DOUBLE_EQ(t->ValueFloat(0), -9e9);
  EXPECT_DOUBLE_EQ(t->ValueFloat(1), 7.0);
  EXPECT_EQ(t->ValueBlobText(3), QByteArray(1, '\0'));
  EXPECT_EQ(MessageOf([&] { t->ValueInteger(2); }), "Not an integer or numeric field");
  EXPECT_EQ(MessageOf([&] { t->ValueFloat(3); }), "Not an integer or numeric field");
  EXPECT_EQ(MessageOf([&] { t->ValueBlobText(0); }), "Not a Blob field");
}

TEST_F(SQLiteFixture, OnlyTheFirstOfTwoStatementsRuns) {
  db->RunSQL("CREATE TABLE T(N INTEGER)");
  db->RunSQL("INSERT INTO T VALUES (1); INSERT INTO T VALUES (2)");
  auto t = db->QueryTable("SELECT COUNT(*) AS C FROM T");
  EXPECT_EQ(t->ValueText(t->ColumnIndex("c")), QByteArray("1"));
}

TEST_F(SQLiteFixture, FailedStatementsGiveTheLongFormAndLeaveTheConnectionUsable) {
  EXPECT_TRUE(QFile::exists(QString::fromUtf8(path)));  // opening created the file
  EXPECT_EQ(MessageOf([&] { db->RunSQL("INSERT INTO T VALUES (1)"); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r\"INSERT INTO T VALUES (1)\": "
            "no such table: T");
  db->RunSQL("CREATE TABLE T(N INTEGER UNIQUE)");
  db->RunSQL("INSERT INTO T VALUES (1)");
  EXPECT_EQ(MessageOf([&] { db->RunSQL("INSERT INTO T VALUES (1)"); }),
            "Error executing SQL statement.\rError [19]: Abort due to contraint violation.\r\"INSERT INTO T VALUES "
            "(1)\": UNIQUE constraint failed: T.N");
  EXPECT_EQ(MessageOf([&] { db->RunSQL("-- only a comment"); }), "Could not prepare SQL statement");
  EXPECT_EQ(MessageOf([&] { db->QueryTable(""); }), "Could not prepare SQL statement");
  EXPECT_EQ(MessageOf([&] { db->QueryTable("SELECT * FROM Missing"); }).left(27), "Error executing SQL.\rError ");
  db->RunSQL("INSERT INTO T VALUES (2)");
  EXPECT_EQ(db->QueryTable("SELECT N FROM T")->RowCount(), 2);
}

TEST_F(SQLiteFixture, QueryStepFailureIsReportedAsCouldNotRetrieveData) {
  db->RunSQL("CREATE TABLE T(N INTEGER)");
  db->RunSQL("INSERT INTO T VALUES (1)");
  const QString message = MessageOf([&] { db->QueryTable("SELECT abs(-9223372036854775807 - 1) FROM T"); });
  EXPECT_TRUE(message.startsWith("Could not retrieve data.\rError [1]: SQL error or missing database.\r\"SELECT"))
      << message.toStdString();
  EXPECT_TRUE(message.endsWith("\": integer overflow")) << message.toStdString();
}

TEST_F(SQLiteFixture, QueryOnALockedDatabaseIsBusy) {
  db->RunSQL("CREATE TABLE T(N INTEGER)");
  TSQLiteDatabase other(path);
  other.RunSQL("BEGIN EXCLUSIVE");
  other.RunSQL("INSERT INTO T VALUES (1)");
  EXPECT_EQ(MessageOf([&] { db->QueryTable("SELECT * FROM T"); }), "Could not prepare SQL statement");
  other.RunSQL("COMMIT");
  EXPECT_EQ(db->QueryTable("SELECT * FROM T")->RowCount(), 1);
}

TEST_F(SQLiteFixture, BoundTextsWithQuotesAndGbkAreStoredExactly) {
  db->RunSQL("CREATE TABLE T(S VARCHAR(50), N INTEGER, F FLOAT, B BLOB, Z TEXT)");
  const QByteArray texts[] = {"O'Neil 12", "'", "'); DROP TABLE T; --", ToGbk(QStringLiteral("拒合'拒分"))};
  for (const QByteArray& text : texts) {
    db->RunSQL("INSERT INTO T VALUES (?1, ?2, ?3, ?4, ?5)",
               {text, int64_t{42}, 2.5, SqlBlob{QByteArray("\x01\x02", 2)}, std::monostate{}});
  }
  for (const QByteArray& text : texts) {
    auto t = db->QueryTable("SELECT * FROM T WHERE S = ?1", {text});
    ASSERT_EQ(t->RowCount(), 1) << text.toStdString();
    EXPECT_EQ(t->ValueText(0), text);
    EXPECT_EQ(t->ValueText(1), QByteArray("42"));
    EXPECT_EQ(t->ValueText(2), QByteArray("2.5"));
    EXPECT_EQ(t->ValueText(3), QByteArray("\x01\x02", 2));
    EXPECT_EQ(t->ValueText(4), QByteArray());
  }
  EXPECT_EQ(FromGbk(db->QueryTable("SELECT S FROM T WHERE S LIKE ?1", {ToGbk(QStringLiteral("%拒合%"))})->ValueText(0)),
            QStringLiteral("拒合'拒分"));
}

TEST_F(SQLiteFixture, TooManyBoundValuesFailCleanly) {
  db->RunSQL("CREATE TABLE T(N INTEGER)");
  EXPECT_TRUE(MessageOf([&] { db->RunSQL("INSERT INTO T VALUES (?1)", {int64_t{1}, int64_t{2}}); })
                  .startsWith("Error executing SQL.\rError [25]: 2nd parameter to sqlite3_bind out of range."));
  EXPECT_EQ(db->QueryTable("SELECT * FROM T")->RowCount(), 0);
}

TEST(SQLiteOpen, UnopenableFileNamesTheFileAndTheReason) {
  rigtest::TempDir dir;
  const QByteArray path = dir.File("no/such/dir/x.db").toUtf8();
  EXPECT_EQ(MessageOf([&] { TSQLiteDatabase db(path); }),
            "Failed to open database \"" + QString::fromUtf8(path) + "\" : unable to open database file");
}

TEST(SQLiteOpen, NonDatabaseFileFailsAtTheFirstStatement) {
  rigtest::TempDir dir;
  dir.Write("junk.db", QByteArray(4096, 'x'));
  TSQLiteDatabase db(dir.File("junk.db").toUtf8());
  const QString message = MessageOf([&] { db.QueryTable("SELECT * FROM TestInfo"); });
  EXPECT_TRUE(message.contains("Error [26]: File opened that is not a database file.")) << message.toStdString();
}

// A hostile SaveData.db: TestInfo as a view that never ends made the search
// run until memory ran out; a trigger could delete saved rows behind a save.
TEST(SQLiteOpen, ViewsAndTriggersBroughtByAFileAreRefused) {
  rigtest::TempDir dir;
  const QByteArray path = dir.File("hostile.db").toUtf8();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.constData(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TABLE Saved(N INTEGER);"
                         // Bounded here, so a failure of this test ends.
                         "CREATE VIEW Endless AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c "
                         "LIMIT 3) SELECT x FROM c;"
                         "CREATE TABLE Log(N INTEGER);"
                         "CREATE TRIGGER Wipe AFTER INSERT ON Log BEGIN DELETE FROM Saved; END;"
                         "INSERT INTO Saved VALUES (1);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);

  TSQLiteDatabase db(path);
  EXPECT_THROW(db.QueryTable("SELECT * FROM Endless"), ESQLiteException);
  db.RunSQL("INSERT INTO Log VALUES (1)");  // the insert is done, the trigger does not fire
  EXPECT_EQ(db.QueryTable("SELECT count(*) AS N FROM Log")->ValueInteger(0), 1);
  EXPECT_EQ(db.QueryTable("SELECT count(*) AS N FROM Saved")->ValueInteger(0), 1);
}
