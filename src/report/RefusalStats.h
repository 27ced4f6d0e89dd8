#pragma once
// The figures a report states about refusals: per break, per block of
// operations along the count axis, and the refused actions themselves.
#include <array>
#include <vector>

#include "report/SavedTest.h"

namespace rig {

// Mechanical-endurance classes are counted in blocks of this many operations.
constexpr int kBlockSize = 2000;

struct BreakRefusals {
  int Closings = 0;      // actions marked "拒合" on this break
  int Openings = 0;      // actions marked "拒分"
  int Others = 0;        // any other mark
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
  int RefusedActions = 0;
  int FirstRefusalCount = -1;   // -1: none
  int FirstRefusalAction = -1;  // its action number
  std::array<BreakRefusals, 3> Breaks;  // A1, B1, C1
  std::vector<CountBlock> Blocks;       // from count 1 to the highest count, none empty-ended
  std::vector<const SavedAction*> Refused;  // in stored order; point into the test's actions
};

// Counts of 0 or below fall into the first block.
RefusalStats ComputeRefusalStats(const std::vector<SavedAction>& actions, int blockSize = kBlockSize);

}  // namespace rig
