// What the lab database costs: sending a 128,000-action test (outbox in,
// out, COPY, commit, outbox cleared) and searching 100,000 tests of 10 rigs
// with the search window's filters, against a real PostgreSQL started for
// the run with scripts/lab-db.sh (a temporary folder, removed at the end).
//
//   build/bin/LabBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabSchema.h"
#include "lab/LabSearch.h"
#include "lab/LabUpload.h"
#include "storage/RecordStore.h"

using namespace rig;
using namespace rig::lab;

namespace {

// One server for the whole run.
class Server {
 public:
  Server() {
    env_ = QDir::tempPath() + QStringLiteral("/rig-lab-bench-%1.env").arg(QUuid::createUuid().toString(QUuid::Id128));
    const QByteArray start = "bash " RIG_SOURCE_DIR "/scripts/lab-db.sh start --env " + env_.toUtf8() + " >/dev/null";
    if (std::system(start.constData()) != 0) return;
    QFile f(env_);
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n')) {
      if (line.startsWith("PORT=")) settings_.Port = line.mid(5).toInt();
      if (line.startsWith("PASSFILE=")) settings_.PassFile = QString::fromUtf8(line.mid(9));
    }
    settings_.Host = QStringLiteral("127.0.0.1");
    settings_.RigName = QStringLiteral("一号台");
  }
  ~Server() {
    const QByteArray stop = "bash " RIG_SOURCE_DIR "/scripts/lab-db.sh stop --env " + env_.toUtf8();
    std::system(stop.constData());
  }
  // A new database on the server.
  LabSettings Fresh() {
    LabSettings admin = settings_;
    admin.Database = QStringLiteral("postgres");
    LabConnection c(admin);
    const QString name = QStringLiteral("b_") + QUuid::createUuid().toString(QUuid::Id128);
    c.Exec(("CREATE DATABASE " + name).toUtf8().constData());
    LabSettings s = settings_;
    s.Database = name;
    return s;
  }

 private:
  QString env_;
  LabSettings settings_;
};

Server& TheServer() {
  static Server server;
  return server;
}

ActionQueue Actions(int count) {
  ActionQueue q;
  for (int i = 1; i <= count; ++i) {
    auto a = std::make_unique<ActionRecord>();
    a->Count = (i + 1) / 2;
    a->ActionNo = i;
    a->Closed[0] = a->Closed[1] = a->Closed[2] = i % 2;
    if (i % 100 == 0) a->Marks[1] = QStringLiteral("拒分");
    q.push_back(std::move(a));
  }
  return q;
}

void BM_Upload128kActionTest(benchmark::State& state) {
  const LabSettings s = TheServer().Fresh();
  LabConnection c(s);
  EnsureLabSchema(c);
  QTemporaryDir dir;
  LabOutbox outbox(dir.filePath(QStringLiteral("LabOutbox.db")));
  TestSummary test;
  test.OpenType = QStringLiteral("ZW32-12真空断路器");
  test.Mode = 17;
  const ActionQueue actions = Actions(128000);
  const std::array<int, 5> params{300, 300, 64000, 0, 0};
  const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
  for (auto _ : state) {
    // As at a save: the record goes into the outbox ...
    outbox.Add(MakeLabRecord(s.RigName, {test, params, out, actions}, QStringLiteral("2026-12-07 09:00:00")));
    // ... and as in the uploader: out of it, to the server, committed, cleared.
    const auto next = outbox.Oldest();
    UploadTest(c, *next);
    outbox.Remove(next->TestId);
  }
  PgResult n = c.Query("SELECT count(*) FROM lab_actions");
  state.counters["actions_stored"] = QByteArray(PQgetvalue(n.get(), 0, 0)).toDouble();
}
BENCHMARK(BM_Upload128kActionTest)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 100,000 tests of 10 rigs over one year, with Chinese models and operators.
LabSettings SearchDatabase() {
  static LabSettings s = [] {
    LabSettings fresh = TheServer().Fresh();
    LabConnection c(fresh);
    EnsureLabSchema(c);
    c.Exec(
        "INSERT INTO lab_tests(test_id, rig_name, local_id, station, open_type, out_index, work_area, work_name, "
        "start_time, end_time, mode, param1, param2, param3, param4, param5, count_done, ignore_refusals, "
        "detail_name, action_count, saved_at) "
        "SELECT gen_random_uuid(), (ARRAY['一号台','二号台','三号台','四号台','五号台','六号台','七号台','八号台',"
        "'九号台','十号台'])[1 + i % 10], i / 10, 1 + i % 2, "
        "(ARRAY['ZW32-12真空断路器','VS1-12真空断路器','LW36-126六氟化硫断路器','ZN63-12户内断路器'])[1 + i % 4], "
        "'F' || i, (ARRAY['一车间','二车间','三车间'])[1 + i % 3], "
        "(ARRAY['张三','李四','王五','赵六','张三丰','刘七','陈八'])[1 + i % 7], "
        "timestamp '2026-01-01' + (i * interval '315 seconds'), timestamp '2026-01-01' + (i * interval '315 seconds') + "
        "interval '1 hour', 17, 300, 300, 5000, 0, 0, 5000, false, '', 10000, now() "
        "FROM generate_series(1, 100000) AS i");
    c.Exec("ANALYZE lab_tests");
    return fresh;
  }();
  return s;
}

void BM_LabSearch100kTests(benchmark::State& state) {
  const LabSettings s = SearchDatabase();
  LabSearchFilter f;
  f.Base.From = QDate(2026, 1, 1);
  f.Base.To = QDate(2026, 12, 31);
  switch (state.range(0)) {
    case 0:  // model part and operator, in Chinese, all rigs
      f.Base.OpenType = QStringLiteral("真空");
      f.Base.WorkName = QStringLiteral("张三");
      break;
    case 1:  // one rig, one operator, one month
      f.RigName = QStringLiteral("三号台");
      f.Base.WorkName = QStringLiteral("王五");
      f.Base.From = QDate(2026, 6, 1);
      f.Base.To = QDate(2026, 6, 30);
      break;
    default:  // no filter: the first 20,000 of the year
      break;
  }
  size_t rows = 0;
  for (auto _ : state) {
    // As the search window does it: connect, search, disconnect.
    rows = SearchLabTests(s, f).Rows.size();
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_LabSearch100kTests)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
