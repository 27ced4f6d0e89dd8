// Endurance programmes reaching the lab database through the outbox: the
// latest version of each, once, whatever the server did meanwhile; an older
// snapshot never replacing a newer; a refused one set aside; and a switch's
// history gathered from every rig through the whole-number indexes.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QUuid>

#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"
#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabProgrammeRecord.h"
#include "lab/LabProgrammeUpload.h"
#include "lab/LabReconcile.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabSwitchHistory.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"
#include "lab/LabUploader.h"
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
  p.Identity = {model, factoryNumber, QStringLiteral("二车间"), QStringLiteral("张三"), {}, {}, {}};
  p.CreatedAt = kDay1;
  return p;
}

void RunBlock(Programme& p, int32_t cycles) {
  OpenRun(p, kDay1, 0);
  AdvanceRun(p, cycles);
  CloseRun(p);
}
void Inspect(Programme& p, double closingMs) {
  p.Inspections.push_back({1, QStringLiteral("连杆"), InspectionWork::Lubrication, QString(), QStringLiteral("李工"), kDay1,
                           {{QStringLiteral("合闸时间"), QStringLiteral("ms"), closingMs, 30, 50, 2}}});
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
// stopped (a block done, an inspection, a failure or the end): once it is
// back, the lab holds the latest version of each, once, with its blocks and
// inspections; each outbox held only the newest snapshot meanwhile.
TEST(LabProgrammes, ChangesMadeWhileTheServerIsAwayArriveOnceAsTheLatestVersion) {
  rigtest::LabServerProcess server;
  ASSERT_GT(server.Info().Port, 0);
  const LabSettings s = rigtest::FreshLabDatabase(server.Info());
  rigtest::TempDir dirA, dirB;
  for (const auto& [dir, rig] : {std::pair{&dirA, QStringLiteral("一号台")}, {&dirB, QStringLiteral("二号台")}}) {
    LabSettings own = s;
    own.RigName = rig;
    SaveLabSettings(dir->Path(), own);
  }
  LabServiceTiming quick;
  quick.Pauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(400)};
  LabService serviceA(dirA.Path(), quick), serviceB(dirB.Path(), quick);
  TProgrammeStore storeA(dirA.Path()), storeB(dirB.Path());
  storeA.SetSink(&serviceA);
  storeB.SetSink(&serviceB);
  Programme a = NewProgramme(QStringLiteral("SW-7")), b = NewProgramme(QStringLiteral("SW-8"));
  storeA.Save(a);
  storeB.Save(b);
  // The first rig to connect makes the tables.
  ASSERT_TRUE(rigtest::WaitFor([&] { return serviceA.Status().Now == LabStatus::State::Synced; }, 20000));
  ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT count(*) FROM lab_programmes") == "2"; }, 20000));

  ASSERT_TRUE(server.Pause());
  for (auto [p, store, closingMs] : {std::tuple{&a, &storeA, 41.5}, {&b, &storeB, 44.0}}) {
    RunBlock(*p, 2000);
    store->Save(*p);
    Inspect(*p, closingMs);
    store->Save(*p);
  }
  OpenRun(a, kDay1.addDays(1), 0);
  AdvanceRun(a, 527);
  NoteRefusal(a, {2527, 2, 1055, kBreakB1, Deviation::RefusedClose, true, kDay1.addDays(1)});
  CloseRun(a);
  storeA.Save(a);
  b.EndedAt = kDay1.addDays(2);
  storeB.Save(b);
  for (const rigtest::TempDir* dir : {&dirA, &dirB}) {
    const ProgrammeOutbox outbox(LabOutbox::PathIn(dir->Path()));
    EXPECT_EQ(outbox.Count(), 1);
    EXPECT_EQ(outbox.Oldest()->Version, 4);
  }
  ASSERT_TRUE(server.Resume());

  for (const Programme* p : {&a, &b}) {
    const QString where = QStringLiteral(" WHERE programme_id = '%1'").arg(p->LabId);
    ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT version FROM lab_programmes" + where) == "4"; }, 30000));
    EXPECT_EQ(LabScalar(s, "SELECT count(*) OVER () || '|' || cumulative || '|' || verdict || '|' || coalesce(fail_break, '-') "
                           "|| '|' || (ended_at IS NULL) FROM lab_programmes" + where),
              QStringLiteral("1|%1|%2|%3").arg(CumulativeCount(*p)).arg(VerdictTextZh(VerdictOf(*p)),
                                                                      p == &a ? "B1拒合|true" : "-|false"));
    EXPECT_EQ(LabScalar(s, "SELECT string_agg(block_no || ':' || cycles_done, ',' ORDER BY block_no) FROM "
                           "lab_programme_blocks" + where),
              p == &a ? "1:2000,2:527,3:0,4:0,5:0" : "1:2000,2:0,3:0,4:0,5:0");
    EXPECT_EQ(LabScalar(s, "SELECT string_agg(block_no || by_whom || work || (measurements->0->>'value'), ',') FROM "
                           "lab_inspections" + where),
              QStringLiteral("1李工lubrication") + (p == &a ? "41.5" : "44"));
  }
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
  RunBlock(two, 2000);
  Inspect(two, 40);
  Programme three = two;
  three.Inspections.clear();  // the operator took the inspection back
  three.Identity.Remarks = QStringLiteral("第三版");
  // Sent, stored by this call, then "version|remarks|inspections|blocks" in the lab.
  const std::tuple<ProgrammeSnapshot, bool, QString> steps[] = {
      {Snapshot("一号台", two, id, 2), true, "2||1|5"},
      {Snapshot("一号台", p, id, 1), false, "2||1|5"},   // late
      {Snapshot("一号台", two, id, 2), false, "2||1|5"}, // again
      {Snapshot("一号台", three, id, 3), true, "3|第三版|0|5"},
  };
  for (const auto& [sent, stored, lab] : steps) {
    EXPECT_EQ(UploadProgramme(c, sent), stored) << sent.Version;
    EXPECT_EQ(LabScalar(s, "SELECT version || '|' || remarks || '|' || (SELECT count(*) FROM lab_inspections) || '|' || "
                           "(SELECT count(*) FROM lab_programme_blocks) FROM lab_programmes"), lab) << sent.Version;
  }

  // In the outbox an older snapshot never replaces a newer; one whose commit
  // came back goes, a newer one queued meanwhile stays.
  rigtest::TempDir dir;
  ProgrammeOutbox outbox(LabOutbox::PathIn(dir.Path()));
  for (const int64_t version : {2, 1}) outbox.Add(Snapshot("一号台", p, id, version));
  const ProgrammeSnapshot sending = *outbox.Oldest();
  outbox.Add(Snapshot("一号台", two, id, 3));
  outbox.Remove(sending);
  EXPECT_EQ(QString::number(outbox.Count()) + "/" + QString::number(outbox.Oldest()->Version), "1/3");
  outbox.Remove(*outbox.Oldest());

  // A snapshot the server refuses is set aside, and the rig's status line
  // says so with the reason; the others go on.
  LabScalar(s, "ALTER TABLE lab_programmes ADD CONSTRAINT no_bad CHECK (out_index <> 'BAD')");
  outbox.Add(Snapshot(s.RigName, NewProgramme(QStringLiteral("BAD")), NewId(), 1));
  outbox.Add(Snapshot(s.RigName, NewProgramme(QStringLiteral("SW-10")), NewId(), 1));
  LabUploader uploader(s, LabOutbox::PathIn(dir.Path()));
  uploader.Start();
  ASSERT_TRUE(rigtest::WaitFor(
      [&] { return uploader.Status().Now == LabStatus::State::Synced && uploader.Status().ProgrammesAside == 1; }, 20000))
      << LabStatusText(uploader.Status()).toStdString();
  uploader.Stop();
  const QString line = LabStatusText(uploader.Status());
  EXPECT_TRUE(line.startsWith(QStringLiteral("实验室数据库：已同步；1 个试验方案被服务器拒收，已搁置：与实验室数据库的规定或已有数据冲突")) &&
              line.contains(QLatin1String("23514")))
      << line.toStdString();
  EXPECT_EQ(outbox.Count(), 0);
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(out_index, ',' ORDER BY out_index) FROM lab_programmes"), "SW-10,SW-9");
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

  // Ten sample actions under mode 17, judged by the position rule.
  const QStringList items{"一号台 T " + testA + " 无拒动作", "一号台 P " + idA + " " + VerdictTextZh(VerdictOf(pa)),
                          "二号台 T " + testB + " A1拒合6次，A1拒分4次，B1拒合5次，B1拒分5次，C1拒合5次，C1拒分5次",
                          "二号台 P " + idB + " " + VerdictTextZh(VerdictOf(pb))};
  const std::tuple<QString, QString, QStringList> cases[] = {
      {"SW-7", "", items}, {"  sw-7\t", "zw32-12 ", items.mid(0, 3)}, {"SW", "", {}}, {"", "", {}}};
  for (const auto& [number, model, expected] : cases) {
    QStringList got;
    for (const SwitchHistoryItem& i : FetchLabSwitchHistory(c, {number, model}))
      got << i.RigName + (i.What == SwitchHistoryItem::Kind::Test ? " T " : " P ") + i.LabId + " " + i.Outcome;
    EXPECT_EQ(got, expected) << number.toStdString();
  }
  const std::vector<SwitchHistoryItem> all = FetchLabSwitchHistory(c, {QStringLiteral("SW-7"), QString()});
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[1].Start, pa.CreatedAt);
  EXPECT_EQ(all[1].ClassName + QString::number(all[1].Target) + "/" + QString::number(all[2].Count), "M210000/5");
  LabSettings one = s;  // the window on rig 一号台 adds the other rig's items only
  one.RigName = QStringLiteral("一号台");
  QStringList others;
  for (const SwitchHistoryItem& i : OtherRigsSwitchHistory(one, {QStringLiteral("SW-7"), QString()})) others << i.LabId;
  EXPECT_EQ(others, (QStringList{testB, idB}));

  // Thousands of other switches: the lookup goes through both indexes.
  for (const auto& [table, key, id] : {std::tuple<QString, QString, QString>{"lab_tests", "test_id", testA},
                                          {"lab_programmes", "programme_id", idA}})
    c.Exec(QStringLiteral("INSERT INTO %1 SELECT (jsonb_populate_record(NULL::%1, to_jsonb(t) || jsonb_build_object("
                          "'%2', gen_random_uuid(), 'local_id', t.local_id + g, 'out_index', 'X-' || g))).* "
                          "FROM %1 t, generate_series(100, 3100) g WHERE %2 = '%3'")
               .arg(table, key, id)
               .toUtf8()
               .constData());
  c.Exec("ANALYZE lab_tests; ANALYZE lab_programmes");
  c.Exec((std::string("PREPARE history(text, text) AS ") + LabSwitchHistorySql()).c_str());
  PgResult plan = c.Query("EXPLAIN EXECUTE history('SW-7', '')");
  QString text;
  for (int row = 0; row < PQntuples(plan.get()); ++row) text += QString::fromUtf8(PQgetvalue(plan.get(), row, 0)) + "\n";
  EXPECT_TRUE(text.contains("lab_tests_out_index_whole")) << text.toStdString();
  EXPECT_TRUE(text.contains("lab_programmes_out_index_whole")) << text.toStdString();
  EXPECT_EQ(FetchLabSwitchHistory(c, {QStringLiteral("SW-7"), QString()}).size(), 4u);
}

