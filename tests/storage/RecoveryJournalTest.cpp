#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "storage/JournalFormat.h"
#include "storage/JournalSamples.h"
#include "storage/RecoveryJournal.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using rigtest::SampleAction;
using rigtest::SampleRun;
using rigtest::SampleTime;

namespace {

constexpr int kWait = 10000;

struct Read {
  JournalScan scan;
  std::vector<ActionRecord> actions;
};

Read ReadJournal(const QString& path) {
  Read r;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return r;
  r.scan = ScanJournal(f, [&](ActionRecord&& a, const QDateTime& t) {
    EXPECT_EQ(t, SampleTime(a.ActionNo));
    r.actions.push_back(std::move(a));
  });
  r.scan.TotalBytes = f.size();
  return r;
}

// Sample actions first..last, exactly and in order.
void ExpectActions(const Read& r, int first, int last) {
  ASSERT_TRUE(r.scan.HasRun);
  ASSERT_EQ(r.actions.size(), size_t(last - first + 1));
  for (int i = first; i <= last; ++i) rigtest::ExpectSameAction(r.actions[i - first], SampleAction(i));
}

void AppendSamples(RecoveryJournal& j, int first, int last) {
  for (int i = first; i <= last; ++i) j.Append(SampleAction(i), SampleTime(i));
}

// Troubles told by a journal, kept for the test thread.
struct TroubleLog {
  std::mutex m;
  QStringList texts;
  void Add(const QString& t) {
    std::lock_guard l(m);
    texts << t;
  }
  QStringList Texts() {
    std::lock_guard l(m);
    return texts;
  }
  RecoveryJournal::TroubleHandler Handler() {
    return [this](const QString& t) { Add(t); };
  }
};

}  // namespace

TEST(RecoveryJournal, HoldsTheRunAndEveryActionHandedOver) {
  rigtest::TempDir dir;
  RecoveryJournal j(dir.Path(), 2);
  EXPECT_EQ(j.FilePath(), dir.File("Journal/Station2.journal"));
  j.BeginRun(SampleRun(2));
  AppendSamples(j, 1, 500);
  ASSERT_TRUE(j.Flush(kWait));

  const Read r = ReadJournal(j.FilePath());
  EXPECT_EQ(r.scan.Run.Station, 2);
  EXPECT_EQ(r.scan.Run.OutIndex, SampleRun().OutIndex);
  EXPECT_EQ(r.scan.Run.StartTime, SampleRun().StartTime);
  ExpectActions(r, 1, 500);
  EXPECT_EQ(r.scan.GoodBytes, r.scan.TotalBytes);
  const JournalStatus s = j.Status();
  EXPECT_FALSE(s.Trouble);
  EXPECT_EQ(s.Queued, 501u);
  EXPECT_EQ(s.Written, 501u);
  EXPECT_EQ(s.Settled, 501u);
}

TEST(RecoveryJournal, ClosingWritesWhatWasHandedOverAndKeepsTheFile) {
  rigtest::TempDir dir;
  {
    RecoveryJournal j(dir.Path(), 1);
    j.BeginRun(SampleRun());
    AppendSamples(j, 1, 2000);
  }
  ExpectActions(ReadJournal(JournalPath(dir.Path(), 1)), 1, 2000);
}

TEST(RecoveryJournal, ASaveClearsItAndTheRunGoesOnInANewOne) {
  rigtest::TempDir dir;
  RecoveryJournal j(dir.Path(), 1);
  j.BeginRun(SampleRun());
  AppendSamples(j, 1, 10);
  ASSERT_TRUE(j.Flush(kWait));
  ASSERT_TRUE(QFile::exists(j.FilePath()));

  j.Clear();  // saved after the run ended
  ASSERT_TRUE(j.Flush(kWait));
  EXPECT_FALSE(QFile::exists(j.FilePath()));

  // Saved in the middle of the run: the actions after the save form the next
  // test, under the same run.
  AppendSamples(j, 11, 15);
  ASSERT_TRUE(j.Flush(kWait));
  Read r = ReadJournal(j.FilePath());
  EXPECT_EQ(r.scan.Run.OpenType, SampleRun().OpenType);
  ExpectActions(r, 11, 15);

  // A new start replaces the unsaved test.
  TestSummary next = SampleRun();
  next.OutIndex = "F08";
  next.StartTime = next.StartTime.addDays(1);
  j.BeginRun(next);
  AppendSamples(j, 1, 3);
  ASSERT_TRUE(j.Flush(kWait));
  r = ReadJournal(j.FilePath());
  EXPECT_EQ(r.scan.Run.OutIndex, "F08");
  ExpectActions(r, 1, 3);
  EXPECT_FALSE(j.Status().Trouble);
}

