// A lab database set up by lab-admin: what a rig's own login and a viewer's
// may and may not do, a rig name tied to one login, and a database behind
// the program keeping the tests on the rig until the administrator upgrades.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QProcess>
#include <QUuid>
#include <thread>

#include "lab/LabAdmin.h"
#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabOverview.h"
#include "lab/LabProgrammeUpload.h"
#include "lab/LabSchema.h"
#include "lab/LabService.h"
#include "lab/LabServer.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"
#include "lab/LabUploader.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::LabScalar;

namespace {

// Login names belong to the whole server, which other tests share.
QString UniqueLogin(const char* prefix) {
  return QLatin1String(prefix) + QUuid::createUuid().toString(QUuid::Id128).left(10);
}

// A login of its own with its password file in `dir`.
LabSettings NewLogin(LabConnection& admin, const LabSettings& s, const rigtest::TempDir& dir, const QString& login,
                     const QString& rigName) {
  const QString password = NewPassword();
  if (rigName.isEmpty()) AddViewer(admin, login, password);
  else AddRig(admin, login, rigName, password);
  LabSettings who = rigtest::AsLogin(s, login, dir.Path() + login + QStringLiteral(".pgpass"));
  who.RigName = rigName;
  EXPECT_TRUE(WritePasswordFile(who.PassFile, who, password));
  return who;
}

// "= first cell" for rows, "ok N" (rows changed) for a command, else the SQLSTATE.
QString Outcome(const LabSettings& who, const QString& sql) {
  try {
    LabConnection c(who);
    PgResult r = c.Query(sql.toUtf8().constData());
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK) return QStringLiteral("= ") + QString::fromUtf8(PQgetvalue(r.get(), 0, 0));
    return QStringLiteral("ok ") + QString::fromLatin1(PQcmdTuples(r.get()));
  } catch (const LabError& e) {
    return e.SqlState().isEmpty() ? e.Words() : e.SqlState();
  }
}

LabTestRecord Record(const QString& rigName, int64_t localId) {
  const SaveOutcome out{true, {}, QStringLiteral("/d/%1.db").arg(localId), localId};
  return MakeLabRecord(rigName, {rigtest::LabSample(), {}, out, rigtest::LabActions(10)},
                       QStringLiteral("2026-03-14 09:30:00+08:00"));
}

// A one-block programme with one inspection, as rig `rig` stored it the `version`th time.
ProgrammeSnapshot ProgrammeOf(const QString& rig, const QString& id, int64_t version) {
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M1"));
  p.Id = 1;
  p.LabId = id;
  p.Revision = version;
  p.Identity.FactoryNumber = QStringLiteral("SW-1");
  p.Inspections.push_back({1, QStringLiteral("连杆"), InspectionWork::Nothing, QString(), QStringLiteral("李工"),
                           QDateTime(QDate(2026, 3, 14), QTime(9, 0)), {}});
  return MakeProgrammeSnapshot(rig, p, QDateTime::currentDateTime());
}

QString Live(const QString& rig, int station) {
  return QStringLiteral("INSERT INTO lab_live(rig_name, station, updated_at, link, run_state) VALUES ('%1', %2, now(), "
                        "'open', 'idle')")
      .arg(rig)
      .arg(station);
}

QString Event(const QString& rig) {
  return QStringLiteral("INSERT INTO lab_events(event_id, rig_name, station, happened_at, kind) VALUES "
                        "(gen_random_uuid(), '%1', 1, now(), 'saved')")
      .arg(rig);
}

}  // namespace