// Another rig's programme opened from the switch history reads as its
// record: the switch, each block's cycles, cycle times and voltage, the
// inspection with its measurement judged, the first failure and the verdict.
TEST(LabSwitchHistory, AnotherRigsProgrammeReadsAsItsRecord) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  LabConnection c(s);
  EnsureLabSchema(c);
  Programme p = NewProgramme(QStringLiteral("SW-8"));
  p.Station = 1;
  p.Identity.Manufacturer = QStringLiteral("某开关厂");
  p.Identity.Remarks = QStringLiteral("弹簧机构");
  p.Blocks[0].VoltageNote = QStringLiteral("DC 220 V");
  p.Blocks[0].VoltageConfirmedBy = QStringLiteral("王工");
  RunBlock(p, 2000);
  for (const double ms : {1500.0, 1520.0, 1540.0}) p.Blocks[0].Cycles.Add(ms);
  Inspect(p, 49);
  OpenRun(p, kDay1.addDays(1), 0);
  AdvanceRun(p, 527);
  NoteRefusal(p, {2527, 2, 1053, kBreakB1, Deviation::RefusedClose, true, kDay1.addDays(1)});
  CloseRun(p);
  p.EndedAt = kDay1.addDays(2);
  const QString id = NewId();
  UploadProgramme(c, Snapshot("二号台", p, id, 4));

  const QStringList expected{
      "开关型号：ZW32-12", "出厂编号：SW-8", "二号台 工位1，IEC 62271-100 / GB/T 1984 M2", "制造厂：某开关厂",
      "开始：2026-12-01 08:00；结束：2026-12-03 08:00", "",
      "IEC 62271-100 / GB/T 1984 M2，目标10,000次（1次 = 试验方式的1个循环）",
      "第1段（分合分）：2,000/2,000次；平均 1.52 s，离散 0.02 s，最慢 1.54 s；控制电压 DC 220 V（王工确认）",
      "　检查：李工 2026-12-01 08:00，连杆，润滑；合闸时间 49 ms（30–50）临界",
      "第2段（分合分）：527/2,000次；尚无测得的循环", "第3段（分合分）：0/2,000次；尚无测得的循环",
      "第4段（分合分）：0/2,000次；尚无测得的循环", "第5段（分合分）：0/2,000次；尚无测得的循环",
      "首次拒动作：第2,527次（第2段，B1拒合）", "判定：" + VerdictTextZh(VerdictOf(p)), "备注：弹簧机构"};
  const std::optional<QString> record = FetchLabProgrammeRecord(c, id);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->split('\n'), expected) << record->toStdString();
  EXPECT_EQ(FetchLabProgrammeRecord(c, NewId()), std::nullopt);  // gone from the lab
}

