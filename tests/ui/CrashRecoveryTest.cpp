// A program killed in the middle of a life test loses none of the actions it
// had queued: the next start offers the test and saves it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <csignal>

#include "SimulatedRig.h"
#include "core/GbkText.h"
#include "core/RunLog.h"
#include "support/QuietPorts.h"
#include "storage/JournalRecovery.h"
#include "storage/RecoveryJournal.h"
#include "storage/SQLite3.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

const char* kChildDirVariable = "RIG_CRASH_CHILD_DIR";
const char* kKillInSaveVariable = "RIG_CRASH_IN_SAVE";

// Kills the program just after a save's commit, before its journal is removed.
struct KillOnSaved : ISavedTestSink {
  void TestSaved(const QString&, const JustSavedTest&) noexcept override { ::raise(SIGKILL); }
};

// Runs only as the child the tests below start: connects station 1, starts a
// long life test and keeps reporting how many actions are queued and
// journalled, until it is killed; or saves the test and is killed in the save.
struct CrashChild : rigtest::SimulatedRig {};

TEST_F(CrashChild, RunsALifeTestUntilKilled) {
  const QByteArray target = qgetenv(kChildDirVariable);
  if (target.isEmpty()) GTEST_SKIP() << "started by CrashRecovery only";
  Start();
  StationShared& s = *window->Shared().Station(1);
  Find<QAbstractButton>("SpeedButton1")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return s.Model.Connected() && !s.Model.AwaitingFirstReport(); }));
  Find<QRadioButton>("RadioButton7")->click();  // life close-open
  for (int n : {10, 11}) Find<QLineEdit>(QStringLiteral("Edit%1").arg(FindParameter(n)->EditNumber[0]))->setText("1");
  Find<QLineEdit>(QStringLiteral("Edit%1").arg(FindParameter(12)->EditNumber[0]))->setText("30000");
  Find<QAbstractButton>("SpeedButton3")->click();
  QFile progress(QString::fromLocal8Bit(target) + "/progress");
  for (;;) {
    rigtest::WaitFor([] { return false; }, 50);
    window->Journal(1).Journal().Flush(2000);
    // Everything counted here is on the disk.
    ASSERT_TRUE(progress.open(QIODevice::WriteOnly | QIODevice::Truncate));
    progress.write(QByteArray::number(static_cast<qulonglong>(s.Actions.size())) + " " + dir.Path().toUtf8());
    progress.close();
    if (qEnvironmentVariableIsSet(kKillInSaveVariable) && s.Actions.size() >= 200) {
      static KillOnSaved killer;
      SetSavedTestSink(&killer);
      window->Station(1).Save();  // what the save button does
    }
  }
}

// Starts the child in a fresh program folder of its own, its progress in
// `control`.
void StartChild(QProcess& child, const rigtest::TempDir& control, bool killInSave) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChildDirVariable, control.Path().chopped(1));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  if (killInSave) env.insert(kKillInSaveVariable, "1");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=CrashChild.*"});
}

TEST(CrashRecovery, AKilledProgramsTestIsOfferedAndSavedWithEveryQueuedAction) {
  rigtest::TempDir control;
  QProcess child;
  StartChild(child, control, false);
  ASSERT_TRUE(child.waitForStarted());

  // Let it run until a good number of actions are safely journalled.
  qulonglong journalled = 0;
  QString exeDir;
  ASSERT_TRUE(rigtest::WaitFor(
      [&] {
        const QList<QByteArray> parts = control.Read("progress").split(' ');
        if (parts.size() == 2) {
          journalled = parts[0].toULongLong();
          exeDir = QString::fromUtf8(parts[1]);
        }
        return journalled >= 200;
      },
      30000))
      << "child output: " << child.readAll().toStdString();
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  child.waitForFinished();

  const std::vector<LeftoverJournal> found = FindLeftoverJournals(exeDir);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Station, 1);
  EXPECT_GE(found[0].ActionCount, static_cast<int64_t>(journalled));

  // The next start offers it; the operator accepts; it is saved like any test.
  auto n = std::make_unique<rigtest::RecordingNotifier>();
  rigtest::RecordingNotifier* notifier = n.get();
  {
    rigtest::QuietPorts ports(exeDir);
    TfrmHX4417 window(exeDir, std::move(n));
    window.show();
    ASSERT_TRUE(rigtest::WaitFor([&] { return !notifier->notices.empty(); }));
    ASSERT_EQ(notifier->confirmations.size(), 1u);
    EXPECT_TRUE(notifier->confirmations[0].contains(QStringLiteral("工位1"))) << notifier->confirmations[0].toStdString();
    EXPECT_EQ(notifier->Texts().last(), QStringLiteral("未保存的测试已恢复并保存。"));
  }
  TSQLiteDatabase db((exeDir + "SaveData.db").toUtf8());
  auto row = db.QueryTable("SELECT DetailSaveDBName, iDealType FROM TestInfo");
  ASSERT_EQ(row->RowCount(), 1);
  EXPECT_EQ(row->ValueText(1), QByteArray("18"));
  TSQLiteDatabase detail(row->ValueText(0));
  auto actions = detail.QueryTable("SELECT DealTimes, CZDealTimes FROM ControlState ORDER BY AutoID");
  EXPECT_EQ(actions->RowCount(), found[0].ActionCount);
  for (int i = 1; !actions->IsAtEnd(); ++i, actions->MoveNext()) {
    ASSERT_EQ(actions->ValueText(1), QByteArray::number(i));  // none missing, none twice
  }
  EXPECT_TRUE(FindLeftoverJournals(exeDir).empty());
}

TEST(CrashRecovery, ATestSavedJustBeforeTheKillIsNotOfferedAgain) {
  rigtest::TempDir control;
  QProcess child;
  StartChild(child, control, true);
  ASSERT_TRUE(child.waitForFinished(60000)) << "child output: " << child.readAll().toStdString();
  const QList<QByteArray> progress = control.Read("progress").split(' ');
  ASSERT_EQ(progress.size(), 2) << "child output: " << child.readAll().toStdString();
  const QString exeDir = QString::fromUtf8(progress[1]);
  ASSERT_TRUE(QFile::exists(JournalPath(exeDir, 1)));  // killed after the commit, before the removal

  TRunLog log(exeDir);
  InstallRunLog(&log);
  auto n = std::make_unique<rigtest::RecordingNotifier>();
  rigtest::RecordingNotifier* notifier = n.get();
  {
    rigtest::QuietPorts ports(exeDir);
    TfrmHX4417 window(exeDir, std::move(n));
    window.show();
    EXPECT_TRUE(rigtest::WaitFor([&] { return !QFile::exists(JournalPath(exeDir, 1)); }));
    EXPECT_TRUE(notifier->confirmations.isEmpty()) << notifier->confirmations.join('\n').toStdString();
  }
  InstallRunLog(nullptr);
  QFile logFile(log.FileName());
  ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(FromGbk(logFile.readAll()).contains(QStringLiteral("工位1的测试已保存过")));
  TSQLiteDatabase db((exeDir + "SaveData.db").toUtf8());
  EXPECT_EQ(db.QueryTable("SELECT AutoID FROM TestInfo")->RowCount(), 1);
}

}  // namespace
}  // namespace rig
