#pragma once
// Refusals of a run's actions counted per break, as a stored test states
// them: where an action carries the refusal check's mark, the mark; where it
// carries none (as under "忽略拒动作", when the check does not run), what the
// position rule finds. Used where the actions are still a queue (the lab
// record of a test just saved).
#include <array>

#include "core/ActionRecord.h"

namespace rig {

struct RefusalTally {
  std::array<int, kBreakCount> Closings{};  // 拒合 per break
  std::array<int, kBreakCount> Openings{};  // 拒分 per break
  int Marked = 0;         // break refusals the check marked
  int FromPositions = 0;  // break refusals only the positions show
  int Unjudged = 0;       // unmarked actions the mode does not have
};

RefusalTally TallyRefusals(int mode, const ActionQueue& actions);

}  // namespace rig
