#pragma once
// What must hold after the program starts on the files a power cut left.
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "FileOpLog.h"
#include "PlannedRuns.h"

namespace powercut {

// What the program had told its operator before the cut (the run's marks):
// per planned run, the actions known synced, whether the test was saved
// (and with how many actions), whether it went into the lab outbox.
struct Promises {
  std::array<int, 3> Synced{};
  std::array<int, 3> SavedActions{};  // -1: not saved
  std::array<bool, 3> InOutbox{};
  // Station 1's programme (runs 0 and 2 are its blocks 1 and 2): made; each
  // block's run stored open, its count as last stored, stored closed; block
  // 1's inspection recorded.
  bool ProgrammeMade = false;
  std::array<bool, 3> ProgrammeOpen{};
  std::array<int, 3> ProgrammeCount{};
  std::array<bool, 3> ProgrammeClosed{};
  bool Inspected = false;
  Promises() { SavedActions.fill(-1); }
  std::string Key() const;
};

// The promises made by the marks among ops[0..cut].
Promises PromisesAt(const std::vector<Op>& ops, size_t cut);

struct CheckOutcome {
  std::vector<std::string> Failures;  // each starts with its kind, e.g. "stored twice: ..."
  int StoredTests = 0;
  int RecoveredTests = 0;  // saved by the start-up's recovery
  int OrphanFiles = 0;     // detail files no summary row names (a save cut short)
};

// Starts the program's start-up on the installation folder `dir` (ending
// with a separator) as an operator who answers every recovery question with
// OK, then reads everything back and checks it against `runs` and
// `promises`: every database readable, no synced action lost, nothing stored
// that was not sent, no test stored twice, no row naming a missing detail
// file, nothing left to recover, a second start changing nothing; and the
// programme: readable, there once, no promised or synced count lost, nothing
// counted that was not sent, no run left open, the inspection kept.
CheckOutcome CheckState(const QString& dir, const std::vector<PlannedRun>& runs, const Promises& promises);

}  // namespace powercut
