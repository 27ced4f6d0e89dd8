#pragma once
// The figures a report states about refusals: per break, per block of
// counts, and the refused actions themselves. A refusal is what the
// position rule finds on a stored action (SavedAction::Found), whether the
// refusal check marked it during the test or, under "忽略拒动作", only the
// stored break positions show it.
#include <QStringList>
#include <array>
#include <vector>

#include "report/SavedTest.h"

namespace rig {

// Mechanical-endurance classes are counted in blocks of this many counts.
constexpr int kBlockSize = 2000;

struct BreakRefusals {
  int Closings = 0;      // "拒合" on this break
  int Openings = 0;      // "拒分"
  int Others = 0;        // any other stored mark
  int FirstCount = -1;   // count of the first refusal on this break; -1: none
};

struct CountBlock {
  int FirstCount = 0, LastCount = 0;  // counts covered, inclusive
  int Actions = 0;
  int RefusedClosings = 0;  // break refusals ("拒合") in the block
  int RefusedOpenings = 0;  // break refusals ("拒分")
  int RefusedActions = 0;   // actions with at least one refusal
};

struct RefusalStats {
  int Actions = 0;
  int MaxCount = 0;
  int EndCount = 0;             // where the test ended: the highest count stored or saved
  int RefusedActions = 0;
  int MarkedRefusals = 0;       // break refusals the refusal check marked
  int PositionRefusals = 0;     // break refusals found from positions alone
  int UnjudgedActions = 0;      // actions the mode does not have, so not judged
  int FirstRefusalCount = -1;   // -1: none
  int FirstRefusalAction = -1;  // its action number
  std::array<BreakRefusals, 3> Breaks;  // A1, B1, C1
  // Life tests only: from count 1 to EndCount, the last block ending there.
  std::vector<CountBlock> Blocks;
  std::vector<const SavedAction*> Refused;  // in stored order; point into the test's actions
};

// Counts of 0 or below fall into the first block.
RefusalStats ComputeRefusalStats(const SavedTest& test, int blockSize = kBlockSize);

// What the refusal figures rest on, in words: the refusal option, how the
// refusals were found (marked by the refusal check or judged from the
// stored positions), for the report and the exports' summary.
QStringList JudgementTexts(const SavedTest& test, const RefusalStats& stats);

}  // namespace rig
