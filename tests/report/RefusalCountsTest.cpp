// CountSavedRefusals reads a detail file in one pass for the switch history;
// it must count exactly what the report counts from the loaded test
// (ComputeRefusalStats over LoadSavedTest), whatever the stored rows hold.
#include <gtest/gtest.h>

#include <random>

#include "report/RefusalStats.h"
#include "report/SavedTest.h"
#include "storage/SavedTestsFixture.h"

namespace rig {
namespace {

TEST(RefusalCounts, AgreeWithTheReportsCountsOverRandomDetailFiles) {
  rigtest::SavedTestsFolder f;
  std::mt19937 random(20261208);
  auto pick = [&](const std::vector<QString>& from) { return from[random() % from.size()]; };
  const std::vector<QString> positions = {"0", "1", "1", " 1", "1.0", "", "2"};
  const std::vector<QString> marks = {"", "", "", "", QStringLiteral("拒合"), QStringLiteral("拒分"),
                                      QStringLiteral(" 拒合 "), QStringLiteral("卡滞")};
  const int modes[] = {1, 2, 3, 4, 5, 17, 18, 19, 20, 99};
  for (int round = 0; round < 40; ++round) {
    const int mode = modes[round % std::size(modes)];
    std::vector<rigtest::SavedTestsFolder::Row> rows;
    const int actions = static_cast<int>(random() % 300);
    for (int n = 0; n < actions; ++n) {
      rigtest::SavedTestsFolder::Row r;
      r.DealTimes = QString::number(n / 2);
      r.CZDealTimes = QString::number(static_cast<int>(random() % 14) - 2);
      for (int b = 0; b < 3; ++b) {
        r.State[b] = pick(positions);
        r.Mark[b] = pick(marks);
      }
      rows.push_back(r);
    }
    const QString detail = f.AddDetail(QStringLiteral("d%1.db").arg(round), rows);
    const QString id = QString::number(f.AddTest("F1", "ZW32-12", "2026-12-01 08:00:00", mode, detail, actions / 2));
    SCOPED_TRACE("round " + std::to_string(round) + ", mode " + std::to_string(mode));

    const RefusalStats want = ComputeRefusalStats(LoadSavedTest(f.Exe(), id));
    const RefusalCounts got = CountSavedRefusals(f.Exe(), id);
    EXPECT_EQ(got.Actions, want.Actions);
    EXPECT_EQ(got.UnjudgedActions, want.UnjudgedActions);
    for (int b = 0; b < 3; ++b) {
      EXPECT_EQ(got.Closings[b], want.Breaks[b].Closings) << "break " << b;
      EXPECT_EQ(got.Openings[b], want.Breaks[b].Openings) << "break " << b;
      EXPECT_EQ(got.Others[b], want.Breaks[b].Others) << "break " << b;
    }
  }
}

}  // namespace
}  // namespace rig