TEST(LabRights, EachLoginDoesWhatItsRoleAllowsAndNoMore) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  const LabSettings other = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  LabConnection admin(s);
  // Two labs on one server set up at once make the group roles once; a
  // second run changes nothing.
  std::thread second([&] {
    LabConnection c(other);
    EXPECT_EQ(SetUpLab(c), LatestLabSchemaVersion());
  });
  EXPECT_EQ(SetUpLab(admin), LatestLabSchemaVersion());
  second.join();
  EXPECT_EQ(SetUpLab(admin), LatestLabSchemaVersion());

  const LabSettings a = NewLogin(admin, s, dir, UniqueLogin("rig_a"), QStringLiteral("一号台"));
  const LabSettings b = NewLogin(admin, s, dir, UniqueLogin("rig_b"), QStringLiteral("二号台"));
  const LabSettings viewer = NewLogin(admin, s, dir, UniqueLogin("viewer"), QString());
  {
    LabConnection ca(a), cb(b);
    EXPECT_TRUE(UploadTest(ca, Record(a.RigName, 1)));
    EXPECT_TRUE(UploadTest(cb, Record(b.RigName, 1)));
    try {
      UploadTest(ca, Record(b.RigName, 2));  // under the other rig's name
      ADD_FAILURE() << "a rig stored a test as another rig";
    } catch (const LabError& e) {
      EXPECT_EQ(e.SqlState(), "42501");
    }
    // A programme changes over days: its rig stores it again, never another's.
    const QString mine = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString theirs = QUuid::createUuid().toString(QUuid::WithoutBraces);
    EXPECT_TRUE(UploadProgramme(ca, ProgrammeOf(a.RigName, mine, 1)));
    EXPECT_TRUE(UploadProgramme(cb, ProgrammeOf(b.RigName, theirs, 1)));
    EXPECT_TRUE(UploadProgramme(ca, ProgrammeOf(a.RigName, mine, 2)));
    try {
      UploadProgramme(ca, ProgrammeOf(a.RigName, theirs, 2));
      ADD_FAILURE() << "a rig replaced another rig's programme";
    } catch (const LabError& e) {
      EXPECT_EQ(e.SqlState(), "42501");
    }
  }
  EXPECT_EQ(Outcome(b, Live(b.RigName, 1)), "ok 1");
  struct Case {
    const LabSettings& Who;
    QString Sql;
    QString Expected;
  } cases[] = {
      {a, "UPDATE lab_tests SET work_name = 'x' WHERE rig_name = '二号台'", "42501"},
      {a, "UPDATE lab_tests SET work_name = 'x' WHERE rig_name = '一号台'", "42501"},
      {a, "DELETE FROM lab_tests WHERE rig_name = '二号台'", "42501"},
      {a, "DELETE FROM lab_actions", "42501"},
      {a, "TRUNCATE lab_actions", "42501"},
      {a, "DROP TABLE lab_tests CASCADE", "42501"},
      {a, "CREATE TABLE mine(x integer)", "42501"},
      {a, "UPDATE lab_rigs SET rig_name = '二号台'", "42501"},
      {a, "INSERT INTO lab_actions SELECT test_id, 99, 0, 0, 0, 0, 0, '', '', '' FROM lab_tests WHERE rig_name = '二号台'",
       "42501"},
      {a, Live(a.RigName, 1), "ok 1"},
      {a, "UPDATE lab_live SET run_state = 'running'", "ok 1"},  // its own row of the two
      {a, Live(b.RigName, 2), "42501"},
      {a, "UPDATE lab_live SET rig_name = '二号台' WHERE rig_name = '一号台'", "42501"},
      {a, "DELETE FROM lab_live", "42501"},
      {a, Event(a.RigName), "ok 1"},
      {a, Event(b.RigName), "42501"},
      {b, "UPDATE lab_live SET run_state = 'paused' WHERE rig_name = '一号台'", "ok 0"},
      {a, "UPDATE lab_programmes SET remarks = 'x' WHERE rig_name = '二号台'", "ok 0"},
      {a, "UPDATE lab_programmes SET remarks = 'x' WHERE rig_name = '一号台'", "ok 1"},
      {a, "UPDATE lab_programmes SET rig_name = '二号台' WHERE rig_name = '一号台'", "42501"},
      {a, "DELETE FROM lab_programmes", "42501"},
      {a, "UPDATE lab_programme_blocks SET cycles_done = 1", "42501"},
      {a, "INSERT INTO lab_inspections SELECT programme_id, 9, '', 'nothing', '', '', now(), '[]' FROM lab_programmes "
          "WHERE rig_name = '二号台'", "42501"},
      {a, "DELETE FROM lab_inspections", "ok 1"},  // its own, not the other rig's
      {viewer, "SELECT count(*) || '/' || (SELECT count(*) FROM lab_programme_blocks) FROM lab_inspections", "= 1/2"},
      {viewer, "UPDATE lab_programmes SET remarks = 'y'", "42501"},
      {a, "SELECT count(*) FROM lab_tests", "= 2"},
      {viewer, "SELECT count(*) || '/' || (SELECT count(*) FROM lab_actions) FROM lab_tests", "= 2/20"},
      {viewer, Event(a.RigName), "42501"},
      {viewer, "UPDATE lab_live SET run_state = 'x'", "42501"},
      {viewer, "DELETE FROM lab_tests", "42501"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.Who, c.Sql), c.Expected) << c.Who.User.toStdString() << ": " << c.Sql.toStdString();
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(rig_name || run_state, ',' ORDER BY rig_name) FROM lab_live"),
            QStringLiteral("一号台running,二号台idle"));
  EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_tests WHERE work_name = 'x'"), "0");
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(rig_name || version || remarks, ',' ORDER BY rig_name) FROM lab_programmes"),
            QStringLiteral("一号台2x,二号台1"));

  // A login is one rig, a rig name one login; a rig set up under another
  // name is told so before any test is refused.
  EXPECT_THROW(AddRig(admin, a.User, QStringLiteral("三号台"), NewPassword()), LabError);
  LabSettings misnamed = a;
  misnamed.RigName = QStringLiteral("三号台");
  LabConnection wrongName(misnamed);
  try {
    CheckRigName(wrongName, misnamed.RigName);
    ADD_FAILURE() << "a rig ran under a name not its login's";
  } catch (const LabError& e) {
    EXPECT_TRUE(e.Words().contains(QStringLiteral("登记的试验台名称是“一号台”，与设置中的“三号台”不符"))) << e.what();
  }
  CheckRigName(admin, misnamed.RigName);  // the administrator is no rig
  EXPECT_EQ(LabScalar(s, "SELECT rig_name FROM lab_rigs WHERE login = '" + a.User + "'"), QStringLiteral("一号台"));
}

