// The program's files taken away while it runs: the log folder deleted or
// made unwritable, the database locked by another program during a save.
#include <QAbstractButton>
#include <QDir>
#include <QDirIterator>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "../ui/QuietWindow.h"
#include "FaultRig.h"
#include "endurance/Programme.h"
#include "endurance/ProgrammeStore.h"
#include "storage/ReportNumber.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "support/QuietPorts.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

using rigtest::WaitFor;

struct LogFolderFaults : rigtest::FaultRig {
  // One more round trip on station 1, which logs what was sent and received.
  void Traffic() {
    ASSERT_TRUE(Disconnect(1));
    ASSERT_TRUE(Connect(1));
  }
  QString LogFile() const { return window->Shared().LogFileName(); }
};

TEST_F(LogFolderFaults, TheProgramKeepsWorkingWhateverHappensToItsLogFolder) {
  Start();
  ASSERT_TRUE(Connect(1));
  ASSERT_TRUE(LogText().contains(QStringLiteral("发出：01 A0 01 00 05 05 ")));

  // Deleted: the next line makes it again.
  ASSERT_TRUE(QDir(dir.File("Log")).removeRecursively());
  Traffic();
  EXPECT_TRUE(LogText().contains(QStringLiteral("发出：01 A0 01 00 0A 0A ")));

  // The day's file cannot be opened (a folder stands in its place) and the
  // folder cannot be made (a file stands in its place): lines are lost,
  // nothing else.
  ASSERT_TRUE(QFile::remove(LogFile()));
  ASSERT_TRUE(QDir().mkpath(LogFile()));
  Traffic();
  ASSERT_TRUE(QDir(dir.File("Log")).removeRecursively());
  dir.Write("Log", "not a folder");
  Traffic();
  EXPECT_EQ(dir.Read("Log"), QByteArray("not a folder"));

  // Read-only, where permissions bind (not for root).
  ASSERT_TRUE(QFile::remove(dir.File("Log")));
  ASSERT_TRUE(QDir().mkpath(dir.File("Log")));
  if (geteuid() != 0) {
    ASSERT_TRUE(QFile::setPermissions(dir.File("Log"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    Traffic();
    EXPECT_FALSE(QFile::exists(LogFile()));
    ASSERT_TRUE(QFile::setPermissions(dir.File("Log"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner));
  }
  // Once the folder can be written again, logging goes on by itself.
  Traffic();
  EXPECT_TRUE(LogText().contains(QStringLiteral("发出：01 A0 01 00 05 05 ")));
  EXPECT_TRUE(notifier->notices.empty()) << "the operator is not bothered with the log";
}

// The save button while another program holds SaveData.db.
struct LockedDatabase : rigtest::QuietWindow {
  // A finished life test of `actions` actions on station 1, ready to save.
  void FinishedTest(int actions) {
    window->Link(1).OnLinkReply(kLinkAccepted);  // as if the controller answered
    StationShared& s = *window->Shared().Station(1);
    s.Run.Mode = 17;
    s.Run.CountDone = actions / 2;
    s.State.StartTime = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0));
    s.State.EndTime = QDateTime(QDate(2026, 12, 7), QTime(9, 30, 0));
    for (int no = 1; no <= actions; ++no) {
      auto r = std::make_unique<ActionRecord>();
      r->Count = (no + 1) / 2;
      r->ActionNo = no;
      r->Closed[0] = r->Closed[1] = r->Closed[2] = no % 2 == 0;
      s.Actions.push_back(std::move(r));
    }
    window->Panel(1).SetSaveEnabled(true);
  }
  QAbstractButton* SaveButton() { return window->findChild<QAbstractButton*>("SpeedButton6"); }
  int64_t Count(const QString& file, const char* table) {
    TSQLiteDatabase db(file.toUtf8());
    return db.QueryTable(QByteArray("SELECT count(*) AS N FROM ") + table)->ValueInteger(0);
  }
  QStringList DetailFiles() {
    QStringList files;
    QDirIterator it(dir.Path(), {"*_1*.db"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
  }
};

TEST_F(LockedDatabase, ASaveRefusedByALockIsReportedAndLosesNothing) {
  FinishedTest(500);
  rigtest::LockHolder other;
  ASSERT_TRUE(other.Take("database", dir.File("SaveData.db")));

  SaveButton()->click();
  ASSERT_EQ(notifier->notices.size(), 1u);
  EXPECT_TRUE(notifier->notices[0].text.startsWith(QStringLiteral("保存数据失败！测试数据仍保留，可再次保存。\n")))
      << notifier->notices[0].text.toStdString();
  EXPECT_TRUE(notifier->notices[0].text.contains(QStringLiteral("locked"))) << "the reason is named";
  EXPECT_EQ(window->Shared().Station(1)->Actions.size(), 500u) << "every action still queued";
  EXPECT_TRUE(SaveButton()->isEnabled()) << "the operator can try again";
  EXPECT_TRUE(DetailFiles().isEmpty()) << "no detail file without its summary row";

  // The other program lets go: the same button saves everything.
  other.Release();
  SaveButton()->click();
  ASSERT_EQ(notifier->notices.size(), 2u);
  EXPECT_EQ(notifier->notices[1].text, QStringLiteral("保存数据成功！"));
  EXPECT_TRUE(window->Shared().Station(1)->Actions.empty());
  EXPECT_EQ(Count(dir.File("SaveData.db"), "TestInfo"), 1);
  const QStringList details = DetailFiles();
  ASSERT_EQ(details.size(), 1);
  EXPECT_EQ(Count(details[0], "ControlState"), 500);
}

TEST_F(LockedDatabase, SavedTestsStayIntactWhenALaterSaveIsRefused) {
  FinishedTest(4);
  SaveButton()->click();
  ASSERT_EQ(Count(dir.File("SaveData.db"), "TestInfo"), 1);
  const QByteArray before = dir.Read("SaveData.db");

  FinishedTest(6);
  {
    rigtest::LockHolder other;
    ASSERT_TRUE(other.Take("database", dir.File("SaveData.db")));
    SaveButton()->click();
  }
  EXPECT_EQ(dir.Read("SaveData.db"), before) << "the refused save changed nothing on disk";
  TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
  EXPECT_EQ(db.QueryTable("PRAGMA integrity_check")->ValueText(0), QByteArray("ok"));
}

// Another connection reading the file for a moment on a thread of its own,
// as the lab's reconcile does while the window saves.
class BriefReader {
 public:
  BriefReader(const QString& file, const char* table, std::chrono::milliseconds holdFor) {
    thread_ = std::thread([this, file, table, holdFor] {
      TSQLiteDatabase db(file.toUtf8());
      db.RunSQL("BEGIN");
      db.QueryTable(QByteArray("SELECT count(*) FROM ") + table);  // the read lock, kept until COMMIT
      {
        std::lock_guard lock(mutex_);
        reading_ = true;
      }
      changed_.notify_all();
      std::this_thread::sleep_for(holdFor);
      db.RunSQL("COMMIT");
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return reading_; });
  }
  ~BriefReader() { thread_.join(); }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reading_ = false;
  std::thread thread_;
};

// A reader of a moment holds a save, a report number or a programme's store
// up, never fails it.
TEST_F(LockedDatabase, AReaderOfAMomentDelaysAStoreButDoesNotFailIt) {
  FinishedTest(4);
  SaveButton()->click();  // the files and their tables exist
  TProgrammeStore programmes(dir.Path());
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"));
  programmes.Save(p);
  {
    TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    db.RunSQL("DELETE FROM ReportNumbers");  // as for a test saved before numbers were given
  }
  QString number;
  const struct {
    const char* file;
    const char* table;
    std::function<void()> store;
  } rows[] = {
      {"SaveData.db", "TestInfo", [&] { FinishedTest(6); SaveButton()->click(); }},
      {"Programmes.db", "Programme", [&] { p.Identity.Remarks = QStringLiteral("又一次"); programmes.Save(p); }},
      {"SaveData.db", "ReportNumbers", [&] { number = GiveReportNumber(dir.Path(), 1); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " " + row.table);
    BriefReader reader(dir.File(row.file), row.table, std::chrono::milliseconds(300));
    EXPECT_NO_THROW(row.store());
  }
  ASSERT_EQ(notifier->notices.size(), 2u);
  EXPECT_EQ(notifier->notices[1].text, QStringLiteral("保存数据成功！"));
  EXPECT_EQ(Count(dir.File("SaveData.db"), "TestInfo"), 2);
  EXPECT_EQ(programmes.Load(p.Id)->Identity.Remarks, QStringLiteral("又一次"));
  EXPECT_FALSE(number.isEmpty());
}

}  // namespace
}  // namespace rig
