#include "testing/RefusalCheck.h"

#include "testing/TestModes.h"

namespace rig {

std::optional<ActionExpectation> ExpectedAfterAction(int mode, int32_t actionNo, int32_t countDone,
                                                     int32_t finalCount) {
  const std::optional<ContactState> expected = ExpectedPosition(mode, actionNo);
  if (!expected) return std::nullopt;
  const int perRun = ActionsPerRun(mode);
  if (!IsLifeMode(mode)) {
    // Buttons after every step but the last of the sequence.
    return ActionExpectation{*expected, perRun > 1 && actionNo < perRun};
  }
  // The action that ends a cycle: buttons only while cycles remain.
  const bool endsCycle = ((int64_t{actionNo} % perRun) + perRun) % perRun == 0;
  return ActionExpectation{*expected, !endsCycle || countDone != finalCount};
}

RefusalMarks MarksFor(ContactState expected, const BreakPositions& breaks) {
  RefusalMarks marks;
  const BreakDeviations found = Deviations(expected, breaks);
  for (int b = 0; b < kBreakCount; ++b) marks[b] = DeviationText(found[b]);
  return marks;
}

BreakPositions BreaksFromBits(uint8_t bits) {
  BreakPositions breaks;
  for (int b = 0; b < kBreakCount; ++b) breaks[b] = (bits >> (2 * b)) & 1 ? ContactState::Closed : ContactState::Open;
  return breaks;
}

}  // namespace rig
