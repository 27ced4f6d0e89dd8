#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/DateTimeText.h"
#include "core/GbkText.h"
#include "storage/JournalFormat.h"
#include "storage/JournalRecovery.h"
#include "storage/JournalSamples.h"
#include "storage/RecordStore.h"
#include "storage/RecoveryJournal.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "storage/SavedTestsFixture.h"

using namespace rig;
using rigtest::SampleAction;
using rigtest::SampleRun;
using rigtest::SampleTime;

namespace {

const QDateTime kRecoveredAt(QDate(2026, 12, 9), QTime(7, 30, 0));

// Writes a journal the way a station does, and waits until it is on disk.
void JournalRun(const QString& exeDir, const TestSummary& run, int actions) {
  RecoveryJournal j(exeDir, run.Station);
  j.BeginRun(run);
  for (int i = 1; i <= actions; ++i) j.Append(SampleAction(i), SampleTime(i));
  ASSERT_TRUE(j.Flush(10000));
}

// Every column of the test's summary row (the detail path relative to the
// program folder) and every column of its detail rows, as text.
QList<QByteArrayList> SavedRows(const QString& exeDir) {
  QList<QByteArrayList> rows;
  TSQLiteDatabase db((exeDir + "SaveData.db").toUtf8());
  auto s = db.QueryTable("SELECT * FROM TestInfo ORDER BY AutoID");
  for (; !s->IsAtEnd(); s->MoveNext()) {
    QByteArrayList row;
    for (int c = 0; c < s->ColumnCount(); ++c) row << s->ValueText(c);
    const QByteArray detail = s->ValueText(s->ColumnIndex("DetailSaveDBName"));
    row[s->ColumnIndex("DetailSaveDBName")] = detail.mid(exeDir.toUtf8().size());
    rows << row;
    TSQLiteDatabase d(detail);
    auto t = d.QueryTable("SELECT * FROM ControlState ORDER BY AutoID");
    for (; !t->IsAtEnd(); t->MoveNext()) {
      QByteArrayList action;
      for (int c = 0; c < t->ColumnCount(); ++c) action << t->ValueText(c);
      rows << action;
    }
  }
  return rows;
}

// Where a kill stops a save.
enum class Kill { BeforeNaming, AfterNaming, AfterCommit };

// Kills the process as a saved test is handed on, just after its summary
// row's commit and before its journal is removed.
struct KillOnSaved : ISavedTestSink {
  void TestSaved(const QString&, const JustSavedTest&) noexcept override { ::raise(SIGKILL); }
};

}  // namespace