TEST(RecoveryJournal, ActionsBeforeAnyRunAreNotJournaled) {
  rigtest::TempDir dir;
  RecoveryJournal j(dir.Path(), 1);
  AppendSamples(j, 1, 3);
  ASSERT_TRUE(j.Flush(kWait));
  EXPECT_FALSE(QFile::exists(j.FilePath()));
  EXPECT_FALSE(j.Status().Trouble);
}

TEST(RecoveryJournal, AJournalFolderThatCannotBeMadeIsToldOnceAndTheTestGoesOn) {
  struct Case {
    const char* what;
    std::function<void(const rigtest::TempDir&)> block;
    const char* told;
  } cases[] = {
      {"a file named Journal", [](const rigtest::TempDir& d) { d.Write("Journal", "x"); }, "文件夹"},
      {"a folder in the journal's place",
       [](const rigtest::TempDir& d) { QDir().mkpath(d.File("Journal/Station1.journal/sub")); }, "无法删除"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rigtest::TempDir dir;
    c.block(dir);
    TroubleLog log;
    RecoveryJournal j(dir.Path(), 1);
    j.SetTroubleHandler(log.Handler());
    j.BeginRun(SampleRun());
    AppendSamples(j, 1, 100);
    ASSERT_TRUE(j.Flush(kWait));  // nothing waits on a journal that cannot be written
    const JournalStatus s = j.Status();
    EXPECT_TRUE(s.Trouble);
    EXPECT_FALSE(s.LastTrouble.isEmpty());
    QStringList told = log.Texts();
    ASSERT_FALSE(told.isEmpty());
    EXPECT_TRUE(told.join('\n').contains(QString::fromUtf8(c.told))) << told.join('\n').toStdString();
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("工位1恢复日志"))) << told[0].toStdString();
    EXPECT_EQ(told.removeDuplicates(), 0) << "each trouble is told once";
  }
}

TEST(RecoveryJournal, AfterTroubleASaveLetsTheNextJournalStartWhole) {
  rigtest::TempDir dir;
  dir.Write("Journal", "x");
  RecoveryJournal j(dir.Path(), 1);
  j.BeginRun(SampleRun());
  AppendSamples(j, 1, 5);
  ASSERT_TRUE(j.Flush(kWait));
  EXPECT_TRUE(j.Status().Trouble);

  ASSERT_TRUE(QFile::remove(dir.File("Journal")));
  j.Clear();  // the operator saved the test
  AppendSamples(j, 6, 9);
  ASSERT_TRUE(j.Flush(kWait));
  ExpectActions(ReadJournal(j.FilePath()), 6, 9);
}

TEST(RecoveryJournal, AStalledDiskStopsTheJournalAtAWholeBeginningInsteadOfGrowingMemory) {
  rigtest::TempDir dir;
  dir.Write("Journal", "x");  // the first start fails, so the writer calls the handler
  // The handler holds the writer still, as a disk that stopped answering would.
  std::mutex m;
  std::condition_variable cv;
  bool entered = false, release = false;
  TroubleLog log;
  JournalOptions options;
  options.MaxQueuedRecords = 50;
  RecoveryJournal j(dir.Path(), 1, options);
  j.SetTroubleHandler([&](const QString& t) {
    log.Add(t);
    std::unique_lock l(m);
    if (entered) return;
    entered = true;
    cv.notify_all();
    cv.wait(l, [&] { return release; });
  });
  j.BeginRun(SampleRun());
  {
    std::unique_lock l(m);
    ASSERT_TRUE(cv.wait_for(l, std::chrono::seconds(10), [&] { return entered; }));
  }
  ASSERT_TRUE(QFile::remove(dir.File("Journal")));
  j.Clear();
  AppendSamples(j, 1, 1000);  // far more than may wait; none of these blocks
  EXPECT_LE(j.Status().Queued, 1u + 50u + 1u);
  {
    std::lock_guard l(m);
    release = true;
  }
  cv.notify_all();
  ASSERT_TRUE(j.Flush(kWait));

  const Read r = ReadJournal(j.FilePath());
  ASSERT_TRUE(r.scan.HasRun);
  ASSERT_GE(r.actions.size(), 1u);
  EXPECT_LT(r.actions.size(), 1000u);
  ExpectActions(r, 1, int(r.actions.size()));
  EXPECT_TRUE(log.Texts().join('\n').contains(QStringLiteral("已停止记录")));

  // The next run is journaled again.
  j.BeginRun(SampleRun());
  AppendSamples(j, 1, 20);
  ASSERT_TRUE(j.Flush(kWait));
  ExpectActions(ReadJournal(j.FilePath()), 1, 20);
}

