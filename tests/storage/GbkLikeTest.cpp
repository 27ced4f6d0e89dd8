#include <gtest/gtest.h>

#include "core/GbkText.h"
#include "storage/GbkLike.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "support/TempDir.h"

using namespace rig;

TEST(GbkLike, MatchesCharactersNotBytes) {
  // 0xB0 0x5F is one character whose second byte is "_"; 0xB0 0x41 another.
  const QString underscoreTrail = FromGbk("\xB0\x5F"), otherTrail = FromGbk("\xB0\x41");
  struct Case {
    QString pattern, text;
    bool match;
  } cases[] = {
      {QStringLiteral("%张%"), QStringLiteral("王五"), false},
      {QStringLiteral("%张%"), QStringLiteral("张三"), true},
      {QStringLiteral("%真空%"), QStringLiteral("户外真空断路器"), true},
      {QStringLiteral("%工位%"), QStringLiteral("一号工位"), true},
      {QStringLiteral("%号%"), QStringLiteral("一号台"), true},
      {QStringLiteral("__"), QStringLiteral("王五"), true},  // "_" is one character, not one byte
      {QStringLiteral("_"), QStringLiteral("王五"), false},
      {QStringLiteral("王_"), QStringLiteral("王五"), true},
      {QStringLiteral("%五"), QStringLiteral("王五"), true},
      {QStringLiteral("%%"), QString(), true},
      {QStringLiteral("_"), QString(), false},
      {QStringLiteral("%zw3_%"), QStringLiteral("ZW32-12"), true},  // ASCII letters without case
      {QStringLiteral("%Ａ%"), QStringLiteral("ａ"), false},         // only ASCII letters fold
      {QStringLiteral("%'%"), QStringLiteral("O'Neil"), true},
      {QStringLiteral("%'%"), QStringLiteral("ONeil"), false},
      {QStringLiteral("%a%b%c"), QStringLiteral("xaxbxbxc"), true},
      {QStringLiteral("%a%b%c"), QStringLiteral("xaxbxbxcx"), false},
      {underscoreTrail, otherTrail, false},  // a "_" byte inside a character is no wildcard
      {underscoreTrail, underscoreTrail, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkLike(ToGbk(c.pattern), ToGbk(c.text)), c.match)
        << c.pattern.toStdString() << " ~ " << c.text.toStdString();
  }
}

TEST(GbkLike, AsAnSqlFunctionNullStaysNull) {
  rigtest::TempDir dir;
  TSQLiteDatabase db(dir.File("t.db").toUtf8());
  RegisterGbkLike(db);
  auto t = db.QueryTable("SELECT gbk_like('%', NULL) AS A, gbk_like(?1, ?2) AS B, gbk_like('1_', 12) AS C",
                         {ToGbk(QStringLiteral("%张%")), ToGbk(QStringLiteral("王五"))});
  EXPECT_EQ(t->ValueText(0), "");
  EXPECT_EQ(t->ValueText(1), "0");
  EXPECT_EQ(t->ValueText(2), "1");
}
