// The overview's lines: the "no word" rule at its edge, the words of each
// state and the order (stations needing attention first).
#include <gtest/gtest.h>

#include "lab/LabOverview.h"

using namespace rig::lab;

namespace {

OverviewRow Row(const QString& rig, int station, int64_t age, const QString& run = "running",
                const QString& link = "connected") {
  OverviewRow r;
  r.RigName = rig;
  r.Station = station;
  r.AgeSeconds = age;
  r.RunState = run;
  r.Link = link;
  return r;
}

}  // namespace

TEST(LabOverview, LinesSayStateAndSilenceAndPutTroubleFirst) {
  OverviewRow counting = Row("一号台", 2, 5);
  counting.CountDone = 1500, counting.CountSet = 2000, counting.SecondsLeft = 3 * 3600 + 5 * 60, counting.Refusals = 2;
  counting.LastKind = "refusal", counting.LastAt = QDateTime(QDate(2026, 12, 7), QTime(18, 31)),
  counting.LastDetail = "B1拒合（第1499次）";
  OverviewRow silent = Row("三号台", 1, 30);
  silent.SilentSeconds = 75;
  const std::vector<OverviewRow> rows = {
      counting,
      Row("一号台", 1, 119, "idle", "closed"),  // a second short of the rule
      Row("二号台", 1, 120, "running"),         // at the rule: no word
      Row("二号台", 2, 3599, "finished"),
      silent,
      Row("四号台", 1, 10, "paused"),
      Row("四号台", 2, 10, "stopped", "lost"),
  };
  struct Expect {
    const char* Rig;
    const char* Station;
    const char* Link;
    const char* State;
    const char* Count;
    const char* Left;
    const char* NoWord;
    bool Attention;
  } expected[] = {
      {"三号台", "工位1", "已连接", "控制器无响应 75 秒", "0次", "", "", true},
      {"二号台", "工位1", "已连接", "运行中", "0次", "", "已 2 分钟无消息", true},
      {"二号台", "工位2", "已连接", "测试已结束", "0次", "", "已 59 分钟无消息", true},
      {"四号台", "工位1", "已连接", "拒动作，等待继续测试", "0次", "", "", true},
      {"四号台", "工位2", "线路中断", "测试已停止", "0次", "", "", true},
      {"一号台", "工位1", "串口未打开", "空闲", "0次", "", "", false},
      {"一号台", "工位2", "已连接", "运行中，拒动作2个", "1500/2000次", "3小时5分", "", false},
  };
  const std::vector<OverviewLine> lines = OverviewLines(rows);
  ASSERT_EQ(lines.size(), std::size(expected));
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    const Expect& e = expected[i];
    EXPECT_EQ(lines[i].Rig, e.Rig);
    EXPECT_EQ(lines[i].Station, e.Station);
    EXPECT_EQ(lines[i].Link, e.Link);
    EXPECT_EQ(lines[i].State, e.State);
    EXPECT_EQ(lines[i].Count, e.Count);
    EXPECT_EQ(lines[i].Left, e.Left);
    EXPECT_EQ(lines[i].NoWord, e.NoWord);
    EXPECT_EQ(lines[i].Attention, e.Attention);
  }
  EXPECT_EQ(lines.back().LastEvent, "12-07 18:31 拒动作：B1拒合（第1499次）");
  EXPECT_EQ(lines.front().LastEvent, "");
}
