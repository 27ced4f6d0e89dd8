// Cycle times from the actions' arrivals, and the drift warning.
#include <gtest/gtest.h>

#include "endurance/CycleTimes.h"

namespace rig {
namespace {

TEST(CycleTimes, ACycleIsMeasuredFromItsFirstActionToTheNextCyclesOnlyWhenNothingCameBetween) {
  struct Row {
    const char* name;
    // (count, ms); a negative count is the second action of its cycle; 0: a start, resume or continue
    std::vector<std::pair<int32_t, int64_t>> actions;
    std::vector<double> measured;
  } rows[] = {
      {"two actions a cycle", {{1, 0}, {-1, 500}, {2, 1000}, {-2, 1500}, {3, 2100}}, {1000, 1100}},
      {"a resume repeats the cycle under way from its first action",
       {{1, 0}, {2, 1000}, {0, 0}, {2, 5000}, {-2, 5400}, {3, 6000}}, {1000, 1000}},
      {"a continue goes on in the middle of a cycle", {{5, 0}, {-5, 400}, {0, 0}, {-5, 90000}, {6, 91000}, {7, 92000}},
       {1000}},
      {"counts lost on the line are not a cycle", {{1, 0}, {3, 2000}, {4, 3000}}, {1000}},
      {"a clock set back measures nothing", {{1, 1000}, {2, 500}, {3, 1500}}, {1000}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TCycleClock clock;
    std::vector<double> measured;
    for (auto [count, ms] : r.actions) {
      if (count == 0) clock.Break();
      else if (std::optional<double> t = clock.Action(std::abs(count), count > 0, ms)) measured.push_back(*t);
    }
    EXPECT_EQ(measured, r.measured);
  }
}

CycleStats Block(double mean, int64_t cycles) {
  CycleStats s;
  for (int64_t i = 0; i < cycles; ++i) s.Add(mean);
  return s;
}

TEST(CycleTimes, ABlockSlowerThanTheFirstPastTheLimitWarns) {
  struct Row {
    const char* name;
    std::vector<CycleStats> blocks;
    const char16_t* warning;
  } rows[] = {
      {"within", {Block(1000, 20), Block(1090, 20)}, u""},
      {"past", {Block(1000, 20), Block(1150, 20)}, u"第2段平均循环时间比第1段长15%（限值10%）"},
      {"the latest block with enough cycles", {Block(1000, 20), Block(1200, 20), Block(1000, 5)},
       u"第2段平均循环时间比第1段长20%（限值10%）"},
      {"the latest block back within", {Block(1000, 20), Block(1200, 20), Block(1050, 20)}, u""},
      {"block 1 too short to compare", {Block(1000, 5), Block(2000, 20)}, u""},
      {"faster is no warning", {Block(1000, 20), Block(500, 20)}, u""},
  };
  for (const Row& r : rows) EXPECT_EQ(DriftWarning(r.blocks, 0.10), QString::fromUtf16(r.warning)) << r.name;

  CycleStats s;
  for (double ms : {1000.0, 1100.0, 1300.0}) s.Add(ms);
  EXPECT_NEAR(s.MeanMs, 1133.33, 0.01);
  EXPECT_NEAR(s.SpreadMs(), 152.75, 0.01);
  EXPECT_EQ(s.SlowestMs, 1300);
  EXPECT_EQ(CycleStatsText(s), QStringLiteral("平均 1.13 s，离散 0.15 s，最慢 1.30 s（3个循环）"));
}

}  // namespace
}  // namespace rig