TEST(JournalRecovery, AKillAnywhereInASaveLeavesTheTestStoredOnceWithEveryAction) {
  struct Case {
    const char* what;
    bool recovering;  // a recovery's save of a journal left from before, not a station's
    bool torn;        // that journal's end is torn
    Kill at;
    bool offered;  // at the next start
  } cases[] = {
      {"station save killed before it names the test", false, false, Kill::BeforeNaming, true},
      {"station save killed between naming and commit", false, false, Kill::AfterNaming, true},
      {"station save killed after its commit", false, false, Kill::AfterCommit, false},
      {"recovery killed after its commit", true, false, Kill::AfterCommit, false},
      {"recovery of a torn journal killed after its commit", true, true, Kill::AfterCommit, false},
  };
  constexpr int kActions = 300;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rigtest::SavedTestsFolder folder;
    const QString exe = folder.Exe();
    std::vector<LeftoverJournal> asked;  // the recovery question on screen before the kill
    if (c.recovering) {
      JournalRun(exe, SampleRun(1), kActions);
      const QString journal = QStringLiteral("Journal/Station1.journal");
      if (c.torn) folder.dir.Write(journal, folder.dir.Read(journal) + QByteArray(3, 0x7f));
      asked = FindLeftoverJournals(exe);
      ASSERT_EQ(asked.size(), 1u);
      ASSERT_EQ(asked[0].TornEnd, c.torn);
    }
    const rigtest::ChildEnd end = rigtest::RunInChild([&] {
      KillOnSaved killer;
      if (c.at == Kill::AfterCommit) SetSavedTestSink(&killer);
      if (c.recovering) return RecoverJournal(exe, asked[0], kRecoveredAt).Ok ? 0 : 1;
      // A station's save, as SaveStationTest makes it.
      RecoveryJournal j(exe, 1);
      j.BeginRun(SampleRun(1));
      ActionQueue queue;
      for (int i = 1; i <= kActions; ++i) {
        j.Append(SampleAction(i), SampleTime(i));
        queue.push_back(std::make_unique<ActionRecord>(SampleAction(i)));
      }
      TestSummary test = SampleRun(1);
      test.EndTime = SampleTime(kActions);
      test.CountDone = kActions;
      WriteTestRecord(exe, test, queue, kRecoveredAt, [&](const QByteArray& detailKey) {
        j.Flush(10000);
        if (c.at == Kill::BeforeNaming) ::raise(SIGKILL);
        j.MarkSaving(detailKey);
        if (c.at == Kill::AfterNaming) ::raise(SIGKILL);
      });
      return 1;
    });
    ASSERT_EQ(end.signal, SIGKILL);

    // 确定 on the question asked before the kill stores nothing twice either.
    if (c.recovering) EXPECT_TRUE(RecoverJournal(exe, asked[0], kRecoveredAt).Ok);
    const std::vector<LeftoverJournal> found = FindLeftoverJournals(exe);
    ASSERT_EQ(found.size(), c.offered ? 1u : 0u);
    if (c.offered) {
      EXPECT_EQ(found[0].ActionCount, kActions);
      ASSERT_TRUE(RecoverJournal(exe, found[0], kRecoveredAt).Ok);
    }
    EXPECT_TRUE(FindLeftoverJournals(exe).empty());
    EXPECT_FALSE(QFile::exists(JournalPath(exe, 1)));

    TSQLiteDatabase db((exe + "SaveData.db").toUtf8());
    auto rows = db.QueryTable("SELECT DetailSaveDBName FROM TestInfo");
    ASSERT_EQ(rows->RowCount(), 1);
    TSQLiteDatabase detail(rows->ValueText(0));
    auto a = detail.QueryTable(
        "SELECT count(*), count(DISTINCT DealTimes), min(DealTimes), max(DealTimes) FROM ControlState");
    EXPECT_EQ(a->ValueInteger(0), kActions);
    EXPECT_EQ(a->ValueInteger(1), kActions);
    EXPECT_EQ(a->ValueInteger(2), 1);
    EXPECT_EQ(a->ValueInteger(3), kActions);
  }
}

TEST(JournalRecovery, NothingIsFoundWithoutJournals) {
  rigtest::TempDir dir;
  EXPECT_TRUE(FindLeftoverJournals(dir.Path()).empty());
  QDir().mkpath(dir.File("Journal"));
  dir.Write("Journal/notes.txt", "x");
  dir.Write("Journal/Station3.journal", "x");
  EXPECT_TRUE(FindLeftoverJournals(dir.Path()).empty());
}

TEST(JournalRecovery, FindsEachStationsTestWithWhatTheOperatorIsAsked) {
  rigtest::TempDir dir;
  JournalRun(dir.Path(), SampleRun(1), 1234);
  TestSummary second = SampleRun(2);
  second.OutIndex = "F08";
  second.CountDone = 77;  // resumed from the controller's count
  JournalRun(dir.Path(), second, 0);

  const std::vector<LeftoverJournal> found = FindLeftoverJournals(dir.Path());
  ASSERT_EQ(found.size(), 2u);
  const LeftoverJournal& one = found[0];
  EXPECT_EQ(one.Station, 1);
  EXPECT_EQ(one.Path, JournalPath(dir.Path(), 1));
  EXPECT_TRUE(one.Readable);
  EXPECT_FALSE(one.TornEnd);
  EXPECT_EQ(one.ActionCount, 1234);
  EXPECT_EQ(one.LastActionTime, SampleTime(1234));
  EXPECT_EQ(one.Run.OpenType, SampleRun().OpenType);
  EXPECT_EQ(one.Run.StartTime, rigtest::kJournalStart);
  EXPECT_EQ(one.Run.EndTime, SampleTime(1234));
  EXPECT_EQ(one.Run.CountDone, 1234);

  const LeftoverJournal& two = found[1];
  EXPECT_EQ(two.Station, 2);
  EXPECT_EQ(two.ActionCount, 0);
  EXPECT_FALSE(two.LastActionTime.isValid());
  EXPECT_EQ(two.Run.EndTime, rigtest::kJournalStart);
  EXPECT_EQ(two.Run.CountDone, 77);
}

