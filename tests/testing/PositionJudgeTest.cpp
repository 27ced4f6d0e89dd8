#include "testing/PositionJudge.h"

#include <gtest/gtest.h>

#include "testing/RefusalCheck.h"
#include "testing/RefusalTally.h"

#include <tuple>
#include <vector>

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

namespace rig {
namespace {

std::unique_ptr<ActionRecord> Action(int32_t no, std::array<uint8_t, 3> closed, std::array<const char16_t*, 3> marks) {
  auto a = std::make_unique<ActionRecord>();
  a->Count = (no + 1) / 2;
  a->ActionNo = no;
  for (int b = 0; b < kBreakCount; ++b) {
    a->Closed[b] = closed[b];
    a->Marks[b] = QString::fromUtf16(marks[b]);
  }
  return a;
}

// A queue's refusals per break: the check's marks where there are any, the
// position rule elsewhere; unmarked actions the mode lacks are not judged.
TEST(RefusalTally, MarksWhereMarkedPositionsElsewhere) {
  const struct {
    const char* name;
    int mode;
    std::vector<std::tuple<int32_t, std::array<uint8_t, 3>, std::array<const char16_t*, 3>>> actions;
    std::array<int, 3> closings, openings;
    int marked, fromPositions, unjudged;
  } rows[] = {
      {"ignored: positions alone", 17,
       {{1, {0, 0, 0}, {u"", u"", u""}}, {2, {1, 0, 1}, {u"", u"", u""}}, {3, {0, 1, 0}, {u"", u"", u""}}},
       {0, 1, 0}, {0, 1, 0}, 0, 2, 0},
      {"checked: marks agree with positions", 18,
       {{1, {1, 1, 0}, {u"", u"", u"拒合"}}, {2, {0, 0, 0}, {u"", u"", u""}}},
       {0, 0, 1}, {0, 0, 0}, 1, 0, 0},
      {"operation test: a fourth action is not judged", 5,
       {{1, {0, 0, 0}, {u"", u"", u""}}, {4, {1, 1, 1}, {u"", u"", u""}}, {5, {1, 0, 0}, {u"拒分", u"", u""}}},
       {0, 0, 0}, {1, 0, 0}, 1, 0, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ActionQueue q;
    for (const auto& [no, closed, marks] : r.actions) q.push_back(Action(no, closed, marks));
    const RefusalTally t = TallyRefusals(r.mode, q);
    EXPECT_EQ(t.Closings, r.closings);
    EXPECT_EQ(t.Openings, r.openings);
    EXPECT_EQ(t.Marked, r.marked);
    EXPECT_EQ(t.FromPositions, r.fromPositions);
    EXPECT_EQ(t.Unjudged, r.unjudged);
  }
}

}  // namespace
}  // namespace rig
