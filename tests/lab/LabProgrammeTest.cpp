// Endurance programmes reaching the lab database through the outbox: the
// latest version of each, once, whatever the server did meanwhile; an older
// snapshot never replacing a newer; a refused one set aside; and a switch's
// history gathered from every rig through the whole-number indexes.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QUuid>

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "lab/LabAdmin.h"
#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabProgrammeUpload.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabSwitchHistory.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"
#include "lab/ProgrammeOutbox.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::LabScalar;

namespace {

const QDateTime kDay1(QDate(2026, 12, 1), QTime(8, 0));

Programme NewProgramme(const QString& factoryNumber, const QString& model = QStringLiteral("ZW32-12")) {
  Programme p = PresetProgramme(EnduranceStandard::Breaker, QStringLiteral("M2"), 20);
  p.Station = 1;
  p.Identity = {model, factoryNumber, QStringLiteral("二车间"), QStringLiteral("张三"), QStringLiteral("某开关厂"),
                QStringLiteral("某供电局"), QStringLiteral("备注")};
  p.CreatedAt = kDay1;
  return p;
}

void RunBlock(Programme& p, const QDateTime& at, int32_t cycles) {
  OpenRun(p, at, 0);
  AdvanceRun(p, cycles);
  CloseRun(p);
}

void Inspect(Programme& p, int block, double closingMs) {
  p.Inspections.push_back({block, QStringLiteral("脱扣弹簧、连杆"), InspectionWork::Lubrication, QString(),
                           QStringLiteral("李工"), kDay1.addDays(block),
                           {{QStringLiteral("合闸时间"), QStringLiteral("ms"), closingMs, 30, 50, 2}}});
}

// A login of a rig of its own, its password in `dir`.
LabSettings RigLogin(LabConnection& admin, const LabSettings& s, const rigtest::TempDir& dir, const QString& rigName) {
  const QString login = QStringLiteral("rig_p") + QUuid::createUuid().toString(QUuid::Id128).left(10);
  const QString password = NewPassword();
  AddRig(admin, login, rigName, password);
  LabSettings who = rigtest::AsLogin(s, login, dir.Path() + login + QStringLiteral(".pgpass"));
  who.RigName = rigName;
  EXPECT_TRUE(WritePasswordFile(who.PassFile, who, password));
  return who;
}

ProgrammeSnapshot Snapshot(const QString& rig, Programme p, const QString& labId, int64_t version) {
  p.Id = version;  // any local number
  p.LabId = labId;
  p.Revision = version;
  return MakeProgrammeSnapshot(rig, p, kDay1.addSecs(version));
}

QString NewId() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

}  // namespace

