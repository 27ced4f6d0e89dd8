#include "testing/RefusalCheck.h"

#include "testing/TestModes.h"

namespace rig {
namespace {

constexpr ContactState kOpen = ContactState::Open;
constexpr ContactState kClosed = ContactState::Closed;

}  // namespace

std::optional<ActionExpectation> ExpectedAfterAction(int mode, int32_t actionNo, int32_t countDone,
                                                     int32_t finalCount) {
  const bool odd = actionNo % 2 != 0;
  // The action that ends a cycle: buttons only while cycles remain.
  const bool cyclesLeft = countDone != finalCount;
  switch (mode) {
    case kSingleClose: return ActionExpectation{kClosed, false};
    case kSingleOpen: return ActionExpectation{kOpen, false};
    case kCloseOpen:
      if (actionNo == 1) return ActionExpectation{kClosed, true};
      if (actionNo == 2) return ActionExpectation{kOpen, false};
      return std::nullopt;
    case kOpenClose:
      if (actionNo == 1) return ActionExpectation{kOpen, true};
      if (actionNo == 2) return ActionExpectation{kClosed, false};
      return std::nullopt;
    case kOpenCloseOpen:
      if (actionNo == 1) return ActionExpectation{kOpen, true};
      if (actionNo == 2) return ActionExpectation{kClosed, true};
      if (actionNo == 3) return ActionExpectation{kOpen, false};
      return std::nullopt;
    case kLifeOpenThenClose:
    case kLifeOpenClose:
      return odd ? ActionExpectation{kOpen, true} : ActionExpectation{kClosed, cyclesLeft};
    case kLifeCloseOpen:
      return odd ? ActionExpectation{kClosed, true} : ActionExpectation{kOpen, cyclesLeft};
    case kLifeOpenCloseOpen:
      switch (((actionNo % 4) + 4) % 4) {
        case 1: return ActionExpectation{kOpen, true};
        case 2: return ActionExpectation{kClosed, true};
        case 3: return ActionExpectation{kOpen, true};
        default: return ActionExpectation{kClosed, cyclesLeft};
      }
  }
  return std::nullopt;
}

RefusalMarks MarksFor(ContactState expected, const BreakPositions& breaks) {
  RefusalMarks marks;
  const QString refused = expected == kClosed ? QStringLiteral("拒合") : QStringLiteral("拒分");
  for (int b = 0; b < kBreakCount; ++b)
    if (breaks[b] != expected) marks[b] = refused;
  return marks;
}

BreakPositions BreaksFromBits(uint8_t bits) {
  BreakPositions breaks;
  for (int b = 0; b < kBreakCount; ++b) breaks[b] = (bits >> (2 * b)) & 1 ? kClosed : kOpen;
  return breaks;
}

}  // namespace rig