// Programmes stored before the lab was set (one of them ended, so it never
// changes again) reach it at the next start-up, once; one the lab already
// holds at its revision is not queued again.
TEST(LabProgrammes, ThoseStoredBeforeTheLabReachItAtTheNextStartUp) {
  const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  rigtest::TempDir dir;
  TProgrammeStore store(dir.Path());
  Programme ended = NewProgramme(QStringLiteral("SW-1")), running = NewProgramme(QStringLiteral("SW-2")),
            sent = NewProgramme(QStringLiteral("SW-3"));
  RunBlock(ended, 2000);
  ended.EndedAt = kDay1.addDays(2);
  for (Programme* p : {&ended, &running, &sent}) store.Save(*p);
  {
    LabConnection c(s);
    EnsureLabSchema(c);
    ASSERT_TRUE(UploadProgramme(c, MakeProgrammeSnapshot(s.RigName, sent, kDay1)));
  }
  SaveLabSettings(dir.Path(), s);
  LabServiceTiming quick;
  quick.Pauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(400)};
  {
    LabService service(dir.Path(), quick);
    ASSERT_TRUE(rigtest::WaitFor([&] { return service.Status().Now == LabStatus::State::Synced; }, 20000));
    ASSERT_TRUE(rigtest::WaitFor([&] { return LabScalar(s, "SELECT count(*) FROM lab_programmes") == "3"; }, 20000));
    ASSERT_TRUE(rigtest::WaitFor([&] { return ProgrammeOutbox(LabOutbox::PathIn(dir.Path())).Count() == 0; }, 20000));
  }
  EXPECT_EQ(LabScalar(s, "SELECT string_agg(out_index || ':' || version, ',' ORDER BY out_index) FROM lab_programmes"),
            QStringLiteral("SW-1:%1,SW-2:%2,SW-3:%3").arg(ended.Revision).arg(running.Revision).arg(sent.Revision));
  EXPECT_EQ(LabScalar(s, "SELECT ended_at IS NOT NULL FROM lab_programmes WHERE out_index = 'SW-1'"), "t");
  LabConnection c(s);
  EXPECT_EQ(ReconcileProgrammes(c, dir.Path(), s.RigName), 0);
}
