#include <gtest/gtest.h>

#include "core/GbkText.h"

using namespace rig;

TEST(GbkText, RoundTripsChineseAndAscii) {
  const QString texts[] = {QStringLiteral("高压开关 ZN63-12"), QStringLiteral("O'Neil 12"), QString(),
                           QStringLiteral("拒合拒分○●")};
  for (const QString& t : texts) EXPECT_EQ(FromGbk(ToGbk(t)), t) << t.toStdString();
}

TEST(GbkText, EncodesChineseAsTwoBytesPerCharacter) {
  EXPECT_EQ(ToGbk(QStringLiteral("工位")), QByteArray("\xB9\xA4\xCE\xBB"));
}

TEST(GbkText, CharactersGbkCannotHoldBecomeQuestionMarks) {
  struct Case {
    QString in;
    QByteArray out;
  } cases[] = {
      {QStringLiteral("a한b"), "a?b"},
      {QStringLiteral("€"), "\x80"},  // code page 936 has the euro sign at 0x80
      {QString::fromUcs4(U"x\U0001F600y"), "x?y"},  // a surrogate pair is one character
      {QStringLiteral("工\u0E01位"), "\xB9\xA4?\xCE\xBB"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToGbk(c.in), c.out) << c.in.toStdString();
}

TEST(GbkText, InvalidBytesDecodeWithoutLosingTheRest) {
  const QString decoded = FromGbk(QByteArray("ok\xFF", 3) + QByteArray("\xB9\xA4"));
  EXPECT_TRUE(decoded.startsWith(QStringLiteral("ok")));
  EXPECT_TRUE(decoded.endsWith(QStringLiteral("工")));
}

TEST(GbkText, LimitedEncodingNeverSplitsACharacter) {
  EXPECT_EQ(ToGbkLimited(QStringLiteral("拒合拒分"), 6), ToGbk(QStringLiteral("拒合拒")));
  EXPECT_EQ(ToGbkLimited(QStringLiteral("拒合拒分"), 5), ToGbk(QStringLiteral("拒合")));
  EXPECT_EQ(ToGbkLimited(QStringLiteral("abcdefgh"), 6), QByteArray("abcdef"));
}

TEST(GbkText, OneDecoderReadsManyTextsEachOnItsOwn) {
  TGbkDecoder decode;
  struct Case {
    QByteArray bytes;
    QString text;
  } cases[] = {
      {"\xB9\xA4\xCE\xBB", QStringLiteral("工位")},
      {"\xB9", FromGbk("\xB9")},  // a cut character ends with its own text ...
      {"A1", QStringLiteral("A1")},        // ... and does not swallow the next one
      {QByteArray("\xBE\xDC\xBA\xCF", 4), QStringLiteral("拒合")},
      {"2018-11-07 14:05:09", QStringLiteral("2018-11-07 14:05:09")},
      {QByteArray(), QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(decode(c.bytes), c.text) << c.bytes.toHex().toStdString();
}