TEST(JournalRecovery, ATornJournalOffersWhatIsWhole) {
  rigtest::TempDir dir;
  JournalRun(dir.Path(), SampleRun(1), 10);
  const QByteArray whole = dir.Read("Journal/Station1.journal");
  dir.Write("Journal/Station1.journal", whole.left(whole.size() - 3));
  dir.Write("Journal/Station2.journal", whole.left(30));  // torn inside the run summary

  const std::vector<LeftoverJournal> found = FindLeftoverJournals(dir.Path());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_TRUE(found[0].Readable);
  EXPECT_TRUE(found[0].TornEnd);
  EXPECT_EQ(found[0].ActionCount, 9);
  EXPECT_EQ(found[0].Run.CountDone, 9);
  EXPECT_FALSE(found[1].Readable);
  EXPECT_FALSE(RecoverJournal(dir.Path(), found[1], kRecoveredAt).Ok);
  EXPECT_TRUE(DiscardJournal(found[1]));
  EXPECT_FALSE(QFile::exists(found[1].Path));
}

TEST(JournalRecovery, RecoveryWritesWhatTheSaveButtonWouldHave) {
  struct Case {
    const char* what;
    int station, mode, actions;
    bool ignore;
    bool torn = false;  // the last action's record was cut short
  } cases[] = {
      {"life test on station 1", 1, 17, 300, false},
      {"five-parameter life test on station 2", 2, 20, 35, true},
      {"an operation test", 1, 5, 2, true},
      {"no action yet", 2, 18, 0, false},
      {"a torn last action", 2, 17, 41, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestSummary run = SampleRun(c.station);
    run.Mode = c.mode;
    run.IgnoreRefusals = c.ignore;
    const int whole = c.torn ? c.actions - 1 : c.actions;

    // The save button on the same test, ended at its last whole action.
    rigtest::SavedTestsFolder saved;
    TestSummary asSaved = run;
    asSaved.EndTime = whole ? SampleTime(whole) : run.StartTime;
    asSaved.CountDone = whole ? SampleAction(whole).Count : run.CountDone;
    ActionQueue queue;
    for (int i = 1; i <= whole; ++i) queue.push_back(std::make_unique<ActionRecord>(SampleAction(i)));
    ASSERT_TRUE(WriteTestRecord(saved.Exe(), asSaved, queue, kRecoveredAt).Ok);

    rigtest::SavedTestsFolder recovered;
    JournalRun(recovered.Exe(), run, c.actions);
    const QString journal = QStringLiteral("Journal/Station%1.journal").arg(c.station);
    if (c.torn) recovered.dir.Write(journal, recovered.dir.Read(journal).chopped(3));
    const std::vector<LeftoverJournal> found = FindLeftoverJournals(recovered.Exe());
    ASSERT_EQ(found.size(), 1u);

    // The question describes what 确定 saves.
    const QString q = RecoveryQuestion(found[0]);
    EXPECT_TRUE(q.startsWith(QStringLiteral("工位%1有一个未保存的测试（开关型号 %2，出厂编号 %3，开始于 %4，已记录 %5 次动作")
                                 .arg(QString::number(c.station), run.OpenType, run.OutIndex,
                                      DateTimeText(run.StartTime), QString::number(whole))))
        << q.toStdString();
    EXPECT_EQ(q.count(QStringLiteral("（恢复日志末尾不完整，最后一次动作可能未记录）")), c.torn ? 1 : 0);

    const SaveOutcome out = RecoverJournal(recovered.Exe(), found[0], kRecoveredAt);
    ASSERT_TRUE(out.Ok) << out.Error.toStdString();
    EXPECT_TRUE(out.Error.isEmpty());

    const QList<QByteArrayList> want = SavedRows(saved.Exe());
    ASSERT_EQ(want.size(), 1 + whole);
    EXPECT_EQ(SavedRows(recovered.Exe()), want);
    EXPECT_FALSE(QFile::exists(found[0].Path));
    EXPECT_TRUE(FindLeftoverJournals(recovered.Exe()).empty());
  }
}

TEST(JournalRecovery, AJournalThatChangedAfterTheQuestionIsNotSavedUnasked) {
  rigtest::SavedTestsFolder folder;
  JournalRun(folder.Exe(), SampleRun(1), 10);
  const std::vector<LeftoverJournal> asked = FindLeftoverJournals(folder.Exe());
  ASSERT_EQ(asked.size(), 1u);
  JournalRun(folder.Exe(), SampleRun(1), 12);  // a run begun over it while the question was open
  EXPECT_FALSE(RecoverJournal(folder.Exe(), asked[0], kRecoveredAt).Ok);
  EXPECT_TRUE(SavedRows(folder.Exe()).isEmpty());
  const std::vector<LeftoverJournal> again = FindLeftoverJournals(folder.Exe());
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].ActionCount, 12);
}