// Two rigs, each with a programme that goes on changing while the server is
// stopped: once it is back, the lab holds the latest version of each, once,
// with its blocks and inspections; each outbox held one snapshot per programme.
TEST(LabProgrammes, ChangesMadeWhileTheServerIsAwayArriveOnceAsTheLatestVersion) {
  rigtest::LabServerProcess server;
  ASSERT_GT(server.Info().Port, 0);
  const LabSettings s = rigtest::FreshLabDatabase(server.Info());
  rigtest::TempDir dirA, dirB;
  LabSettings rigA, rigB;
  {
    LabConnection admin(s);
    SetUpLab(admin);
    rigA = RigLogin(admin, s, dirA, QStringLiteral("一号台"));
    rigB = RigLogin(admin, s, dirB, QStringLiteral("二号台"));
  }
  SaveLabSettings(dirA.Path(), rigA);
  SaveLabSettings(dirB.Path(), rigB);
  LabServiceTiming quick;
  quick.Pauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(400)};
  LabService serviceA(dirA.Path(), quick), serviceB(dirB.Path(), quick);
  TProgrammeStore storeA(dirA.Path()), storeB(dirB.Path());
  storeA.SetSink(&serviceA);
  storeB.SetSink(&serviceB);

  Programme a = NewProgramme(QStringLiteral("SW-7")), b = NewProgramme(QStringLiteral("SW-8"));
  storeA.Save(a);
  storeB.Save(b);
  ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT count(*) FROM lab_programmes") == "2"; }, 20000))
      << serviceA.StatusLine().toStdString();

  ASSERT_TRUE(server.Pause());
  RunBlock(a, kDay1.addSecs(60), 2000);
  storeA.Save(a);
  Inspect(a, 1, 41.5);
  storeA.Save(a);
  OpenRun(a, kDay1.addDays(1), 0);
  AdvanceRun(a, 527);
  NoteRefusal(a, {2527, 2, 1055, kBreakB1, Deviation::RefusedClose, true, kDay1.addDays(1).addSecs(600)});
  CloseRun(a);
  storeA.Save(a);
  RunBlock(b, kDay1.addSecs(90), 2000);
  storeB.Save(b);
  Inspect(b, 1, 44.0);
  storeB.Save(b);
  b.EndedAt = kDay1.addDays(2);
  storeB.Save(b);
  // One snapshot per programme waits, the last.
  for (const rigtest::TempDir* dir : {&dirA, &dirB}) {
    const ProgrammeOutbox outbox(LabOutbox::PathIn(dir->Path()));
    EXPECT_EQ(outbox.Count(), 1);
    EXPECT_EQ(outbox.Oldest()->Version, 4);
  }
  ASSERT_TRUE(server.Resume());

  for (const auto& [p, rig] : {std::pair{&a, rigA.RigName}, {&b, rigB.RigName}}) {
    SCOPED_TRACE(rig.toStdString());
    const QString where = QStringLiteral(" WHERE programme_id = '%1'").arg(p->LabId);
    ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT version FROM lab_programmes" + where) == "4"; }, 30000));
    EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_programmes" + where), "1");
    EXPECT_EQ(LabScalar(s, "SELECT rig_name || '|' || out_index || '|' || cumulative || '|' || verdict FROM lab_programmes" + where),
              QStringLiteral("%1|%2|%3|%4").arg(rig, p->Identity.FactoryNumber).arg(CumulativeCount(*p)).arg(
                  VerdictTextZh(VerdictOf(*p))));
    EXPECT_EQ(LabScalar(s, "SELECT string_agg(block_no || ':' || cycles_done, ',' ORDER BY block_no) FROM "
                           "lab_programme_blocks" + where),
              p == &a ? "1:2000,2:527,3:0,4:0,5:0" : "1:2000,2:0,3:0,4:0,5:0");
    EXPECT_EQ(LabScalar(s, "SELECT string_agg(block_no || ':' || by_whom || ':' || work || ':' || "
                           "(measurements->0->>'value'), ',') FROM lab_inspections" + where),
              QStringLiteral("1:李工:lubrication:") + (p == &a ? "41.5" : "44"));
  }
  EXPECT_EQ(LabScalar(s, "SELECT fail_operation || ' ' || fail_block || ' ' || fail_break || '|' || (ended_at IS NULL) "
                         "FROM lab_programmes WHERE rig_name = '一号台'"),
            QStringLiteral("2527 2 B1拒合|true"));
  EXPECT_EQ(LabScalar(s, "SELECT (fail_operation IS NULL) || '|' || (ended_at IS NOT NULL) FROM lab_programmes "
                         "WHERE rig_name = '二号台'"),
            "true|true");
  EXPECT_EQ(ProgrammeOutbox(LabOutbox::PathIn(dirA.Path())).Count(), 0);
  storeA.SetSink(nullptr);
  storeB.SetSink(nullptr);
}

