#include <gtest/gtest.h>

#include <QProcess>

#include "core/IniFile.h"
#include "support/TempDir.h"

// scripts/point-help.sh names the shipped manual in the Config.ini that
// run.sh prepares, never replacing a document the operator named.
namespace {

int PointHelp(const QString& ini) {
  QProcess p;
  p.start("bash", {QStringLiteral(RIG_SOURCE_DIR "/scripts/point-help.sh"), ini, "Manual.pdf"});
  if (!p.waitForFinished(20000)) return -1;
  return p.exitCode();
}

TEST(PointHelp, NamesTheManualUnlessADocumentIsNamed) {
  const QByteArray gbkModel = QByteArray("OpenType1=") + QByteArray::fromHex("d5e6bfd5") + "\r\n";  // 真空
  const struct {
    const char* what;
    QByteArray before;  // "-": no file
    QByteArray after;
  } rows[] = {
      {"no file", "-", "[Config]\r\nHelpFileName=Manual.pdf\r\n"},
      {"empty file", "", "[Config]\r\nHelpFileName=Manual.pdf\r\n"},
      {"at the end of [Config], before [Lab], GBK kept", "[Config]\r\n" + gbkModel + "[Lab]\r\nHost=db\r\n",
       "[Config]\r\n" + gbkModel + "HelpFileName=Manual.pdf\r\n[Lab]\r\nHost=db\r\n"},
      {"no [Config] section", "[Lab]\r\nHost=db\r\n", "[Lab]\r\nHost=db\r\n[Config]\r\nHelpFileName=Manual.pdf\r\n"},
      {"the key in another section only", "[Lab]\r\nHelpFileName=x\r\n",
       "[Lab]\r\nHelpFileName=x\r\n[Config]\r\nHelpFileName=Manual.pdf\r\n"},
      {"a document named already", "[config]\r\n helpfilename = Guide.doc\r\n", "[config]\r\n helpfilename = Guide.doc\r\n"},
  };
  for (const auto& r : rows) {
    rigtest::TempDir dir;
    if (r.before != "-") dir.Write("Config.ini", r.before);
    ASSERT_EQ(PointHelp(dir.File("Config.ini")), 0) << r.what;
    EXPECT_EQ(dir.Read("Config.ini"), r.after) << r.what;
  }
}

// The program reads what the script wrote.
TEST(PointHelp, TheProgramReadsTheNamedManual) {
  rigtest::TempDir dir;
  dir.Write("Config.ini", "[Config]\r\nComName1=COM3\r\n");
  ASSERT_EQ(PointHelp(dir.File("Config.ini")), 0);
  rig::TIniFile ini(dir.File("Config.ini"));
  EXPECT_EQ(ini.ReadString("Config", "HelpFileName", "Help.doc"), QStringLiteral("Manual.pdf"));
  EXPECT_EQ(ini.ReadString("Config", "ComName1", QString()), QStringLiteral("COM3"));
}

}  // namespace
