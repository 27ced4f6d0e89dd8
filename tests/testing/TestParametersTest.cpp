#include "testing/TestParameters.h"

#include <gtest/gtest.h>

#include <set>

#include "testing/TestModes.h"

namespace rig {
namespace {

using R = ParameterRange;

TEST(TestParameters, RangesGiveTheirHintAndMessage) {
  struct {
    R range;
    const char* hint;
    const char* message;
  } cases[] = {
      {R::Duration, "[1,30000]", "只能输入1-30000的数字"},
      {R::DelayMs, "[1,200000]", "只能输入1-200000的数字"},
      {R::DelaySeconds, "[1,3000]", "只能输入1-3000的数字"},
      {R::SetCount, "[1,32000]", "只能输入1-32000的数字"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RangeHint(c.range), QString::fromUtf8(c.hint));
    EXPECT_EQ(RangeMessage(c.range), QString::fromUtf8(c.message));
  }
}

TEST(TestParameters, ExitCheckAcceptsTheBoundsAndRefusesJustOutside) {
  struct {
    R range;
    const char* text;
    ExitCheckResult expected;
  } cases[] = {
      {R::DelayMs, "0", ExitCheckResult::OutOfRange},
      {R::DelayMs, "1", ExitCheckResult::Accepted},
      {R::DelayMs, "200000", ExitCheckResult::Accepted},
      {R::DelayMs, "200001", ExitCheckResult::OutOfRange},
      {R::Duration, "30000", ExitCheckResult::Accepted},
      {R::Duration, "30001", ExitCheckResult::OutOfRange},
      {R::DelaySeconds, "3000", ExitCheckResult::Accepted},
      {R::DelaySeconds, "3001", ExitCheckResult::OutOfRange},
      {R::SetCount, "32000", ExitCheckResult::Accepted},
      {R::SetCount, "32001", ExitCheckResult::OutOfRange},
      {R::SetCount, "-5", ExitCheckResult::OutOfRange},
      {R::SetCount, "007", ExitCheckResult::Accepted},
      // Empty or beyond 32 bits: silently left alone.
      {R::Duration, "", ExitCheckResult::NotANumber},
      {R::Duration, "2147483647", ExitCheckResult::OutOfRange},
      {R::Duration, "2147483648", ExitCheckResult::NotANumber},
      {R::Duration, "99999999999999999999", ExitCheckResult::NotANumber},
      {R::Duration, "12a", ExitCheckResult::NotANumber},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CheckParameterText(QString::fromUtf8(c.text), c.range), c.expected);
  }
}

// Spot checks against the parameter table: station 2's edits follow payload
// order while station 1's do not, so a slip here would swap two values on
// the wire.
TEST(TestParameters, EditsInitialTextsAndRangesFollowThePayloadOrder) {
  struct {
    int number;
    int mode;
    int edit1;
    int edit2;
    R range;
    const char* initial;
    bool showsHint;
  } cases[] = {
      {1, 1, 5, 29, R::Duration, "300", true},     {5, 5, 9, 33, R::DelayMs, "300", true},
      {6, 5, 11, 34, R::DelayMs, "300", true},     {7, 17, 10, 35, R::DelaySeconds, "10", true},
      {8, 17, 17, 36, R::DelaySeconds, "10", true}, {9, 17, 18, 37, R::SetCount, "500", false},
      {12, 18, 14, 40, R::SetCount, "500", false},  {15, 19, 19, 43, R::SetCount, "500", true},
      {16, 20, 20, 44, R::DelayMs, "300", true},    {20, 20, 24, 48, R::SetCount, "500", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    const ParameterDef* d = FindParameter(c.number);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Mode, c.mode);
    EXPECT_EQ(d->EditNumber[0], c.edit1);
    EXPECT_EQ(d->EditNumber[1], c.edit2);
    EXPECT_EQ(d->Range, c.range);
    EXPECT_STREQ(d->Initial, c.initial);
    EXPECT_EQ(d->ShowsHint, c.showsHint);
  }
  EXPECT_EQ(FindParameter(0), nullptr);
  EXPECT_EQ(FindParameter(21), nullptr);
}

TEST(TestParameters, EveryEditOfBothStationsHoldsExactlyOneParameter) {
  std::set<int> edits[2];
  for (const ParameterDef& d : Parameters()) {
    EXPECT_EQ(d.Number, int(&d - Parameters().data()) + 1);
    for (int s = 0; s < 2; ++s) EXPECT_TRUE(edits[s].insert(d.EditNumber[s]).second) << d.Number;
  }
  EXPECT_EQ(*edits[0].begin(), 5);
  EXPECT_EQ(*edits[0].rbegin(), 24);
  EXPECT_EQ(*edits[1].begin(), 29);
  EXPECT_EQ(*edits[1].rbegin(), 48);
  // Each life mode's set count is one of its own parameters.
  for (const TestModeInfo& m : TestModes())
    if (m.Life) {
      EXPECT_EQ(FindParameter(m.SetCountParameter)->Mode, m.Code);
    }
}

}  // namespace
}  // namespace rig
