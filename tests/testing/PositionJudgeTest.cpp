#include "testing/PositionJudge.h"

#include <gtest/gtest.h>

#include "testing/RefusalCheck.h"

namespace rig {
namespace {

constexpr ContactState O = ContactState::Open;
constexpr ContactState C = ContactState::Closed;

// Each mode's actions 1..8 as the rig runs them: "C" closed, "O" open, "-"
// an action the mode does not have (not judged). Written out by hand.
TEST(PositionJudge, ExpectedPositionOfEveryModeAndAction) {
  const struct {
    int mode;
    const char* actions;  // actions 1..8
  } rows[] = {
      {1, "CCCCCCCC"}, {2, "OOOOOOOO"}, {3, "CO------"}, {4, "OC------"}, {5, "OCO-----"},
      {17, "OCOCOCOC"}, {18, "COCOCOCO"}, {19, "OCOCOCOC"}, {20, "OCOCOCOC"},
      {0, "--------"}, {6, "--------"}, {16, "--------"}, {21, "--------"},
  };
  for (const auto& r : rows) {
    for (int n = 1; n <= 8; ++n) {
      SCOPED_TRACE(testing::Message() << "mode " << r.mode << " action " << n);
      const char want = r.actions[n - 1];
      const std::optional<ContactState> got = ExpectedPosition(r.mode, n);
      ASSERT_EQ(got.has_value(), want != '-');
      if (got) EXPECT_EQ(*got, want == 'C' ? C : O);
    }
  }
  // Operation tests have no action 0; a life test's cycle runs on backwards.
  EXPECT_FALSE(ExpectedPosition(3, 0));
  EXPECT_EQ(ExpectedPosition(20, 0), C);
  EXPECT_EQ(ExpectedPosition(17, -1), O);
}

// Per break: open where closed is wanted is 拒合, closed where open is wanted
// 拒分; and the refusal check marks exactly what the rule finds, for every
// mode, action and position (one rule, not two).
TEST(PositionJudge, FindsEveryDeviationAndTheRefusalCheckMarksTheSame) {
  const struct {
    int mode, actionNo;
    BreakPositions positions;
    std::array<Deviation, 3> want;
  } rows[] = {
      {1, 1, {C, C, O}, {Deviation::None, Deviation::None, Deviation::RefusedClose}},
      {20, 3, {O, C, C}, {Deviation::None, Deviation::RefusedOpen, Deviation::RefusedOpen}},
      {18, 2, {O, O, O}, {Deviation::None, Deviation::None, Deviation::None}},
      {19, 2, {O, O, O}, {Deviation::RefusedClose, Deviation::RefusedClose, Deviation::RefusedClose}},
  };
  for (const auto& r : rows) {
    const std::optional<BreakDeviations> got = JudgeAction(r.mode, r.actionNo, r.positions);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, r.want) << "mode " << r.mode << " action " << r.actionNo;
  }
  EXPECT_FALSE(JudgeAction(4, 3, {O, O, O}));

  for (int mode : {1, 2, 3, 4, 5, 17, 18, 19, 20}) {
    for (int n = 1; n <= 8; ++n) {
      for (uint8_t bits = 0; bits <= 0x15; ++bits) {
        const BreakPositions positions = BreaksFromBits(bits);
        const std::optional<ActionExpectation> check = ExpectedAfterAction(mode, n, 5, 0);
        const std::optional<BreakDeviations> judged = JudgeAction(mode, n, positions);
        ASSERT_EQ(check.has_value(), judged.has_value());
        if (!check) continue;
        const RefusalMarks marks = MarksFor(check->Expected, positions);
        for (int b = 0; b < kBreakCount; ++b) ASSERT_EQ(marks[b], DeviationText((*judged)[b]));
      }
    }
  }
}

}  // namespace
}  // namespace rig
