// What the recovery journal costs: the window thread's Append, how long an
// action waits before a kill or a power cut can no longer lose it, the
// sustained rate with durability on, and reading a long run back at start-up.
//
//   build/bin/JournalBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "storage/JournalFormat.h"
#include "storage/RecoveryJournal.h"

using namespace rig;
using Clock = std::chrono::steady_clock;

namespace {

const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 0, 0));

TestSummary Run() {
  TestSummary run;
  run.OpenType = QStringLiteral("ZW32-12");
  run.OutIndex = QStringLiteral("F07");
  run.WorkArea = QStringLiteral("一号台");
  run.WorkName = QStringLiteral("张三");
  run.StartTime = kStart;
  run.Mode = 17;
  for (int n = 1; n <= 20; ++n) run.ParamTexts[n - 1] = QString::number(n * 10);
  return run;
}

// A life-test action; one in ten carries a refusal mark.
ActionRecord Action(int i) {
  ActionRecord a;
  a.Count = i;
  a.ActionNo = i;
  a.Closed[0] = a.Closed[1] = a.Closed[2] = i & 1;
  if (i % 10 == 0) a.Marks[kBreakB1] = QStringLiteral("拒合");
  return a;
}

double Percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  const size_t k = std::min(v.size() - 1, static_cast<size_t>(p * double(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
  return v[k];
}

void ReportLatency(benchmark::State& state, std::vector<double>& us) {
  state.counters["p50_us"] = Percentile(us, 0.50);
  state.counters["p99_us"] = Percentile(us, 0.99);
  state.counters["max_us"] = us.empty() ? 0 : *std::max_element(us.begin(), us.end());
}

}  // namespace

// The window thread's cost of one Append while the writer and the sync thread
// are busy with the records before it.
static void BM_AppendOnWindowThread(benchmark::State& state) {
  QTemporaryDir dir;
  JournalOptions options;
  options.Durable = state.range(0) != 0;
  RecoveryJournal j(dir.path() + '/', 1, options);
  j.BeginRun(Run());
  j.Flush(10000);
  std::vector<double> us;
  us.reserve(1 << 20);
  int i = 0;
  for (auto _ : state) {
    const ActionRecord a = Action(++i);
    const QDateTime when = kStart.addMSecs(i);
    const auto t0 = Clock::now();
    j.Append(a, when);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
    // Keep the queue short, as at the rig's pace; not timed.
    if (i % 1024 == 0) j.Flush(10000);
  }
  ReportLatency(state, us);
  state.counters["trouble"] = j.Status().Trouble;
}
BENCHMARK(BM_AppendOnWindowThread)->Arg(1)->Arg(0)->ArgName("durable")->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same at the rig's pace: every action finds the journal idle and wakes
// its writer (one action per status frame, at most one per 20 ms poll).
static void BM_AppendAtRigPace(benchmark::State& state) {
  QTemporaryDir dir;
  RecoveryJournal j(dir.path() + '/', 1);
  j.BeginRun(Run());
  std::vector<double> us;
  int i = 0;
  for (auto _ : state) {
    j.Flush(10000);  // not timed
    const ActionRecord a = Action(++i);
    const QDateTime when = kStart.addMSecs(i);
    const auto t0 = Clock::now();
    j.Append(a, when);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  ReportLatency(state, us);
}
BENCHMARK(BM_AppendAtRigPace)->UseManualTime()->Unit(benchmark::kMicrosecond);

// For comparison: what the window thread already does per action, queue the
// record for the save, timed the same way on the same machine.
static void BM_QueueForSaveOnly(benchmark::State& state) {
  ActionQueue queue;
  std::vector<double> us;
  us.reserve(1 << 20);
  int i = 0;
  for (auto _ : state) {
    const ActionRecord a = Action(++i);
    const auto t0 = Clock::now();
    queue.push_back(std::make_unique<ActionRecord>(a));
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
    if (queue.size() > 128000) queue.clear();
  }
  ReportLatency(state, us);
}
BENCHMARK(BM_QueueForSaveOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);

// From Append until the record is in the file: what a killed program can lose.
static void BM_AppendUntilWritten(benchmark::State& state) {
  QTemporaryDir dir;
  RecoveryJournal j(dir.path() + '/', 1);
  j.BeginRun(Run());
  j.Flush(10000);
  std::vector<double> us;
  int i = 0;
  for (auto _ : state) {
    ++i;
    const auto t0 = Clock::now();
    j.Append(Action(i), kStart.addMSecs(i));
    const uint64_t target = j.Status().Queued;
    while (j.Status().Written < target) std::this_thread::yield();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  ReportLatency(state, us);
}
BENCHMARK(BM_AppendUntilWritten)->UseManualTime()->Unit(benchmark::kMicrosecond);

// From Append until the record is synced to the disk: what a power cut can lose.
static void BM_AppendUntilSynced(benchmark::State& state) {
  QTemporaryDir dir;
  RecoveryJournal j(dir.path() + '/', 1);
  j.BeginRun(Run());
  j.Flush(10000);
  std::vector<double> us;
  int i = 0;
  for (auto _ : state) {
    ++i;
    const auto t0 = Clock::now();
    j.Append(Action(i), kStart.addMSecs(i));
    j.Flush(10000);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  ReportLatency(state, us);
}
BENCHMARK(BM_AppendUntilSynced)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Records handed over as fast as the caller can and all of them on disk:
// the rate group commit sustains.
static void BM_SustainedRate(benchmark::State& state) {
  QTemporaryDir dir;
  JournalOptions options;
  options.Durable = state.range(0) != 0;
  RecoveryJournal j(dir.path() + '/', 1, options);
  constexpr int kBurst = 10000;
  int i = 0;
  for (auto _ : state) {
    j.BeginRun(Run());
    for (int n = 0; n < kBurst; ++n, ++i) j.Append(Action(i), kStart.addMSecs(i));
    if (!j.Flush(60000)) state.SkipWithError("not flushed");
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
  state.counters["trouble"] = j.Status().Trouble;
}
BENCHMARK(BM_SustainedRate)->Arg(1)->Arg(0)->ArgName("durable")->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading back a 128,000-action run at start-up.
static void BM_ScanLongRun(benchmark::State& state) {
  JournalEncoder enc(7);
  QByteArray bytes = enc.FileHeader();
  enc.AppendSummary(bytes, Run());
  for (int i = 1; i <= 128000; ++i) enc.AppendAction(bytes, Action(i), kStart.addMSecs(i * 1000LL));
  for (auto _ : state) {
    int64_t n = 0;
    const JournalScan scan = ScanJournal(bytes, [&](ActionRecord&&, const QDateTime&) { ++n; });
    benchmark::DoNotOptimize(n);
    if (scan.ActionCount != 128000) state.SkipWithError("short read");
  }
  state.counters["file_MB"] = double(bytes.size()) / (1 << 20);
  state.SetItemsProcessed(state.iterations() * 128000);
}
BENCHMARK(BM_ScanLongRun)->Unit(benchmark::kMillisecond);
