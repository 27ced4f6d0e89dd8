#pragma once
// The one rule that says whether an action left a break where it should be:
// the position the mode expects after the action, held against the break
// positions the controller reported. The refusal check of a running test
// marks what this finds; reports, exports and the lab record apply it to
// stored actions, whichever refusal option the test ran with.
//
//   const auto found = JudgeAction(mode, actionNo, positions);
//   if (!found) ...          // the mode has no such action: not judged
//   (*found)[kBreakB1] == Deviation::RefusedClose   // B1 stayed open: 拒合
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "core/ActionRecord.h"
#include "core/StationState.h"

namespace rig {

using BreakPositions = std::array<ContactState, kBreakCount>;  // A1, B1, C1

enum class Deviation : uint8_t {
  None,          // the break is where the mode wants it
  RefusedClose,  // closed was expected, the break is open: 拒合
  RefusedOpen,   // open was expected, the break is closed: 拒分
};
using BreakDeviations = std::array<Deviation, kBreakCount>;

// The position every break should have after action `actionNo` of `mode`,
// counted from 1 since the run started, continued or resumed (ActionNo, the
// stored CZDealTimes). Nothing for an action an operation test does not
// have, or for a code that is not a mode.
std::optional<ContactState> ExpectedPosition(int mode, int32_t actionNo);

// Per break, how `positions` deviate from `expected`.
BreakDeviations Deviations(ContactState expected, const BreakPositions& positions);

// Both in one: nothing when the action cannot be judged (see ExpectedPosition).
std::optional<BreakDeviations> JudgeAction(int mode, int32_t actionNo, const BreakPositions& positions);

// "拒合", "拒分", or empty for Deviation::None.
QString DeviationText(Deviation d);

// The actions of one run of an operation test, and of one cycle of a life
// test (the run's actions repeat with this period); 0 for a code that is
// not a mode.
int ActionsPerRun(int mode);

}  // namespace rig
