// The lab database at the scale of years: 1,000,000 tests and 100,000,000
// actions of 50 rigs, made once in the server by bench/lab-scale-data.sh
// into a kept folder (LAB_SCALE_DIR, default /tmp/rig-lab-scale; ten
// minutes the first time) and reused. Measures the lab search (filters of three
// characters or more, and of one or two), a 128,000-action test's detail,
// the dashboards' views and 50 rigs uploading at once. Not part of CTest.
//
//   bench/lab-scale-data.sh && build/bin/LabScaleBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "lab/LabConnection.h"
#include "lab/LabDetail.h"
#include "lab/LabOutbox.h"
#include "lab/LabSchema.h"
#include "lab/LabSearch.h"
#include "lab/LabUploader.h"
#include "storage/RecordStore.h"

using namespace rig;
using namespace rig::lab;

namespace {

QString ScaleDir() {
  const QByteArray dir = qgetenv("LAB_SCALE_DIR");
  return dir.isEmpty() ? QStringLiteral("/tmp/rig-lab-scale") : QString::fromUtf8(dir);
}

double Number(LabConnection& c, const char* sql) {
  PgResult r = c.Query(sql);
  return QByteArray(PQgetvalue(r.get(), 0, 0)).toDouble();
}

// The kept database, brought to the newest schema once per run (the first
// time that is step 5's indexes on a million tests: timed and printed).
LabSettings Lab() {
  static const LabSettings settings = [] {
    const QString dir = ScaleDir();
    const QByteArray make = "bash " RIG_SOURCE_DIR "/bench/lab-scale-data.sh '" + dir.toUtf8() + "'";
    if (std::system(make.constData()) != 0) std::fprintf(stderr, "bench/lab-scale-data.sh failed\n");
    QFile port(dir + QStringLiteral("/port"));
    port.open(QIODevice::ReadOnly);
    LabSettings s;
    s.Host = QStringLiteral("127.0.0.1");
    s.Port = port.readAll().trimmed().toInt();
    s.PassFile = dir + QStringLiteral("/pgpass");
    s.RigName = QStringLiteral("一号台");
    LabConnection c(s);
    c.Exec("SET statement_timeout = 0");
    QElapsedTimer t;
    t.start();
    const int before = static_cast<int>(Number(c, "SELECT max(version) FROM lab_schema"));
    const int after = EnsureLabSchema(c);
    if (after != before)
      std::fprintf(stderr, "schema %d -> %d on %.0f tests: %.1f s\n", before, after,
                   Number(c, "SELECT count(*) FROM lab_tests"), t.elapsed() / 1000.0);
    const double tests = Number(c, "SELECT count(*) FROM lab_tests");
    const double actions = Number(c, "SELECT sum(action_count) FROM lab_tests");
    const double mib = 1024.0 * 1024.0;
    std::fprintf(stderr,
                 "%.0f tests, %.0f actions; on disk (tables, indexes, TOAST): lab_tests %.0f MiB "
                 "(%.0f MiB per million tests), lab_actions %.0f MiB (%.0f MiB per million actions), "
                 "lab_events %.0f MiB, database %.0f MiB\n",
                 tests, actions, Number(c, "SELECT pg_total_relation_size('lab_tests')") / mib,
                 Number(c, "SELECT pg_total_relation_size('lab_tests')") / mib / (tests / 1e6),
                 Number(c, "SELECT pg_total_relation_size('lab_actions')") / mib,
                 Number(c, "SELECT pg_total_relation_size('lab_actions')") / mib / (actions / 1e6),
                 Number(c, "SELECT pg_total_relation_size('lab_events')") / mib,
                 Number(c, "SELECT pg_database_size(current_database())") / mib);
    PgResult sizes = c.Query(
        "SELECT indexrelid::regclass::text, pg_relation_size(indexrelid) / 1048576 FROM pg_index "
        "WHERE indrelid = 'lab_tests'::regclass ORDER BY 1");
    for (int i = 0; i < PQntuples(sizes.get()); ++i)
      std::fprintf(stderr, "  index %s: %s MiB\n", PQgetvalue(sizes.get(), i, 0), PQgetvalue(sizes.get(), i, 1));
    return s;
  }();
  return settings;
}

struct SearchCase {
  const char* What;
  const char16_t* OpenType = u"";
  const char16_t* OutIndex = u"";
  const char16_t* WorkArea = u"";
  const char16_t* WorkName = u"";
  const char16_t* Rig = u"";
  QDate From = QDate(2023, 1, 1);
  QDate To = QDate(2026, 12, 31);
};

// Over all four years unless said.
const SearchCase kSearches[] = {
    {"model 3+: 真空断路器 (about half the tests)", u"真空断路器"},
    {"model 3+: 隔离开关 + operator 何建国", u"隔离开关", u"", u"", u"何建国"},
    {"serial 3+: 2307-2", u"", u"2307-2"},
    {"serial 3+, one test: 2404-15200", u"", u"2404-15200"},
    {"work area 3+: 总装车间 + operator 3+: 何建国", u"", u"", u"总装车间", u"何建国"},
    {"operator 3+, none: 欧阳修", u"", u"", u"", u"欧阳修"},
    {"short: operator 张 (4%)", u"", u"", u"", u"张"},
    {"short: model 真空 (42%)", u"真空"},
    {"short: operator 张 + model 真空", u"真空", u"", u"", u"张"},
    {"short: serial 57 (4%)", u"", u"57"},
    {"short, none: operator 鑫", u"", u"", u"", u"鑫"},
    {"short: model 40 (ZN85-40.5, 8%)", u"40"},
    {"rig 13号 + operator 张", u"", u"", u"", u"张", u"13号"},
    {"rig 7号试验台, one month", u"", u"", u"", u"", u"7号试验台", QDate(2025, 6, 1), QDate(2025, 6, 30)},
    {"no filter, four years", u""},
};

LabSearchFilter FilterOf(const SearchCase& k) {
  LabSearchFilter f;
  f.Base.OpenType = QString::fromUtf16(k.OpenType);
  f.Base.OutIndex = QString::fromUtf16(k.OutIndex);
  f.Base.WorkArea = QString::fromUtf16(k.WorkArea);
  f.Base.WorkName = QString::fromUtf16(k.WorkName);
  f.RigName = QString::fromUtf16(k.Rig);
  f.Base.From = k.From;
  f.Base.To = k.To;
  return f;
}

void BM_LabSearch(benchmark::State& state) {
  const SearchCase& k = kSearches[state.range(0)];
  state.SetLabel(k.What);
  const LabSearchFilter f = FilterOf(k);
  const LabSettings lab = Lab();  // made ready outside the timing
  LabSearchResult found;
  for (auto _ : state) found = SearchLabTests(lab, f);  // connect, search, disconnect, as the window does
  state.counters["rows"] = static_cast<double>(found.Rows.size());
  state.counters["cut"] = found.Cut;
}
BENCHMARK(BM_LabSearch)->DenseRange(0, std::size(kSearches) - 1)->Unit(benchmark::kMillisecond)->UseRealTime();

QString A128kTest(LabConnection& c) {
  PgResult r = c.Query("SELECT test_id FROM lab_tests WHERE action_count = 128000 ORDER BY start_time DESC LIMIT 1");
  return QString::fromLatin1(PQgetvalue(r.get(), 0, 0));
}

// Opening a found test: its summary and 128,000 actions from the server
// into the local files the detail window reads.
void BM_LabDetail128k(benchmark::State& state) {
  LabConnection c(Lab());
  const QString id = A128kTest(c);
  QTemporaryDir folder;
  for (auto _ : state) FetchLabTest(c, id, folder.path() + QLatin1Char('/'));
}
BENCHMARK(BM_LabDetail128k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The server's part of it alone: the 128,000 rows.
void BM_LabDetail128kQuery(benchmark::State& state) {
  LabConnection c(Lab());
  const std::string id = A128kTest(c).toStdString();
  int rows = 0;
  for (auto _ : state) {
    PgResult r = c.Query(
        "SELECT deal_times, cz_deal_times, state1, state2, state3, mark1, mark2, mark3 FROM lab_actions "
        "WHERE test_id = $1::uuid ORDER BY seq",
        {id});
    rows = PQntuples(r.get());
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_LabDetail128kQuery)->Unit(benchmark::kMillisecond)->UseRealTime();

// The dashboards' views as their panels read them (dashboards/grafana).
const char* const kViews[] = {
    "SELECT * FROM lab_rigs_now ORDER BY rig_name, station",
    "SELECT * FROM lab_uploads_pending ORDER BY rig_name",
    "SELECT day, sum(tests) FROM lab_tests_per_day WHERE day >= timestamp '2026-11-01' GROUP BY 1 ORDER BY 1",
    "SELECT open_type, sum(refused_closings + refused_openings) FROM lab_refusals_per_model "
    "WHERE day >= timestamp '2026-11-01' GROUP BY 1 ORDER BY 2 DESC",
    "SELECT day, sum(tests) FROM lab_tests_per_day GROUP BY 1 ORDER BY 1",
};

void BM_LabView(benchmark::State& state) {
  LabConnection c(Lab());
  const char* sql = kViews[state.range(0)];
  state.SetLabel(sql);
  int rows = 0;
  for (auto _ : state) rows = PQntuples(c.Query(sql).get());
  state.counters["rows"] = rows;
}
BENCHMARK(BM_LabView)->DenseRange(0, std::size(kViews) - 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 50 rigs at once, each with its own outbox and uploader, send 20 tests of
// 2,000 actions each into the big database; every test must arrive exactly
// once with all its actions. The tests are removed afterwards.
void BM_FiftyRigsUpload(benchmark::State& state) {
  constexpr int kRigs = 50, kTests = 20, kActions = 2000;
  LabConnection c(Lab());
  c.Exec("SET statement_timeout = 0");
  c.Exec("DELETE FROM lab_tests WHERE rig_name LIKE '压测台%'");
  ActionQueue actions;
  for (int i = 1; i <= kActions; ++i) {
    auto a = std::make_unique<ActionRecord>();
    a->Count = (i + 1) / 2;
    a->ActionNo = i;
    a->Closed[0] = a->Closed[1] = a->Closed[2] = i % 2;
    actions.push_back(std::move(a));
  }
  const std::array<int, 5> params{300, 300, 1000, 0, 0};
  QTemporaryDir root;
  std::vector<std::unique_ptr<LabUploader>> uploaders;
  for (int r = 0; r < kRigs; ++r) {
    LabSettings s = Lab();
    s.RigName = QStringLiteral("压测台%1").arg(r + 1);
    const QString outboxPath = root.filePath(QStringLiteral("rig%1.db").arg(r));
    LabOutbox outbox(outboxPath);
    for (int t = 0; t < kTests; ++t) {
      TestSummary test;
      test.OpenType = QStringLiteral("ZW32-12真空断路器");
      test.WorkName = QStringLiteral("压测");
      test.StartTime = QDateTime(QDate(2026, 12, 7), QTime(8, 0)).addSecs(t * 60);
      test.Mode = 17;
      test.CountDone = kActions / 2;
      const SaveOutcome out{true, {}, QStringLiteral("/d/%1.db").arg(t), t + 1};
      outbox.Add(MakeLabRecord(s.RigName, {test, params, out, actions}, QStringLiteral("2026-12-07 09:00:00")));
    }
    uploaders.push_back(std::make_unique<LabUploader>(s, outboxPath));
  }
  double seconds = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    for (auto& u : uploaders) u->Start();
    for (bool done = false; !done && t.elapsed() < 600000;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      done = true;
      for (auto& u : uploaders) done = done && u->Status().Uploaded == kTests && u->Status().Pending == 0;
    }
    seconds = t.elapsed() / 1000.0;
    for (auto& u : uploaders) u->Stop();
  }
  const double tests = Number(c, "SELECT count(*) FROM lab_tests WHERE rig_name LIKE '压测台%'");
  const double stored = Number(c,
                               "SELECT count(*) FROM lab_actions a JOIN lab_tests t USING (test_id) "
                               "WHERE t.rig_name LIKE '压测台%'");
  const double rigs = Number(c,
                             "SELECT count(*) FROM (SELECT rig_name FROM lab_tests WHERE rig_name LIKE '压测台%' "
                             "GROUP BY rig_name HAVING count(*) = 20 AND count(DISTINCT local_id) = 20) x");
  int left = 0;
  for (int r = 0; r < kRigs; ++r) left += LabOutbox(root.filePath(QStringLiteral("rig%1.db").arg(r))).Count();
  if (tests != kRigs * kTests || stored != double(kRigs) * kTests * kActions || rigs != kRigs || left != 0)
    state.SkipWithError("not every test arrived exactly once");
  state.counters["tests"] = tests;
  state.counters["actions"] = stored;
  state.counters["tests_per_s"] = tests / seconds;
  state.counters["actions_per_s"] = stored / seconds;
  state.counters["outbox_left"] = left;
  c.Exec("DELETE FROM lab_tests WHERE rig_name LIKE '压测台%'");
}
BENCHMARK(BM_FiftyRigsUpload)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
