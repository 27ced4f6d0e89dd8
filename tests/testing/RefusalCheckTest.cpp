#include "testing/RefusalCheck.h"

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

namespace rig {
namespace {

constexpr ContactState O = ContactState::Open;
constexpr ContactState C = ContactState::Closed;

// Every row of the expectation table, with the action numbers an operation
// test does not have and codes that are not modes.
TEST(RefusalCheck, ExpectationTable) {
  struct Row {
    int mode;
    int32_t actionNo, countDone, finalCount;
    bool known;
    ContactState expected;
    bool enabled;
  };
  const Row rows[] = {
      // operation tests
      {1, 1, 1, 0, true, C, false}, {1, 2, 1, 0, true, C, false}, {1, 7, 1, 0, true, C, false},
      {2, 1, 1, 0, true, O, false}, {2, 4, 1, 0, true, O, false},
      {3, 1, 1, 0, true, C, true}, {3, 2, 1, 0, true, O, false}, {3, 3, 1, 0, false, O, false},
      {4, 1, 1, 0, true, O, true}, {4, 2, 1, 0, true, C, false}, {4, 3, 1, 0, false, O, false},
      {5, 1, 1, 0, true, O, true}, {5, 2, 1, 0, true, C, true}, {5, 3, 1, 0, true, O, false},
      {5, 4, 1, 0, false, O, false},
      // life tests: odd actions always offer the buttons, the closing action
      // of a cycle only while the count has not reached the final count
      {17, 1, 5, 5, true, O, true}, {17, 3, 2, 5, true, O, true},
      {17, 2, 1, 5, true, C, true}, {17, 10, 5, 5, true, C, false},
      {17, 2, 0, 0, true, C, false}, {17, 2, 1, 0, true, C, true},
      {18, 1, 5, 5, true, C, true}, {18, 2, 4, 5, true, O, true}, {18, 10, 5, 5, true, O, false},
      {19, 1, 5, 5, true, O, true}, {19, 2, 4, 5, true, C, true}, {19, 10, 5, 5, true, C, false},
      {20, 1, 2, 2, true, O, true}, {20, 2, 2, 2, true, C, true}, {20, 3, 2, 2, true, O, true},
      {20, 4, 1, 2, true, C, true}, {20, 8, 2, 2, true, C, false}, {20, 5, 2, 2, true, O, true},
      // not modes
      {0, 1, 0, 0, false, O, false}, {6, 1, 0, 0, false, O, false}, {16, 2, 0, 0, false, O, false},
      {21, 1, 0, 0, false, O, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "mode " << r.mode << " action " << r.actionNo << " count " << r.countDone
                                    << "/" << r.finalCount);
    const std::optional<ActionExpectation> e = ExpectedAfterAction(r.mode, r.actionNo, r.countDone, r.finalCount);
    ASSERT_EQ(e.has_value(), r.known);
    if (!e) continue;
    EXPECT_EQ(e->Expected, r.expected);
    EXPECT_EQ(e->ButtonsEnabled, r.enabled);
  }
}

TEST(RefusalCheck, MarksNameEveryBreakNotWhereExpected) {
  const QString none, refusedClose = QStringLiteral("拒合"), refusedOpen = QStringLiteral("拒分");
  EXPECT_EQ(MarksFor(C, {C, C, O}), (RefusalMarks{none, none, refusedClose}));
  EXPECT_EQ(MarksFor(C, {O, O, O}), (RefusalMarks{refusedClose, refusedClose, refusedClose}));
  EXPECT_EQ(MarksFor(O, {O, C, O}), (RefusalMarks{none, refusedOpen, none}));
  EXPECT_EQ(MarksFor(O, {O, O, O}), (RefusalMarks{none, none, none}));
}

TEST(RefusalCheck, BreakBitsAreZeroTwoAndFour) {
  const struct {
    uint8_t bits;
    BreakPositions breaks;
  } cases[] = {
      {0x05, {C, C, O}}, {0xEA, {O, O, O}}, {0x15, {C, C, C}}, {0x10, {O, O, C}}, {0xFF, {C, C, C}}, {0x00, {O, O, O}},
  };
  for (const auto& c : cases) EXPECT_EQ(BreaksFromBits(c.bits), c.breaks) << int(c.bits);
}

}  // namespace
}  // namespace rig
