#include <gtest/gtest.h>

#include <QFile>

#include "station/Config.h"
#include "station/GlobVar.h"
#include "core/RunLog.h"
#include "station/Startup.h"
#include "support/TempDir.h"

using namespace rig;

namespace {
std::unique_ptr<ActionRecord> Record(int count) {
  auto r = std::make_unique<ActionRecord>();
  r->Count = count;
  return r;
}
}  // namespace

TEST(Startup, FreshFolderGivesDefaultsAndTodaysLog) {
  rigtest::TempDir dir;
  GlobVar g;
  InitSharedState(g, dir.Path());
  EXPECT_EQ(g.ExeDir, dir.Path());
  EXPECT_EQ(g.ConfigPath, dir.File("Config.ini"));
  EXPECT_EQ(g.LogFileName(), dir.File(QStringLiteral("Log/LogFile%1.txt").arg(QDate::currentDate().day())));
  EXPECT_EQ(g.Station(2)->Config.PortName, "COM2");
  for (int s = 1; s <= 2; ++s) {
    EXPECT_FALSE(g.Station(s)->PortOpen);
    EXPECT_EQ(g.Station(s)->Model.Run(), RunState::Idle);
    EXPECT_TRUE(g.Station(s)->Model.AwaitingFirstReport());
    EXPECT_EQ(g.Station(s)->Run.CountDone, 0);
    EXPECT_TRUE(g.Station(s)->Actions.empty());
  }
  EXPECT_EQ(InstalledRunLog(), g.Log.get());
  WriteLog("started");
  EXPECT_TRUE(QFile::exists(g.LogFileName()));
  ShutdownSharedState(g);
  EXPECT_EQ(InstalledRunLog(), nullptr);
}

TEST(Startup, IdentityTextsComeBackAtTheNextStart) {
  rigtest::TempDir dir;
  {
    GlobVar g;
    InitSharedState(g, dir.Path());
    g.Station(1)->State.OpenType = QStringLiteral("真空断路器");
    g.Station(2)->State.WorkName = QStringLiteral("操作员甲");
    g.Station(1)->Actions.push_back(Record(1));
    EXPECT_TRUE(ShutdownSharedState(g).isEmpty());
    EXPECT_TRUE(g.Station(1)->Actions.empty());
  }
  GlobVar g;
  InitSharedState(g, dir.Path());
  EXPECT_EQ(g.Station(1)->State.OpenType, QStringLiteral("真空断路器"));
  EXPECT_EQ(g.Station(2)->State.WorkName, QStringLiteral("操作员甲"));
  ShutdownSharedState(g);
}

TEST(Startup, ShutdownReportsAnUnwritableConfigAndStillFreesTheQueues) {
  rigtest::TempDir dir;
  GlobVar g;
  InitSharedState(g, dir.Path());
  g.ConfigPath = dir.File("gone/Config.ini");
  g.Station(2)->Actions.push_back(Record(5));
  EXPECT_EQ(ShutdownSharedState(g), "Unable to write to " + g.ConfigPath);
  EXPECT_TRUE(g.Station(2)->Actions.empty());
}

TEST(SharedState, StationNumbersOtherThanOneAndTwoDoNothing) {
  GlobVar g;
  g.Station(1)->Actions.push_back(Record(1));
  g.Station(2)->Actions.push_back(Record(2));
  for (int bad : {0, 3, -1, 256}) {
    EXPECT_EQ(g.Station(bad), nullptr);
    g.ClearActionQueue(bad);
  }
  EXPECT_EQ(g.Station(1)->Actions.size(), 1u);
  g.ClearActionQueue(2);
  EXPECT_TRUE(g.Station(2)->Actions.empty());
  EXPECT_EQ(g.Station(1)->Actions.front()->Count, 1);
}
