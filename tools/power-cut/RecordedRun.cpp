#include "RecordedRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "OutboxSink.h"
#include "PlannedRuns.h"
#include "ProgrammeSteps.h"
#include "RunMark.h"
#include "storage/RecordStore.h"
#include "storage/RecoveryJournal.h"

namespace powercut {
namespace {

struct Station {
  rig::RecoveryJournal Journal;
  const PlannedRun* Run = nullptr;
  rig::ActionQueue Queue;
  int Appended = 0;

  Station(const QString& root, int number) : Journal(root, number) {}

  void Begin(const PlannedRun& run) {
    Run = &run;
    Appended = 0;
    Journal.BeginRun(run.Summary);
  }
  void Append() {
    if (!Run || Appended >= Run->Actions) return;
    const rig::ActionRecord a = Run->Action(Appended);
    Journal.Append(a, Run->ActionTime(Appended));
    Queue.push_back(std::make_unique<rig::ActionRecord>(a));
    ++Appended;
  }
  // What the operator's program knows once Flush returns: these are synced.
  void Flush() {
    if (Run && Journal.Flush(10000)) Mark(QStringLiteral("synced %1 %2").arg(Run->Number).arg(Appended));
  }
  // The save button: the journal is told the test's name before its row is
  // committed, and cleared once it is saved.
  bool Save(const QString& root, OutboxSink& sink) {
    const int actions = static_cast<int>(Queue.size());
    sink.added = false;
    const rig::SaveOutcome out = rig::WriteTestRecord(
        root, Run->Summary, Queue, SaveMoment(), [this](const QByteArray& key) { Journal.MarkSaving(key); });
    if (!out.Ok) {
      std::fprintf(stderr, "save of run %d failed: %s\n", Run->Number, qPrintable(out.Error));
      return false;
    }
    Mark(QStringLiteral("saved %1 %2").arg(Run->Number).arg(actions));
    if (sink.added) Mark(QStringLiteral("outbox %1").arg(Run->Number));
    Journal.Clear();
    Run = nullptr;
    return true;
  }
};

}  // namespace

int RecordRun(const QString& root, unsigned seed) {
  const std::vector<PlannedRun> runs = PlannedRuns(seed);
  OutboxSink sink;
  rig::SetSavedTestSink(&sink);
  Station one(root, 1), two(root, 2);
  const int group = 5 + static_cast<int>(seed % 7);  // actions between two waits for the disk
  // Station 1's runs are blocks of a programme, whose count is stored less
  // often than the journal syncs (as the runner stores every 1,000 actions).
  ProgrammeSteps programme(root, runs);
  const int stored = 6 * group + 1;
  auto appendOne = [&](int run) {
    const int before = one.Appended;
    one.Append();
    if (one.Appended > before) programme.Arrived(run, one.Appended, stored);
  };

  programme.Make();
  programme.Open(0);  // stored before the test's start goes out
  one.Begin(runs[0]);
  two.Begin(runs[1]);
  for (int i = 1; i <= std::max(runs[0].Actions, runs[1].Actions); ++i) {
    appendOne(0);
    two.Append();
    if (i % group == 0) {
      one.Flush();
      two.Flush();
    }
  }
  one.Flush();
  two.Flush();
  programme.Close(0);  // the controller's finish comes before the save
  bool ok = one.Save(root, sink);  // the installation's first test
  programme.Inspect();
  programme.Open(2);
  one.Begin(runs[2]);
  for (int i = 1; i <= runs[2].Actions; ++i) {
    appendOne(2);
    if (i == runs[2].Actions / 2) ok = two.Save(root, sink) && ok;  // while station 1 runs
    if (i % group == 0) one.Flush();
  }
  one.Flush();  // run 2 stays unsaved: the program is cut off with it running
  rig::SetSavedTestSink(nullptr);
  return ok ? 0 : 1;
}

}  // namespace powercut
