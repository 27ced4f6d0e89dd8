// Saved tests reaching the lab database through the outbox, with the real
// server going away, the program dying, several rigs at once and a server
// that refuses the login.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <atomic>
#include <set>
#include <thread>

#include "core/GbkText.h"
#include "core/RunLog.h"
#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"
#include "storage/TestSearch.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::LabScalar;

namespace {

constexpr RetryPauses kQuickRetries{std::chrono::milliseconds(50), std::chrono::milliseconds(400)};

void WriteConfig(const rigtest::TempDir& dir, const LabSettings& s) { SaveLabSettings(dir.Path(), s); }

int LabCount(const LabSettings& s, const QString& sql) { return LabScalar(s, sql).toInt(); }

// The test arrived exactly once with every action, its texts as UTF-8.
void ExpectStoredOnce(const LabSettings& s, const QString& testId, int actions) {
  const QString where = QStringLiteral(" WHERE test_id = '%1'").arg(testId);
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests" + where), 1);
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_actions" + where), actions);
  EXPECT_EQ(LabCount(s, "SELECT count(DISTINCT seq) FROM lab_actions" + where), actions);
  EXPECT_EQ(LabCount(s, "SELECT action_count FROM lab_tests" + where), actions);
}

SearchFilter March14() {
  SearchFilter f;
  f.From = f.To = QDate(2026, 3, 14);
  return f;
}

bool Synced(const LabService& service) { return service.Status().Now == LabStatus::State::Synced; }
bool Synced(const LabUploader& uploader) { return uploader.Status().Now == LabStatus::State::Synced; }

}  // namespace

TEST(LabUpload, ASavedTestArrivesOnceWithEveryActionAndARepeatChangesNothing) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  WriteConfig(dir, s);
  LabService service(dir.Path(), kQuickRetries);
  rigtest::SinkScope sink(&service);

  const SaveOutcome saved = rigtest::SaveLabSample(dir.Path(), 1000);
  ASSERT_TRUE(saved.Ok) << saved.Error.toStdString();
  ASSERT_TRUE(rigtest::WaitFor([&] { return Synced(service); }, 20000)) << service.StatusLine().toStdString();
  EXPECT_EQ(service.StatusLine(), QStringLiteral("实验室数据库：已同步"));

  const QString id = LabScalar(s, "SELECT test_id FROM lab_tests");
  ExpectStoredOnce(s, id, 1000);
  EXPECT_EQ(LabScalar(s, "SELECT open_type || '|' || work_name || '|' || rig_name || '|' || local_id FROM lab_tests"),
            QStringLiteral("ZW32-12真空断路器|张三|一号台|%1").arg(saved.AutoId));
  EXPECT_EQ(LabScalar(s, "SELECT length(open_type) FROM lab_tests"), "12");  // characters, not GBK bytes
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_actions WHERE mark1 = '拒合'"), 200);
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(state1::text, '' ORDER BY seq) FROM lab_actions WHERE seq <= 4"), "1010");
  // Refusals per break by the position rule: the sample's breaks are closed
  // after odd actions, where 单分单合 wants them open (拒分), and open after
  // even ones (拒合); A1's marks (拒合 at every fifth action) count as marked.
  EXPECT_EQ(LabScalar(s, "SELECT refused_closings::text || '|' || refused_openings::text || '|' || refusals_found_by "
                         "FROM lab_tests"),
            QStringLiteral("{600,500,500}|{400,500,500}|both"));
  // Saved locally as ever.
  EXPECT_EQ(SearchTests(dir.Path(), March14()).size(), 1u);

  // The same record again (an upload whose commit reply was lost): no double.
  LabTestRecord again = MakeLabRecord(s.RigName, JustSavedTest{rigtest::LabSample(), {}, saved, rigtest::LabActions(3)},
                                      QStringLiteral("2026-03-14 09:31:00"));
  again.TestId = id;
  LabConnection c(s);
  EXPECT_FALSE(UploadTest(c, again));
  ExpectStoredOnce(s, id, 1000);
}

