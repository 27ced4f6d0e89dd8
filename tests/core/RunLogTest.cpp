#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <thread>
#include <vector>

#include "core/GbkText.h"
#include "core/RunLog.h"
#include "support/TempDir.h"

using namespace rig;

namespace {
QDateTime At(int y, int m, int d, int hh, int mm, int ss) { return QDateTime(QDate(y, m, d), QTime(hh, mm, ss)); }
}  // namespace

TEST(RunLog, FileIsNamedByDayOfMonthWithoutLeadingZero) {
  EXPECT_EQ(TRunLog::FileNameFor("/x/", QDate(2026, 12, 5)), "/x/Log/LogFile5.txt");
  EXPECT_EQ(TRunLog::FileNameFor("/x/", QDate(2026, 1, 31)), "/x/Log/LogFile31.txt");
}

TEST(RunLog, LineIsTimeStampTwoSpacesTextCrLfInGbk) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path(), QDate(2026, 12, 5));
  log.WriteAt(QStringLiteral("发出：01 A0 "), At(2026, 12, 5, 9, 3, 7));
  log.WriteAt("midnight", At(2026, 12, 5, 0, 0, 0));
  EXPECT_EQ(dir.Read("Log/LogFile5.txt"),
            ToGbk(QStringLiteral("2026-12-05 09:03:07  发出：01 A0 \r\n2026-12-05  midnight\r\n")));
}

TEST(RunLog, StartingOnADayWithAnOldFileAppendsToIt) {
  rigtest::TempDir dir;
  QDir().mkpath(dir.File("Log"));
  dir.Write("Log/LogFile1.txt", "old line\r\n");
  TRunLog log(dir.Path(), QDate(2026, 12, 1));
  log.WriteAt("new", At(2026, 12, 1, 8, 0, 0));
  EXPECT_EQ(dir.Read("Log/LogFile1.txt"), QByteArray("old line\r\n2026-12-01 08:00:00  new\r\n"));
}

TEST(RunLog, CrossingMidnightStartsTheNewDaysFileAfresh) {
  rigtest::TempDir dir;
  QDir().mkpath(dir.File("Log"));
  dir.Write("Log/LogFile1.txt", "a month old\r\n");
  TRunLog log(dir.Path(), QDate(2026, 12, 31));
  log.WriteAt("before", At(2026, 12, 31, 23, 59, 59));
  log.WriteAt("after", At(2027, 1, 1, 0, 0, 1));
  log.WriteAt("later", At(2027, 1, 1, 0, 0, 2));
  EXPECT_EQ(log.FileName(), dir.File("Log/LogFile1.txt"));
  EXPECT_EQ(dir.Read("Log/LogFile1.txt"), QByteArray("2027-01-01 00:00:01  after\r\n2027-01-01 00:00:02  later\r\n"));
  EXPECT_EQ(dir.Read("Log/LogFile31.txt"), QByteArray("2026-12-31 23:59:59  before\r\n"));
}

// A writer that read the clock just before midnight and wrote just after
// must neither empty the old day's file nor make the new day's start over.
TEST(RunLog, ALateLineOfTheOldDayKeepsBothDaysFiles) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path(), QDate(2026, 12, 7));
  log.WriteAt("before", At(2026, 12, 7, 23, 59, 59));
  log.WriteAt("after", At(2026, 12, 8, 0, 0, 0));
  log.WriteAt("late", At(2026, 12, 7, 23, 59, 59));
  log.WriteAt("next", At(2026, 12, 8, 0, 0, 1));
  EXPECT_EQ(dir.Read("Log/LogFile7.txt"), QByteArray("2026-12-07 23:59:59  before\r\n"));
  EXPECT_EQ(dir.Read("Log/LogFile8.txt"),
            QByteArray("2026-12-08  after\r\n2026-12-07 23:59:59  late\r\n2026-12-08 00:00:01  next\r\n"));
}

TEST(RunLog, DeletedFolderIsRecreatedByTheNextLine) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path(), QDate(2026, 12, 7));
  log.WriteAt("one", At(2026, 12, 7, 10, 0, 0));
  ASSERT_TRUE(QDir(dir.File("Log")).removeRecursively());
  log.WriteAt("two", At(2026, 12, 7, 10, 0, 1));
  EXPECT_EQ(dir.Read("Log/LogFile7.txt"), QByteArray("2026-12-07 10:00:01  two\r\n"));
}

TEST(RunLog, UnwritableFolderDropsTheLineSilently) {
  rigtest::TempDir dir;
  dir.Write("Log", "a file where the folder should be");
  TRunLog log(dir.Path(), QDate(2026, 12, 7));
  log.WriteAt("lost", At(2026, 12, 7, 10, 0, 0));  // must neither throw nor crash
  EXPECT_EQ(dir.Read("Log"), QByteArray("a file where the folder should be"));
}

TEST(RunLog, WriteLogGoesToTheInstalledLogOnly) {
  rigtest::TempDir dir;
  WriteLog("nobody listens");  // no log installed: nothing happens
  TRunLog log(dir.Path());
  InstallRunLog(&log);
  WriteLog("hello");
  InstallRunLog(nullptr);
  WriteLog("after uninstall");
  QFile file(log.FileName());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.endsWith("  hello\r\n"));
  EXPECT_EQ(text.count('\n'), 1);
}

TEST(RunLog, ConcurrentWritersLoseNoLine) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path(), QDate(2026, 12, 7));
  constexpr int kThreads = 3, kLines = 400;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) log.WriteAt(QStringLiteral("t%1 line %2").arg(t).arg(i), At(2026, 12, 7, 12, 0, 0));
    });
  }
  for (auto& th : threads) th.join();
  const QList<QByteArray> lines = dir.Read("Log/LogFile7.txt").split('\n');
  EXPECT_EQ(lines.size(), kThreads * kLines + 1);  // last split part is empty
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kLines; i += 97) {
      EXPECT_TRUE(lines.contains(QStringLiteral("2026-12-07 12:00:00  t%1 line %2\r").arg(t).arg(i).toLatin1()));
    }
  }
}