TEST(LabRights, ADatabaseBehindKeepsTheTestsOnTheRigUntilTheAdministratorUpgradesIt) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  const QString login = UniqueLogin("rig_old");
  const QString password = NewPassword();
  {
    // A lab at version 3, already under row rules: the rig may not upgrade it.
    LabConnection admin(s);
    for (const auto& [step, sql] : LabSchemaSteps()) {
      if (step > 3) break;
      admin.Exec(sql.toUtf8().constData());
      admin.Query("UPDATE lab_schema SET version = $1", {std::to_string(step)});
    }
    admin.Exec("DO $$ BEGIN CREATE ROLE lab_rig NOLOGIN; EXCEPTION WHEN duplicate_object OR unique_violation THEN "
               "NULL; END $$; ALTER TABLE lab_tests ENABLE ROW LEVEL SECURITY; GRANT SELECT ON lab_schema TO lab_rig");
    admin.Exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2' IN ROLE lab_rig").arg(login, password).toUtf8().constData());
    // Two rows under one test number, from before the key; wall-clock times.
    for (int i = 0; i < 2; ++i) UploadTest(admin, Record(QStringLiteral("一号台"), 1));
  }
  LabSettings rig = rigtest::AsLogin(s, login, dir.Path() + QStringLiteral("rig.pgpass"));
  ASSERT_TRUE(WritePasswordFile(rig.PassFile, rig, password));
  LabOutbox outbox(LabOutbox::PathIn(dir.Path()));
  outbox.Add(Record(rig.RigName, 2));
  outbox.Add(Record(rig.RigName, 3));
  LabUploader uploader(rig, outbox.Path(), {std::chrono::milliseconds(50), std::chrono::milliseconds(300)});
  uploader.Start();
  ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Problem == BehindText(3, LatestLabSchemaVersion()); }, 20000))
      << LabStatusText(uploader.Status()).toStdString();
  EXPECT_EQ(uploader.Status().Now, LabStatus::State::Failing);
  EXPECT_EQ(outbox.Count(), 2);
  EXPECT_EQ(LabScalar(s, "SELECT version FROM lab_schema"), "3");

  // The administrator, in another time zone than the database's, upgrades
  // and hands the rig its login (a new password, into the rig's file).
  auto tool = [&](const QStringList& command, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Shanghai"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RIG_BIN_DIR "/lab-admin"),
            QStringList{"-h", s.Host, "-p", QString::number(s.Port), "-d", s.Database, "-U", s.User, "--passfile",
                        s.PassFile} + command);
    p.waitForFinished(30000);
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode();
  };
  EXPECT_EQ(tool({"upgrade"}), 0);
  EXPECT_EQ(tool({"add-rig", login, rig.RigName, "--out", rig.PassFile}), 0);
  QString refusal;
  EXPECT_EQ(tool({"add-rig", UniqueLogin("rig_copy"), rig.RigName}, &refusal), 1);
  EXPECT_TRUE(refusal.contains(QStringLiteral("已登记给登录 ") + login)) << refusal.toStdString();

  ASSERT_TRUE(rigtest::WaitFor([&] { return uploader.Status().Now == LabStatus::State::Synced; }, 20000))
      << LabStatusText(uploader.Status()).toStdString();
  uploader.Stop();
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(local_id::text, ',' ORDER BY local_id) FROM lab_tests WHERE NOT "
                         "repeats_local_id"),
            "1,2,3");
  EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_tests WHERE local_id = 1 AND repeats_local_id"), "1");
  // The old rows' wall-clock 08:30 read as the administrator's local time.
  EXPECT_EQ(LabScalar(s, "SELECT DISTINCT to_char(start_time AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI') FROM "
                         "lab_tests WHERE local_id = 1"),
            "2026-03-14 00:30");
}