TEST(JournalRecovery, AJournalWhoseSaveFailsIsKeptForTheNextStart) {
  rigtest::SavedTestsFolder folder;
  JournalRun(folder.Exe(), SampleRun(1), 20);
  std::vector<LeftoverJournal> found = FindLeftoverJournals(folder.Exe());
  ASSERT_EQ(found.size(), 1u);
  {
    TSQLiteDatabase other(folder.dir.File("SaveData.db").toUtf8());
    other.RunSQL("BEGIN EXCLUSIVE");
    const SaveOutcome out = RecoverJournal(folder.Exe(), found[0], kRecoveredAt);
    EXPECT_FALSE(out.Ok);
    EXPECT_FALSE(out.Error.isEmpty());
    other.RunSQL("ROLLBACK");
  }
  found = FindLeftoverJournals(folder.Exe());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].ActionCount, 20);
  ASSERT_TRUE(RecoverJournal(folder.Exe(), found[0], kRecoveredAt).Ok);
  EXPECT_EQ(SavedRows(folder.Exe()).size(), 21);
}

TEST(JournalRecovery, ARecoveredKilledRunHoldsEveryActionWritten) {
  rigtest::SavedTestsFolder folder;
  constexpr int kBefore = 3000;
  const rigtest::ChildEnd end = rigtest::RunInChild([&] {
    RecoveryJournal j(folder.Exe(), 2);
    j.BeginRun(SampleRun(2));
    for (int i = 1; i <= kBefore; ++i) j.Append(SampleAction(i), SampleTime(i));
    const uint64_t handedOver = j.Status().Queued;
    for (int poll = 0; poll < 500 && j.Status().Written < handedOver; ++poll) ::usleep(20000);
    ::raise(SIGKILL);
    return 1;
  });
  ASSERT_EQ(end.signal, SIGKILL);
  const std::vector<LeftoverJournal> found = FindLeftoverJournals(folder.Exe());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].ActionCount, kBefore);
  const SaveOutcome out = RecoverJournal(folder.Exe(), found[0], kRecoveredAt);
  ASSERT_TRUE(out.Ok) << out.Error.toStdString();
  TSQLiteDatabase d(out.DetailPath.toUtf8());
  auto t = d.QueryTable("SELECT count(*), max(DealTimes) FROM ControlState");
  EXPECT_EQ(t->ValueInteger(0), kBefore);
  EXPECT_EQ(t->ValueInteger(1), kBefore);
}

TEST(JournalRecovery, TheQuestionNamesTheTest) {
  LeftoverJournal j;
  j.Station = 1;
  j.Readable = true;
  j.Run.OpenType = "ZW32";
  j.Run.OutIndex = "F07";
  j.Run.StartTime = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0));
  j.ActionCount = 1234;
  j.LastActionTime = QDateTime(QDate(2026, 12, 8), QTime(17, 20, 5));
  EXPECT_EQ(RecoveryQuestion(j),
            QStringLiteral("工位1有一个未保存的测试（开关型号 ZW32，出厂编号 F07，开始于 2026-12-07 09:00:00，"
                           "已记录 1234 次动作，最后一次动作于 2026-12-08 17:20:05）。\n"
                           "选择“确定”将恢复并保存这个测试；选择“取消”将丢弃它。"));
  j.TornEnd = true;
  EXPECT_EQ(RecoveryQuestion(j),
            QStringLiteral("工位1有一个未保存的测试（开关型号 ZW32，出厂编号 F07，开始于 2026-12-07 09:00:00，"
                           "已记录 1234 次动作，最后一次动作于 2026-12-08 17:20:05）。\n"
                           "（恢复日志末尾不完整，最后一次动作可能未记录）\n"
                           "选择“确定”将恢复并保存这个测试；选择“取消”将丢弃它。"));
  j.TornEnd = false;

  // Texts are shown as typed, placeholders and all; empty ones say so.
  j.Station = 2;
  j.Run.OpenType = "%1 %2";
  j.Run.OutIndex.clear();
  j.ActionCount = 0;
  j.LastActionTime = QDateTime();
  const QString q = RecoveryQuestion(j);
  EXPECT_TRUE(q.startsWith(QStringLiteral("工位2有一个未保存的测试（开关型号 %1 %2，出厂编号 未填写，"))) << q.toStdString();
  EXPECT_TRUE(q.contains(QStringLiteral("已记录 0 次动作）")));
  EXPECT_FALSE(q.contains(QStringLiteral("最后一次动作")));

  j.Readable = false;
  EXPECT_TRUE(RecoveryQuestion(j).contains(QStringLiteral("没有可恢复的测试")));
}