TEST(LabUpload, ServerStoppedDuringAnUploadLosesAndDoublesNothing) {
  rigtest::LabServerProcess server;
  ASSERT_GT(server.Info().Port, 0);
  const LabSettings s = rigtest::FreshLabDatabase(server.Info());
  rigtest::TempDir dir;
  LabOutbox outbox(LabOutbox::PathIn(dir.Path()));
  const ActionQueue actions = rigtest::LabActions(20000);
  const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
  const LabTestRecord first = MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, actions}, "2026-03-14 09:30:00");
  outbox.Add(first);

  LabUploader uploader(s, outbox.Path(), kQuickRetries);
  std::atomic<bool> stopped{false};
  uploader.SetHook([&](UploadStage stage) {
    if (stage == UploadStage::ActionsHalfSent && !stopped.exchange(true)) server.Pause();
  });
  uploader.Start();
  ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Unreachable; }, 30000));
  EXPECT_TRUE(LabStatusText(uploader.Status()).startsWith(QStringLiteral("实验室数据库：无法连接：服务器无法访问")))
      << LabStatusText(uploader.Status()).toStdString();
  EXPECT_EQ(outbox.Count(), 1);
  // Saved while the server is away: kept too.
  const SaveOutcome out2{true, {}, QStringLiteral("/d/2.db"), 2};
  const LabTestRecord second = MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out2, actions}, "2026-03-14 09:40:00");
  outbox.Add(second);
  uploader.Wake();

  ASSERT_TRUE(server.Resume());
  ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Synced; }, 30000));
  EXPECT_EQ(outbox.Count(), 0);
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests"), 2);
  ExpectStoredOnce(s, first.TestId, 20000);
  ExpectStoredOnce(s, second.TestId, 20000);
}

TEST(LabUpload, ProgramKilledDuringAnUploadIsFinishedAfterARestartWithoutADouble) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  WriteConfig(dir, s);
  const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 7};
  const LabTestRecord record =
      MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, rigtest::LabActions(30000)}, "2026-03-14 09:30:00");
  LabOutbox(LabOutbox::PathIn(dir.Path())).Add(record);

  // A plain fork and exec: ThreadSanitizer follows those (Qt's process
  // start shares the address space with the child until the exec).
  const QByteArray program = RIG_BIN_DIR "/lab-upload", exeDir = dir.Path().toUtf8(),
                   marker = dir.File("holding").toUtf8();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(program.constData(), program.constData(), exeDir.constData(), "--hold-mid-copy", marker.constData(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  const bool holding = rigtest::WaitFor([&] { return QFile::exists(dir.File("holding")); }, 20000);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(holding) << "lab-upload never reached the middle of its upload";
  // Nothing half-stored: the server rolled the dead program's work back.
  ASSERT_TRUE(rigtest::WaitFor([&] { return LabCount(s, "SELECT count(*) FROM pg_stat_activity WHERE "
                                                      "application_name = 'rig-lab' AND query LIKE 'COPY%'") == 0; }));
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests"), 0);
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_actions"), 0);

  LabService restarted(dir.Path(), kQuickRetries);
  ASSERT_TRUE(rigtest::WaitFor([&] { return Synced(restarted); }, 20000)) << restarted.StatusLine().toStdString();
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests"), 1);
  ExpectStoredOnce(s, record.TestId, 30000);
}

TEST(LabUpload, ThreeRigsSavingAtOnceIntoOneDatabase) {
  LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  constexpr int kTests = 6;
  const QString rigs[3] = {QStringLiteral("一号台"), QStringLiteral("二号台"), QStringLiteral("三号台")};
  std::vector<std::thread> threads;
  std::atomic<int> synced{0};
  for (const QString& rig : rigs) {
    threads.emplace_back([&, rig] {
      rigtest::TempDir dir;
      LabSettings mine = s;
      mine.RigName = rig;
      LabUploader uploader(mine, LabOutbox::PathIn(dir.Path()), kQuickRetries);
      uploader.Start();  // every uploader applies the schema to the empty database at once
      for (int t = 0; t < kTests; ++t) {
        const SaveOutcome out{true, {}, QStringLiteral("/d/%1.db").arg(t), t + 1};
        LabOutbox(LabOutbox::PathIn(dir.Path()))
            .Add(MakeLabRecord(rig, {rigtest::LabSample(), {}, out, rigtest::LabActions(500 + t)}, "2026-03-14 09:30:00"));
        uploader.Wake();
      }
      // Off the test thread: poll without its event loop, bounded.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (uploader.Status().Uploaded < kTests && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (uploader.Status().Uploaded == kTests) ++synced;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(synced, 3);
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(version::text, ',') FROM lab_schema"),
            QString::number(LatestLabSchemaVersion()));
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(rig_name || ':' || n, ',' ORDER BY rig_name) FROM "
                         "(SELECT rig_name, count(*) AS n FROM lab_tests GROUP BY rig_name) x"),
            QStringLiteral("一号台:6,三号台:6,二号台:6"))
      << "per-rig counts";
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_actions"), 3 * (6 * 500 + 15));
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests t WHERE action_count <> "
                        "(SELECT count(*) FROM lab_actions a WHERE a.test_id = t.test_id)"),
            0);
}

