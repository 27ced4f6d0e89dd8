#include <gtest/gtest.h>

#include "station/Config.h"
#include "core/GbkText.h"
#include "station/GlobVar.h"
#include "core/IniFile.h"
#include "support/TempDir.h"

using namespace rig;

namespace {

struct ConfigFixture : ::testing::Test {
  rigtest::TempDir dir;
  GlobVar g;
  ConfigFixture() { g.ConfigPath = dir.File("Config.ini"); }
};

void ExpectConfig(const StationConfig& c, const char* port, int data, int stop, int parity, int baud) {
  EXPECT_EQ(c.PortName, QString::fromLatin1(port));
  EXPECT_EQ(c.DataBits, data);
  EXPECT_EQ(c.StopBitsIndex, stop);
  EXPECT_EQ(c.ParityIndex, parity);
  EXPECT_EQ(c.BaudRate, baud);
}

}  // namespace

TEST_F(ConfigFixture, MissingFileGivesEveryDefault) {
  LoadConfig(g);
  ExpectConfig(g.Station(1)->Config, "COM1", 8, 0, 0, 9600);
  ExpectConfig(g.Station(2)->Config, "COM2", 8, 0, 0, 9600);
  EXPECT_TRUE(g.Station(1)->State.OpenType.isEmpty());
  EXPECT_TRUE(g.Station(2)->State.WorkName.isEmpty());
  EXPECT_EQ(g.HelpFileName, "Help.doc");
}

TEST_F(ConfigFixture, PartialFileMixesValuesAndDefaults) {
  dir.Write("Config.ini", "[Config]\r\nBaud1=19200\r\nDataNum1=abc\r\nStopNum2=0x2\r\nMark2=$4\r\nComName2=ttyUSB0\r\n");
  LoadConfig(g);
  ExpectConfig(g.Station(1)->Config, "COM1", 8, 0, 0, 19200);
  ExpectConfig(g.Station(2)->Config, "ttyUSB0", 8, 2, 4, 9600);
}

TEST_F(ConfigFixture, IdentityTextsSurviveSaveAndLoadInGbk) {
  const QString texts[8] = {"ZN63-12", "No.0815", QStringLiteral("二号台"), QStringLiteral("李四"),
                            QStringLiteral("真空断路器"), "O'Neil 12", "", QStringLiteral("王五")};
  for (int s = 1; s <= 2; ++s) {
    StationState& st = g.Station(s)->State;
    const QString* t = texts + (s - 1) * 4;
    st.OpenType = t[0], st.OutIndex = t[1], st.WorkArea = t[2], st.WorkName = t[3];
  }
  SaveTestIdentity(g);
  EXPECT_TRUE(dir.Read("Config.ini").contains(ToGbk(QStringLiteral("WorkArea1=二号台"))));

  GlobVar again;
  again.ConfigPath = g.ConfigPath;
  LoadConfig(again);
  for (int s = 1; s <= 2; ++s) {
    const StationState& st = again.Station(s)->State;
    const QString* t = texts + (s - 1) * 4;
    EXPECT_EQ(st.OpenType, t[0]);
    EXPECT_EQ(st.OutIndex, t[1]);
    EXPECT_EQ(st.WorkArea, t[2]);
    EXPECT_EQ(st.WorkName, t[3]);
  }
  // Never written, so the default stays in force.
  EXPECT_FALSE(dir.Read("Config.ini").contains("HelpFileName"));
}

TEST_F(ConfigFixture, SavingStationTwoLeavesEverythingElseUntouched) {
  const QByteArray before = "[Config]\r\nComName1=COM7\r\nBaud1=115200\r\nOpenType1=" + ToGbk(QStringLiteral("型号")) +
                            "\r\nHelpFileName=Manual.doc\r\n";
  dir.Write("Config.ini", before);
  LoadConfig(g);
  g.Station(2)->Config = StationConfig{"ttyS4", 7, 2, 1, 57600};
  SaveStationComm(g, 2);
  EXPECT_EQ(dir.Read("Config.ini"), before + "ComName2=ttyS4\r\nDataNum2=7\r\nStopNum2=2\r\nMark2=1\r\nBaud2=57600\r\n");

  GlobVar again;
  again.ConfigPath = g.ConfigPath;
  LoadConfig(again);
  ExpectConfig(again.Station(1)->Config, "COM7", 8, 0, 0, 115200);
  ExpectConfig(again.Station(2)->Config, "ttyS4", 7, 2, 1, 57600);
  EXPECT_EQ(again.HelpFileName, "Manual.doc");
}

TEST_F(ConfigFixture, SavingAStationThatDoesNotExistWritesNothing) {
  SaveStationComm(g, 3);
  SaveStationComm(g, 0);
  EXPECT_TRUE(dir.Read("Config.ini").isEmpty());
}

TEST_F(ConfigFixture, UnwritableFileReportsTheFirstKeyFailure) {
  g.ConfigPath = dir.File("missing-folder/Config.ini");
  EXPECT_THROW(SaveTestIdentity(g), EIniWriteError);
  EXPECT_THROW(SaveStationComm(g, 1), EIniWriteError);
}