namespace {

// A child whose files may not grow past `limit` bytes, as on a full disk:
// writes beyond it fail (EFBIG) instead of the child being stopped.
void LimitFileSize(rlim_t limit) {
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit r{};
  ::getrlimit(RLIMIT_FSIZE, &r);
  r.rlim_cur = limit;
  ::setrlimit(RLIMIT_FSIZE, &r);
}

template <typename Condition>
bool PollFor(Condition c) {
  for (int i = 0; i < 500; ++i) {
    if (c()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return c();
}

}  // namespace

TEST(RecoveryJournal, ADiskThatFillsUpLosesNoActionWhenSpaceReturns) {
  rigtest::TempDir dir;
  const rigtest::ChildEnd end = rigtest::RunInChild([&] {
    JournalOptions options;
    options.RetryInterval = std::chrono::milliseconds(20);
    RecoveryJournal j(dir.Path(), 1, options);
    std::atomic<int> troubles{0}, resumed{0};
    j.SetTroubleHandler([&](const QString& t) { ++(t.contains(QStringLiteral("已恢复写入")) ? resumed : troubles); });
    LimitFileSize(4096);
    j.BeginRun(SampleRun());
    AppendSamples(j, 1, 400);  // about 13 KB
    if (!PollFor([&] { return troubles > 0; })) return 10;
    if (j.Flush(100)) return 11;  // cannot be on disk yet
    AppendSamples(j, 401, 500);
    LimitFileSize(RLIM_INFINITY);  // space again
    if (!j.Flush(kWait)) return 12;
    if (resumed != 1) return 13;
    return 0;
  });
  ASSERT_TRUE(end.exited) << end.signal;
  ASSERT_EQ(end.exitCode, 0);
  const Read r = ReadJournal(JournalPath(dir.Path(), 1));
  ExpectActions(r, 1, 500);
  EXPECT_EQ(r.scan.GoodBytes, r.scan.TotalBytes);
}

TEST(RecoveryJournal, ADiskThatStaysFullKeepsAWholeBeginningAndNeverStopsTheTest) {
  rigtest::TempDir dir;
  const rigtest::ChildEnd end = rigtest::RunInChild([&] {
    JournalOptions options;
    options.RetryInterval = std::chrono::milliseconds(20);
    options.MaxUnwrittenBytes = 2000;
    RecoveryJournal j(dir.Path(), 1, options);
    std::atomic<bool> gaveUp{false};
    j.SetTroubleHandler([&](const QString& t) {
      if (t.contains(QStringLiteral("已停止记录"))) gaveUp = true;
    });
    LimitFileSize(3000);  // the limit falls inside a record
    j.BeginRun(SampleRun());
    AppendSamples(j, 1, 2000);
    if (!j.Flush(kWait)) return 10;
    return gaveUp ? 0 : 11;
  });
  ASSERT_TRUE(end.exited) << end.signal;
  ASSERT_EQ(end.exitCode, 0);
  const Read r = ReadJournal(JournalPath(dir.Path(), 1));
  ASSERT_GT(r.actions.size(), 10u);
  ASSERT_LT(r.actions.size(), 2000u);
  ExpectActions(r, 1, int(r.actions.size()));
  EXPECT_LE(r.scan.TotalBytes, 3000);
}

TEST(RecoveryJournal, AKilledProgramLosesNothingTheWriterHadWritten) {
  rigtest::TempDir dir;
  constexpr int kBefore = 5000, kInFlight = 5000;
  const rigtest::ChildEnd end = rigtest::RunInChild([&] {
    RecoveryJournal j(dir.Path(), 1);
    j.BeginRun(SampleRun());
    AppendSamples(j, 1, kBefore);
    const uint64_t handedOver = j.Status().Queued;
    if (!PollFor([&] { return j.Status().Written >= handedOver; })) return 10;
    // More actions still arriving when the program dies: any of them may be
    // lost, but none may be misread.
    AppendSamples(j, kBefore + 1, kBefore + kInFlight);
    ::raise(SIGKILL);
    return 11;
  });
  ASSERT_FALSE(end.exited) << end.exitCode;
  ASSERT_EQ(end.signal, SIGKILL);
  const Read r = ReadJournal(JournalPath(dir.Path(), 1));
  ASSERT_GE(r.actions.size(), size_t(kBefore));
  ASSERT_LE(r.actions.size(), size_t(kBefore + kInFlight));
  ExpectActions(r, 1, int(r.actions.size()));
}