// The version decides, in whatever order snapshots arrive; a repeat (the
// program killed between the server's commit and the outbox's delete)
// changes nothing; a newer one replaces the blocks and inspections whole.
TEST(LabProgrammes, TheNewestVersionStandsWhateverArrivesAfterIt) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  LabConnection c(s);
  EnsureLabSchema(c);
  const QString id = NewId();
  Programme p = NewProgramme(QStringLiteral("SW-9"));
  Programme two = p;
  RunBlock(two, kDay1, 2000);
  Inspect(two, 1, 40);
  Programme three = two;
  three.Inspections.clear();  // the operator took the inspection back
  three.Identity.Remarks = QStringLiteral("第三版");
  const struct {
    const char* Case;
    ProgrammeSnapshot Sent;
    bool Stored;
    const char* Version;
    const char* Inspections;
  } steps[] = {
      {"version 2 first", Snapshot("一号台", two, id, 2), true, "2", "1"},
      {"version 1 late", Snapshot("一号台", p, id, 1), false, "2", "1"},
      {"version 2 again", Snapshot("一号台", two, id, 2), false, "2", "1"},
      {"version 3", Snapshot("一号台", three, id, 3), true, "3", "0"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Case);
    EXPECT_EQ(UploadProgramme(c, step.Sent), step.Stored);
    EXPECT_EQ(LabScalar(s, "SELECT version FROM lab_programmes"), step.Version);
    EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_inspections"), step.Inspections);
    EXPECT_EQ(LabScalar(s, "SELECT count(*) FROM lab_programme_blocks"), "5");
  }
  EXPECT_EQ(LabScalar(s, "SELECT remarks FROM lab_programmes"), QStringLiteral("第三版"));

  // In the outbox too an older snapshot gives way to a newer, never the other
  // way; one whose commit came back is let go, a newer queued meanwhile stays.
  rigtest::TempDir dir;
  ProgrammeOutbox outbox(LabOutbox::PathIn(dir.Path()));
  const QString other = NewId();
  outbox.Add(Snapshot("一号台", p, other, 2));
  outbox.Add(Snapshot("一号台", p, other, 1));
  EXPECT_EQ(outbox.Oldest()->Version, 2);
  const ProgrammeSnapshot sending = *outbox.Oldest();
  outbox.Add(Snapshot("一号台", two, other, 3));
  outbox.Remove(sending);
  ASSERT_EQ(outbox.Count(), 1);
  EXPECT_EQ(outbox.Oldest()->Version, 3);

  // A snapshot the server refuses is set aside; the others go on.
  LabScalar(s, "ALTER TABLE lab_programmes ADD CONSTRAINT no_bad CHECK (out_index <> 'BAD')");
  outbox.Add(Snapshot("一号台", NewProgramme(QStringLiteral("BAD")), NewId(), 1));
  outbox.Add(Snapshot("一号台", NewProgramme(QStringLiteral("SW-10")), NewId(), 1));
  EXPECT_EQ(SendWaitingProgrammes(c, outbox), 2);
  EXPECT_EQ(outbox.Count(), 0);
  EXPECT_EQ(outbox.AsideCount(), 1);
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(out_index, ',' ORDER BY out_index) FROM lab_programmes"), "SW-10,SW-9,SW-9");
}