TEST(LabUpload, ARefusedLoginIsSaidInWordsAndLocalSavesGoOn) {
  const LabSettings good = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  LabSettings refused = good;
  refused.PassFile = dir.File("wrong.pgpass");
  ASSERT_TRUE(WritePasswordFile(refused.PassFile, refused, QStringLiteral("not-the-password")));
  EXPECT_EQ(QFile::permissions(refused.PassFile) & (QFile::ReadGroup | QFile::ReadOther), 0);
  WriteConfig(dir, refused);
  LabService service(dir.Path(), kQuickRetries);
  rigtest::SinkScope sink(&service);

  const SaveOutcome saved = rigtest::SaveLabSample(dir.Path(), 10);
  EXPECT_TRUE(saved.Ok) << saved.Error.toStdString();
  EXPECT_EQ(SearchTests(dir.Path(), March14()).size(), 1u);
  ASSERT_TRUE(rigtest::WaitFor([&] { return service.Status().Now == LabStatus::State::Unreachable; }, 20000));
  EXPECT_EQ(service.StatusLine(), QStringLiteral("实验室数据库：无法连接：登录被拒绝（用户 rig）（待上传 1 个测试）"));
  EXPECT_EQ(LabOutbox(LabOutbox::PathIn(dir.Path())).Count(), 1);
  EXPECT_EQ(LabCount(good, "SELECT count(*) FROM pg_tables WHERE tablename = 'lab_tests'"), 0);

  // Put right in the settings: the kept test goes up.
  service.Reconfigure(good);
  ASSERT_TRUE(rigtest::WaitFor([&] { return Synced(service); }, 20000)) << service.StatusLine().toStdString();
  EXPECT_EQ(LabCount(good, "SELECT count(*) FROM lab_tests"), 1);
}

TEST(LabConnectionTest, EachProblemIsSaidInWords) {
  const LabSettings good = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  LabSettings noServer = good, wrongPassword = good, noDatabase = good, noUser = good, noTls = good;
  noTls.SslMode = QStringLiteral("require");  // this server speaks no TLS
  noServer.Port = 1;  // nothing listens there
  wrongPassword.PassFile = dir.File("pgpass");
  ASSERT_TRUE(WritePasswordFile(wrongPassword.PassFile, wrongPassword, QStringLiteral("x:y\\z")));
  noDatabase.Database = QStringLiteral("没有的库");
  noUser.User = QStringLiteral("nobody");
  const struct {
    const char* Case;
    LabSettings Settings;
    QString Expected;
  } cases[] = {
      {"reachable", good, QStringLiteral("连接成功（PostgreSQL 15")},
      {"no server", noServer, QStringLiteral("服务器无法访问（127.0.0.1:1）")},
      {"wrong password", wrongPassword, QStringLiteral("登录被拒绝（用户 rig）")},
      {"unknown user", noUser, QStringLiteral("登录被拒绝（用户 nobody）")},
      {"no database", noDatabase, QStringLiteral("数据库不存在（没有的库）")},
      {"no TLS", noTls, QStringLiteral("服务器不接受加密连接（127.0.0.1:%1）").arg(good.Port)},
      {"not set", LabSettings{}, QStringLiteral("未设置服务器地址")},
  };
  for (const auto& c : cases) {
    const QString said = TestLabConnection(c.Settings);
    EXPECT_TRUE(said.startsWith(c.Expected)) << c.Case << ": " << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("x:y"))) << c.Case;
  }
}

// From start-up on the status line says what the server does (never "已同步"
// before it answered), and every return of a lost server is in the run log:
// with nothing waiting, and with a test saved while it was away.
TEST(LabUpload, TheStatusLineTellsTheServerFromStartUpAndEachReturnIsLogged) {
  rigtest::LabServerProcess server;
  ASSERT_GT(server.Info().Port, 0);
  const LabSettings s = rigtest::FreshLabDatabase(server.Info());
  rigtest::TempDir dir;
  TRunLog log(dir.Path());
  InstallRunLog(&log);
  auto returns = [&] {
    QFile f(log.FileName());
    return f.open(QIODevice::ReadOnly) ? FromGbk(f.readAll()).count(QStringLiteral("实验室数据库已恢复连接")) : -1;
  };
  LabOutbox outbox(LabOutbox::PathIn(dir.Path()));
  ASSERT_TRUE(server.Pause());
  LabUploader uploader(s, outbox.Path(), kQuickRetries);
  std::set<LabStatus::State> seen;
  uploader.Start();
  ASSERT_TRUE(rigtest::WaitFor([&] { return seen.insert(uploader.Status().Now), uploader.Status().Now == LabStatus::State::Unreachable; }, 30000));
  EXPECT_FALSE(seen.count(LabStatus::State::Synced));
  EXPECT_TRUE(LabStatusText(uploader.Status()).startsWith(QStringLiteral("实验室数据库：无法连接：服务器无法访问")))
      << LabStatusText(uploader.Status()).toStdString();

  const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
  const ActionQueue actions = rigtest::LabActions(10);
  for (int round = 1; round <= 2; ++round) {
    if (round == 2) {  // lost while a test waits
      ASSERT_TRUE(server.Pause());
      outbox.Add(MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, actions}, "2026-03-14 09:30:00"));
      uploader.Wake();
      ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Unreachable; }, 30000));
    }
    ASSERT_TRUE(server.Resume());
    ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Synced; }, 30000)) << round;
    EXPECT_EQ(returns(), round);
  }
  EXPECT_EQ(LabCount(s, "SELECT count(*) FROM lab_tests"), 1);
  uploader.Stop();
  InstallRunLog(nullptr);
}

