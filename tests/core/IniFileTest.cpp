#include <gtest/gtest.h>

#include "core/GbkText.h"
#include "core/IniFile.h"
#include "support/TempDir.h"

using namespace rig;

TEST(IniInteger, ParsesDecimalAndHexadecimalForms) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      {"19200", 19200}, {" 42 ", 42},       {"-7", -7},       {"0x1F", 31},          {"0X1f", 31},
      {"$FF", 255},     {"$FFFFFFFF", -1},  {"2147483647", 2147483647},              {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},          {"abc", std::nullopt}, {"", std::nullopt}, {"12a", std::nullopt},
      {"0x", std::nullopt}, {"$", std::nullopt}, {"1.5", std::nullopt}, {"0x100000000", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIniInteger(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(IniFile, ReadsKeysOfTheNamedSectionIgnoringCase) {
  rigtest::TempDir dir;
  dir.Write("a.ini", "[Other]\r\nBaud1=1\r\n[config]\r\n baud1 = 19200 \r\n; note\r\nName=" +
                         ToGbk(QStringLiteral("张三")) + "\r\n");
  const TIniFile ini(dir.File("a.ini"));
  EXPECT_EQ(ini.ReadInteger("Config", "Baud1", 9600), 19200);
  EXPECT_EQ(ini.ReadString("Config", "Name", ""), QStringLiteral("张三"));
  EXPECT_EQ(ini.ReadString("Config", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Nowhere", "Baud1", "dflt"), "dflt");
}

TEST(IniFile, MissingFileReadsDefaultsAndWriteCreatesFileAndSection) {
  rigtest::TempDir dir;
  TIniFile ini(dir.File("new.ini"));
  EXPECT_EQ(ini.ReadInteger("Config", "Baud1", 9600), 9600);
  ini.WriteString("Config", "ComName1", "COM3");
  EXPECT_EQ(dir.Read("new.ini"), QByteArray("[Config]\r\nComName1=COM3\r\n"));
}

TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  rigtest::TempDir dir;
  const QByteArray before = "; top comment\r\n[Config]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nB=9\r\n";
  dir.Write("a.ini", before);
  TIniFile ini(dir.File("a.ini"));
  ini.WriteString("Config", "B", "3");
  ini.WriteString("Config", "C", "4");
  ini.WriteString("Third", "X", "5");
  EXPECT_EQ(dir.Read("a.ini"),
            QByteArray("; top comment\r\n[Config]\r\nA=1\r\nB=3\r\nC=4\r\n\r\n[Other]\r\nB=9\r\n\r\n[Third]\r\nX=5\r\n"));
}

// An identity text pasted with line breaks must not become keys or sections.
TEST(IniFile, ALineBreakInAValueStaysInsideItsLine) {
  rigtest::TempDir dir;
  dir.Write("a.ini", "[Config]\r\nComName1=COM3\r\n");
  TIniFile ini(dir.File("a.ini"));
  ini.WriteString("Config", "OpenType1", QStringLiteral("ZW32\r\n[Config]\nComName1=COM9\u2028x"));
  EXPECT_EQ(ini.ReadString("Config", "ComName1", ""), "COM3");
  EXPECT_EQ(ini.ReadString("Config", "OpenType1", ""), QStringLiteral("ZW32  [Config] ComName1=COM9 x"));
  EXPECT_EQ(dir.Read("a.ini").count("\r\n"), 3);
}

// Found by fuzzing: bytes that are not GBK in lines a write did not touch (a
// text cut inside a character) came back as "?".
TEST(IniFile, WritingOneKeyKeepsOtherLinesByteForByte) {
  rigtest::TempDir dir;
  const QByteArray utf8Note = QStringLiteral("; 备注：真空断路器").toUtf8();
  const QByteArray notGbk = "OpenType2=" + ToGbk(QStringLiteral("真空断路器")).chopped(1);
  dir.Write("a.ini", utf8Note + "\r\n[Config]\r\n" + notGbk + "\r\n");
  TIniFile ini(dir.File("a.ini"));
  const QString readBefore = ini.ReadString("Config", "OpenType2", "");
  ini.WriteString("Config", "ComName1", "COM3");
  EXPECT_EQ(dir.Read("a.ini"), utf8Note + "\r\n[Config]\r\n" + notGbk + "\r\nComName1=COM3\r\n");
  EXPECT_EQ(ini.ReadString("Config", "OpenType2", ""), readBefore);
}

TEST(IniFile, RefusedWriteThrowsWithThePath) {
  rigtest::TempDir dir;
  const QString path = dir.File("no/such/folder/a.ini");
  TIniFile ini(path);
  try {
    ini.WriteString("Config", "A", "1");
    FAIL() << "no exception";
  } catch (const EIniWriteError& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + path);
  }
}