TEST(LabRights, ARigsProgramWritesItsEventsAndLiveRowsUnderItsOwnLogin) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  LabConnection admin(s);
  SetUpLab(admin);
  const LabSettings a = NewLogin(admin, s, dir, UniqueLogin("rig_live"), QStringLiteral("一号台"));
  SaveLabSettings(dir.Path(), a);
  LabServiceTiming quick;
  quick.Pauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(400)};
  quick.Live = {std::chrono::milliseconds(200), std::chrono::milliseconds(1000)};
  LabService service(dir.Path(), quick);
  RigEvent refusal;
  refusal.Station = 1;
  refusal.Kind = RigEventKind::Refusal;
  refusal.Detail = QStringLiteral("B1拒合");
  service.Happened(refusal);
  for (const int done : {10, 11}) {  // a new row, then its update
    service.OfferLive({LiveState{.Station = 1, .Link = "connected", .RunState = "running", .CountDone = done,
                                 .Programme = "M2 A123", .Block = "第2段进行中（共5段）"},
                       LiveState{.Station = 2, .Link = "closed", .RunState = "idle"}});
    ASSERT_TRUE(rigtest::WaitFor(
        [&] { return LabScalar(s, "SELECT count_done FROM lab_live WHERE station = 1") == QString::number(done); },
        20000))
        << LabStatusText(service.Status()).toStdString();
  }
  ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT count(*) FROM lab_events") == "1"; }, 20000));
  EXPECT_EQ(LabScalar(s, "SELECT rig_name || kind || detail FROM lab_events"), QStringLiteral("一号台refusalB1拒合"));
  const std::vector<OverviewLine> lines = OverviewLines(FetchOverview(s));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Programme + "|" + lines[1].Programme, QStringLiteral("M2 A123，第2段进行中（共5段）|"));
  EXPECT_EQ(service.Status().Problem, QString());
}