// A switch's history: its tests and programmes from every rig, oldest first,
// the factory number (and the model, when given) matched whole, ignoring case
// and blanks around it; found through the indexes among thousands of rows.
TEST(LabSwitchHistory, TheSwitchsTestsAndProgrammesFromEveryRigOldestFirst) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  LabConnection c(s);
  EnsureLabSchema(c);
  auto test = [&](const QString& rig, int64_t localId, const QString& outIndex, const QDateTime& start, int actions) {
    TestSummary t = rigtest::LabSample(QStringLiteral("ZW32-12"), QStringLiteral("张三"), start);
    t.OutIndex = outIndex;
    t.CountDone = actions / 2;
    const SaveOutcome out{true, {}, QStringLiteral("/d/%1.db").arg(localId), localId};
    const LabTestRecord r = MakeLabRecord(rig, {t, {}, out, rigtest::LabActions(actions)}, ZonedTimeText(start));
    UploadTest(c, r);
    return r.TestId;
  };
  const QDateTime t0(QDate(2026, 3, 14), QTime(8, 30));
  const QString testA = test("一号台", 1, QStringLiteral("SW-7"), t0, 0);
  const QString testB = test("二号台", 1, QStringLiteral(" sw-7 "), t0.addDays(2), 10);
  test("一号台", 2, QStringLiteral("SW-77"), t0.addDays(1), 0);  // not the same number
  Programme pa = NewProgramme(QStringLiteral("SW-7"));
  pa.CreatedAt = t0.addDays(1);
  Programme pb = NewProgramme(QStringLiteral("sw-7"), QStringLiteral("VS1-12"));
  pb.CreatedAt = t0.addDays(3);
  const QString idA = NewId(), idB = NewId();
  UploadProgramme(c, Snapshot("一号台", pa, idA, 1));
  UploadProgramme(c, Snapshot("二号台", pb, idB, 1));

  const QString inProgress = VerdictTextZh(VerdictOf(pa));
  // Ten sample actions under mode 17, judged by the position rule.
  const QString kRefusalsOfTen = QStringLiteral("A1拒合6次，A1拒分4次，B1拒合5次，B1拒分5次，C1拒合5次，C1拒分5次");
  const struct {
    QString Number, Model;
    QStringList Expected;  // rig, kind, lab id, outcome
  } cases[] = {
      {QStringLiteral("SW-7"), QString(),
       {"一号台 T " + testA + " 无拒动作", "一号台 P " + idA + " " + inProgress, "二号台 T " + testB + " " + kRefusalsOfTen,
        "二号台 P " + idB + " " + VerdictTextZh(VerdictOf(pb))}},
      {QStringLiteral("  sw-7\t"), QStringLiteral("zw32-12 "),
       {"一号台 T " + testA + " 无拒动作", "一号台 P " + idA + " " + inProgress, "二号台 T " + testB + " " + kRefusalsOfTen}},
      {QStringLiteral("SW"), QString(), {}},
      {QString(), QString(), {}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Number.toStdString() + "/" + k.Model.toStdString());
    QStringList got;
    for (const SwitchHistoryItem& i : FetchLabSwitchHistory(c, {k.Number, k.Model}))
      got << i.RigName + (i.What == SwitchHistoryItem::Kind::Test ? " T " : " P ") + i.LabId + " " + i.Outcome;
    EXPECT_EQ(got, k.Expected);
  }
  const std::vector<SwitchHistoryItem> all = FetchLabSwitchHistory(c, {QStringLiteral("SW-7"), QString()});
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].Start, t0);
  EXPECT_EQ(all[1].Start, pa.CreatedAt);
  EXPECT_EQ(all[1].ClassName, QStringLiteral("M2"));
  EXPECT_EQ(all[1].Target, 10000);
  EXPECT_EQ(all[2].Count, 5);
  EXPECT_EQ(all[2].Mode, 17);
  EXPECT_EQ(all[3].Model, QStringLiteral("VS1-12"));

  const struct {
    int Closings[3], Openings[3];
    const char* Words;
  } refusals[] = {{{0, 0, 0}, {0, 0, 0}, "无拒动作"}, {{0, 2, 0}, {0, 0, 0}, "B1拒合2次"},
                  {{1, 0, 0}, {0, 0, 3}, "A1拒合1次，C1拒分3次"}};
  for (const auto& r : refusals) EXPECT_EQ(RefusalsText(r.Closings, r.Openings), QString::fromUtf8(r.Words));

  // Thousands of other switches: the lookup goes through both indexes.
  const std::string copyTests = "INSERT INTO lab_tests SELECT gen_random_uuid(), rig_name, local_id + g, station, open_type, 'X-' || g, "
         "work_area, work_name, start_time, end_time, mode, param1, param2, param3, param4, param5, count_done, "
         "ignore_refusals, detail_name, action_count, saved_at, uploaded_at, refused_closings, refused_openings, "
         "refusals_found_by, repeats_local_id FROM lab_tests, generate_series(100, 3100) g WHERE test_id = '" +
         testA.toStdString() + "'";
  const std::string copyProgrammes = "INSERT INTO lab_programmes SELECT gen_random_uuid(), rig_name, local_id + g, station, open_type, 'X-' || g, "
         "work_area, work_name, manufacturer, customer, remarks, standard, class_name, target, cumulative, verdict, "
         "fail_operation, fail_block, fail_break, created_at, ended_at, updated_at, version, uploaded_at "
         "FROM lab_programmes, generate_series(100, 3100) g WHERE programme_id = '" + idA.toStdString() + "'";
  c.Exec(copyTests.c_str());
  c.Exec(copyProgrammes.c_str());
  c.Exec("ANALYZE lab_tests; ANALYZE lab_programmes");
  c.Exec((std::string("PREPARE history(text, text) AS ") + LabSwitchHistorySql()).c_str());
  PgResult plan = c.Query("EXPLAIN EXECUTE history('SW-7', '')");
  QString text;
  for (int row = 0; row < PQntuples(plan.get()); ++row) text += QString::fromUtf8(PQgetvalue(plan.get(), row, 0)) + "\n";
  EXPECT_TRUE(text.contains("lab_tests_out_index_whole")) << text.toStdString();
  EXPECT_TRUE(text.contains("lab_programmes_out_index_whole")) << text.toStdString();
  EXPECT_EQ(FetchLabSwitchHistory(c, {QStringLiteral("SW-7"), QString()}).size(), 4u);
}
