#pragma once
// The refusal check of a running test: the position rule of PositionJudge,
// the marks it leaves on the panel and whether the operator may continue or
// save after the action. Pure functions of the mode, the action number and
// the reported positions, so the whole table is tested without a panel.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "core/ActionRecord.h"
#include "core/StationState.h"
#include "testing/PositionJudge.h"

namespace rig {

struct ActionExpectation {
  ContactState Expected;
  // The operator may continue or save after this action (when it passed or
  // not: a refusal at a step that allows it still offers both).
  bool ButtonsEnabled;
};

// The expectation for action `actionNo` (1 for the first of a run) of
// `mode`. Life tests keep the buttons off after the closing action of the
// last cycle, when `countDone` has reached `finalCount`. Nothing for an
// action an operation test does not have, or for a code that is not a mode.
std::optional<ActionExpectation> ExpectedAfterAction(int mode, int32_t actionNo, int32_t countDone,
                                                     int32_t finalCount);

using RefusalMarks = std::array<QString, kBreakCount>;

// "拒合" on every open break when closed was expected, "拒分" on every
// closed break when open was expected; empty elsewhere.
RefusalMarks MarksFor(ContactState expected, const BreakPositions& breaks);

// Break bits of an action status: bit 0 A1, bit 2 B1, bit 4 C1; set = closed.
BreakPositions BreaksFromBits(uint8_t bits);

}  // namespace rig