// A test the server refuses (a constraint it breaks, a text longer than the
// column) is set aside with the reason in words, and the tests after it go
// up at once; the status line counts it and says how long tests have waited.
TEST(LabUpload, ARefusedTestIsSetAsideAndTheOthersGoOn) {
  const struct {
    const char* Case;
    const char* Alter;
    QString OutIndex, Operator;
    const char* SqlState;
    QString Words;
  } cases[] = {
      {"a constraint it breaks", "ALTER TABLE lab_tests ADD CONSTRAINT no_bad CHECK (out_index <> 'BAD')",
       QStringLiteral("BAD"), QStringLiteral("张三"), "23514", QStringLiteral("与实验室数据库的规定或已有数据冲突")},
      {"a text longer than its column", "ALTER TABLE lab_tests ALTER COLUMN work_name TYPE varchar(4)",
       QStringLiteral("OK1"), QStringLiteral("欧阳文忠公醉翁"), "22001", QStringLiteral("数据不被实验室数据库接受")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
    {
      LabConnection setup(s);
      EnsureLabSchema(setup);
    }
    LabScalar(s, c.Alter);
    rigtest::TempDir dir;
    LabOutbox outbox(LabOutbox::PathIn(dir.Path()));
    const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
    const ActionQueue actions = rigtest::LabActions(10);
    TestSummary refusedTest = rigtest::LabSample(QStringLiteral("ZW32"), c.Operator);
    refusedTest.OutIndex = c.OutIndex;
    const LabTestRecord refused = MakeLabRecord(s.RigName, {refusedTest, {}, out, actions}, "2026-03-14 09:30:00");
    const LabTestRecord good = MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, actions}, "2026-03-14 09:40:00");
    outbox.Add(refused);
    outbox.Add(good);

    // The first uploader meets the refusal; one started afterwards (the
    // program again) reads the reason back from the outbox.
    for (const char* run : {"refused now", "after a restart"}) {
      SCOPED_TRACE(run);
      LabUploader uploader(s, outbox.Path(), kQuickRetries);
      uploader.Start();
      ASSERT_TRUE(rigtest::WaitFor([&] { return Synced(uploader) && uploader.Status().Aside == 1; }, 20000))
          << LabStatusText(uploader.Status()).toStdString();
      ExpectStoredOnce(s, good.TestId, 10);
      EXPECT_EQ(LabCount(s, QStringLiteral("SELECT count(*) FROM lab_tests WHERE test_id = '%1'").arg(refused.TestId)), 0);
      EXPECT_EQ(outbox.Count(), 0);
      EXPECT_EQ(outbox.AsideCount(), 1);
      const QString line = LabStatusText(uploader.Status());
      EXPECT_TRUE(line.contains(QStringLiteral("1 个测试被服务器拒收，已搁置：") + c.Words)) << line.toStdString();
      EXPECT_TRUE(line.contains(QLatin1String(c.SqlState))) << line.toStdString();
      uploader.Stop();
    }
  }
  // How long the oldest pending test has waited.
  LabStatus waiting{LabStatus::State::Unreachable, 2, QStringLiteral("服务器无法访问（h:1）")};
  const QDateTime now(QDate(2026, 3, 14), QTime(12, 0));
  for (const auto& [saved, said] : {std::pair{now.addSecs(-30), ""}, {now.addSecs(-90), "，最早的已等待 1 分钟"},
                                    {now.addSecs(-3 * 3600 - 5), "，最早的已等待 3 小时"}, {now.addDays(-4), "，最早的已等待 4 天"}}) {
    waiting.OldestSaved = saved;
    EXPECT_TRUE(LabStatusText(waiting, now).endsWith(QStringLiteral("（待上传 2 个测试%1）").arg(QString::fromUtf8(said))))
        << LabStatusText(waiting, now).toStdString();
  }
}
