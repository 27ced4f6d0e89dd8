// How long a saved test stays in its station's recovery journal after its
// summary row is committed (a kill then leaves a journal of a test that is
// saved already; the next start knows it from the saved-as record and only
// removes it), and what writing and syncing that record adds to a save.
// With and without the lab outbox, which is written inside that window.
//
//   build/bin/SaveWindowBench [--benchmark_filter=...]
// Runs in the system's temporary folder; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

#include "lab/LabOutbox.h"
#include "lab/LabRecord.h"
#include "BenchLifeTest.h"
#include "storage/RecordStore.h"
#include "storage/RecoveryJournal.h"
#include "storage/Schema.h"

using namespace rig;
using Clock = std::chrono::steady_clock;

namespace {

const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 0, 0));

TestSummary LifeTest(int actions) { return rigbench::BenchLifeTest(actions); }

ActionRecord Action(int i) { return rigbench::BenchAction(i); }

// Notes when the summary row is committed, and writes the lab outbox as the
// program's sink does when the lab database is set up.
struct CommitClock : ISavedTestSink {
  bool outbox = false;
  Clock::time_point committed;
  void TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept override {
    committed = Clock::now();
    if (!outbox) return;
    try {
      lab::LabOutbox(lab::LabOutbox::PathIn(exeDir))
          .Add(lab::MakeLabRecord(QStringLiteral("rig1"), saved, QStringLiteral("2026-12-07 10:00:00")));
    } catch (...) {
    }
  }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

// One station save as the save button makes it: the saved-as record, the
// commit, the sink, then the journal's removal.
static void BM_CommitToJournalRemoved(benchmark::State& state) {
  const int actions = static_cast<int>(state.range(0));
  CommitClock clock;
  clock.outbox = state.range(1) != 0;
  SetSavedTestSink(&clock);
  double markMs = 0, windowMs = 0, maxWindowMs = 0;
  for (auto _ : state) {
    QTemporaryDir dir;
    const QString exe = dir.path() + QLatin1Char('/');
    EnsureTable((exe + "SaveData.db").toUtf8(), "TestInfo");
    EnsureTable((exe + "SpaceData.db").toUtf8(), "ControlState");
    RecoveryJournal journal(exe, 1);
    journal.BeginRun(LifeTest(actions));
    ActionQueue queue;
    for (int i = 1; i <= actions; ++i) {
      journal.Append(Action(i), kStart.addSecs(i));
      queue.push_back(std::make_unique<ActionRecord>(Action(i)));
    }
    journal.Flush(60000);  // as at the rig's pace: the actions are on the disk long before the save

    Clock::time_point marked0, marked1;
    const SaveOutcome out = WriteTestRecord(exe, LifeTest(actions), queue, kStart, [&](const QByteArray& key) {
      marked0 = Clock::now();
      journal.MarkSaving(key);
      marked1 = Clock::now();
    });
    journal.Clear();
    journal.Flush(60000);
    const Clock::time_point removed = Clock::now();
    if (!out.Ok || QFile::exists(journal.FilePath())) {
      state.SkipWithError("not saved, or the journal is still there");
      break;
    }
    const double window = Ms(removed - clock.committed);
    state.SetIterationTime(window / 1000);
    windowMs += window;
    maxWindowMs = std::max(maxWindowMs, window);
    markMs += Ms(marked1 - marked0);
  }
  SetSavedTestSink(nullptr);
  const double n = static_cast<double>(state.iterations());
  state.counters["window_ms"] = windowMs / n;
  state.counters["window_max_ms"] = maxWindowMs;
  state.counters["saved_as_ms"] = markMs / n;
}
BENCHMARK(BM_CommitToJournalRemoved)
    ->Args({12000, 0})
    ->Args({12000, 1})
    ->Args({40000, 0})
    ->Args({40000, 1})
    ->ArgNames({"actions", "outbox"})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
