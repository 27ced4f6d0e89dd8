// The events a station's live view gives rise to, tick by tick: each edge
// once, none for the state the program found, a new run counting refusals
// from 0 again.
#include <gtest/gtest.h>

#include "station/LiveState.h"
#include "station/StationEventWatch.h"

using namespace rig;

namespace {

struct Tick {
  const char* What;
  std::function<void(RunWatchFigures&)> Change;  // applied to the figures of the tick before
  std::vector<RigEventKind> Expected;
  const char* Detail = nullptr;  // of the first event, when given
};

RunWatchFigures Running() {
  RunWatchFigures f;
  f.Link = LinkState::Connected;
  f.Run = RunState::Running;
  f.HasRun = true;
  f.Plan.Mode = 17;
  f.Plan.Life = true;
  f.Plan.SetCount = 2000;
  return f;
}

}  // namespace

TEST(StationEventWatch, EachEdgeIsOneEvent) {
  using K = RigEventKind;
  const std::vector<Tick> ticks = {
      {"found running with refusals and silent: nothing yet",
       [](RunWatchFigures& f) { f.RefusedActions = 4, f.Silent = true, f.SilentForMs = 9000; }, {}},
      {"still silent", [](RunWatchFigures& f) { f.SilentForMs = 9200; }, {}},
      {"talks again", [](RunWatchFigures& f) { f.Silent = false; }, {}},
      {"a refusal", [](RunWatchFigures& f) { f.RefusedActions = 5, f.LastRefusalCount = 6527, f.LastMarks[1] = "拒合"; },
       {K::Refusal}, "B1拒合（第6527次）"},
      {"the same refusal seen again", [](RunWatchFigures&) {}, {}},
      {"two refused actions within one tick, judged by position",
       [](RunWatchFigures& f) { f.RefusedActions = 7, f.LastRefusalCount = 6600, f.LastMarks = {}; },
       {K::Refusal}, "位置与应有的不符（第6600次），共2个动作"},
      {"silent", [](RunWatchFigures& f) { f.Silent = true, f.SilentForMs = 61000; }, {K::Silent}, "控制器已61秒没有报告动作"},
      {"silent on", [](RunWatchFigures& f) { f.SilentForMs = 120000; }, {}},
      {"the line goes while silent",
       [](RunWatchFigures& f) { f.Silent = false, f.Link = LinkState::Lost, f.CountDone = 1234; },
       {K::LineLost}, "测试中断，第1234次"},
      {"reconnecting is the same loss", [](RunWatchFigures& f) { f.Link = LinkState::Connecting, f.Reconnecting = true; }, {}},
      {"back", [](RunWatchFigures& f) { f.Link = LinkState::Connected, f.Reconnecting = false; }, {}},
      {"finished", [](RunWatchFigures& f) { f.Run = RunState::Ended, f.Ending = RunEnding::Finished, f.CountDone = 2000; },
       {K::Finished}, "2000/2000次"},
      {"a new run starts from 0 refusals", [](RunWatchFigures& f) { f = Running(), f.Runs = 1; }, {}},
      {"its first refusal is news",
       [](RunWatchFigures& f) { f.RefusedActions = 1, f.LastRefusalCount = 3, f.LastMarks[0] = "拒分"; }, {K::Refusal}},
      {"cancelled is no finish", [](RunWatchFigures& f) { f.Run = RunState::Ended, f.Ending = RunEnding::Cancelled; }, {}},
      {"a whole new run between two looks: refused and finished",
       [](RunWatchFigures& f) { f.Runs += 1, f.Link = LinkState::Connected, f.RefusedActions = 2, f.Ending = RunEnding::Finished; },
       {K::Refusal, K::Finished}},
      {"and the next cancelled", [](RunWatchFigures& f) { f = Running(), f.Runs = 3, f.Run = RunState::Ended, f.Ending = RunEnding::Cancelled; }, {}},
      {"a lost line and a refusal in one tick",
       [](RunWatchFigures& f) { f.Link = LinkState::Lost, f.RefusedActions = 2; }, {K::Refusal, K::LineLost}},
  };
  TStationEventWatch watch(2);
  RunWatchFigures f = Running();
  for (const Tick& t : ticks) {
    SCOPED_TRACE(t.What);
    t.Change(f);
    const std::vector<RigEvent> events = watch.Follow(f);
    std::vector<RigEventKind> kinds;
    for (const RigEvent& e : events) {
      kinds.push_back(e.Kind);
      EXPECT_EQ(e.Station, 2);
    }
    EXPECT_EQ(kinds, t.Expected);
    if (t.Detail && !events.empty()) EXPECT_EQ(events.front().Detail, QString::fromUtf8(t.Detail));
  }
}

TEST(StationEventWatch, TheLiveRowSaysWhatTheViewShows) {
  struct Case {
    const char* What;
    std::function<void(RunWatchFigures&)> Change;
    const char* Link;
    const char* Run;
    bool HasMode;
  } cases[] = {
      {"running", [](RunWatchFigures&) {}, "connected", "running", true},
      {"waiting for 继续测试", [](RunWatchFigures& f) { f.Paused = true; }, "connected", "paused", true},
      {"reconnecting after a loss", [](RunWatchFigures& f) { f.Link = LinkState::Connecting, f.Reconnecting = true; },
       "lost", "running", true},
      {"cut by the line", [](RunWatchFigures& f) { f.Run = RunState::Ended, f.Ending = RunEnding::LineCut; }, "connected",
       "stopped", true},
      {"actions without a start", [](RunWatchFigures& f) { f.Run = RunState::Ended, f.Ending = RunEnding::NotStarted; },
       "connected", "received", true},
      {"idle, port open", [](RunWatchFigures& f) { f = {}, f.Link = LinkState::Open; }, "open", "idle", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    RunWatchFigures f = Running();
    f.CountDone = 1500;
    f.CyclesLastMinute = 3;
    f.LeftMs = 10'000'999;
    f.Silent = true;
    f.SilentForMs = 7'900;
    c.Change(f);
    const LiveState s = LiveStateOf(2, f);
    EXPECT_EQ(s.Link, c.Link);
    EXPECT_EQ(s.RunState, c.Run);
    EXPECT_EQ(s.Mode.has_value(), c.HasMode);
    EXPECT_EQ(s.SilentSeconds, f.Silent ? 7 : 0);
    EXPECT_EQ(s.SecondsLeft, f.LeftMs ? std::optional<int>(10'000) : std::nullopt);
  }
}
