// A programme run on one station fed with the controller's frames: its
// blocks start as fresh tests through the station's gate, their cycles count
// once across a lost line, the station stops in the inspection pause, and
// the first refusal fixes the verdict, whatever the refusal option.
#include <gtest/gtest.h>

#include "endurance/ProgrammeRunner.h"
#include "endurance/ProgrammeStore.h"
#include "endurance/ProgrammeTexts.h"
#include "station/LinkedStation.h"
#include "support/TempDir.h"

namespace rig {
namespace {

using rigtest::LinkedStation;

constexpr uint8_t kAllClosed = 0x15, kAllOpen = 0x00, kB1Open = 0x11;

// Ten cycles of 合分 in blocks of six and four.
Programme TenCycles() {
  Programme p = PresetProgramme(EnduranceStandard::Custom, QStringLiteral("10次"), kLifeCloseOpen, 10);
  p.Blocks = {p.Blocks[0], p.Blocks[0]};
  p.Blocks[0].Count = 6;
  p.Blocks[1].Count = 4;
  p.Blocks[1].Delays = {{10, 50}, {11, 2}};
  p.Identity.SwitchModel = QStringLiteral("VS1-12");
  p.Identity.FactoryNumber = QStringLiteral("F-88");
  return p;
}

ParameterBlock LastStart(const LinkedStation& s) {
  const std::vector<QByteArray> frames = s.StartFrames();
  return frames.empty() ? ParameterBlock{} : DecodeParameterBlock(rigtest::Data(frames.back()) + kFrameHeaderSize);
}

// Two actions half a second apart: a cycle a second.
void Cycle(LinkedStation& s, int32_t count, uint8_t closeBits = kAllClosed) {
  s.now = s.now.addMSecs(500);
  s.Status(count, closeBits);
  s.now = s.now.addMSecs(500);
  s.Status(count, kAllOpen);
}

ParameterBlock Stored(int32_t count, int refusalOption) {
  ParameterBlock b = rigtest::FactorySettings();
  b.Mode = kLifeCloseOpen;
  b.RefusalOption = refusalOption;
  b.Counts[1] = count;
  return b;
}

TEST(ProgrammeRunner, BlocksCountOnceAcrossALostLinePauseForInspectionAndTheFirstRefusalFixesTheVerdict) {
  for (const int option : {kDoNotIgnoreRefusals, kIgnoreRefusals}) {
    SCOPED_TRACE(option);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    s.link.SetLineLostHandler([&] { s.control.LineLost(); });  // as TStation wires it
    s.Connect(Stored(0, option));
    TProgrammeRunner runner(s.controller, s.control, dir.Path(), [&] { return s.now; });
    ASSERT_EQ(runner.Attach(TenCycles()), QString());

    ASSERT_EQ(runner.StartNextBlock(), QString());
    ASSERT_EQ(s.StartFrames().size(), 1u);
    EXPECT_EQ(LastStart(s).Mode, kLifeCloseOpen);
    EXPECT_EQ(LastStart(s).Parameters[12 - 1], 6);
    EXPECT_EQ(LastStart(s).Counts[1], 0);
    EXPECT_EQ(s.view.IdentityText(kFactoryNumber), QStringLiteral("F-88"));
    s.Accepted();
    for (int c = 1; c <= 3; ++c) Cycle(s, c);
    s.LoseLine();  // the count so far is stored as the line goes
    EXPECT_EQ(CumulativeCount(*TProgrammeStore(dir.Path()).Load(runner.Current()->Id)), 3);

    s.Reopen();
    s.Reply(kLinkAccepted);
    s.Report(Stored(3, option));
    s.PressStart();  // the station's own 开始测试 resumes the same test
    s.Report(Stored(3, option));
    ASSERT_EQ(s.StartFrames().size(), 2u);
    EXPECT_EQ(LastStart(s).Counts[1], 2);  // the controller repeats cycle 3
    s.Accepted();
    for (int c = 3; c <= 6; ++c) Cycle(s, c);
    s.Finished();
    EXPECT_EQ(CumulativeCount(*runner.Current()), 6);
    EXPECT_EQ(NextStep(*runner.Current()).Kind, StepKind::Inspect);
    EXPECT_EQ(runner.StartNextBlock(), QStringLiteral("请先记录第1段后的检查"));
    EXPECT_EQ(s.StartFrames().size(), 2u);
    LiveState live;
    runner.DescribeLive(live);  // what the lab overview shows of it
    EXPECT_EQ(live.Programme + "|" + live.Block, QStringLiteral("10次 F-88|检查暂停：请记录第1段后的检查（共2段）"));
    // Cycles 2, 3 measured before the cut; after it the repeated cycle 3
    // starts the clock again: 4, 5, 6. Every action's arrival is stored.
    EXPECT_EQ(runner.Current()->Blocks[0].Cycles.Cycles, 5);
    EXPECT_DOUBLE_EQ(runner.Current()->Blocks[0].Cycles.MeanMs, 1000);
    EXPECT_EQ(TProgrammeStore(dir.Path()).ActionTimes(runner.Current()->Id).size(), 14u);

    ASSERT_TRUE(s.PressSave());
    s.control.TestSaved();  // as the station's save tells its observers
    Inspection i{1, QStringLiteral("脱扣机构"), InspectionWork::Lubrication, {}, {}, {}, {}};
    EXPECT_EQ(runner.RecordInspection(i), QStringLiteral("请填写检查人"));
    i.ByWhom = QStringLiteral("李工");
    ASSERT_EQ(runner.RecordInspection(i), QString());

    ASSERT_EQ(runner.StartNextBlock(), QString());
    ASSERT_EQ(s.StartFrames().size(), 3u);
    EXPECT_EQ(LastStart(s).Parameters[12 - 1], 4);
    EXPECT_EQ(LastStart(s).Parameters[10 - 1], 50);
    EXPECT_EQ(LastStart(s).Counts[1], 0);
    s.Accepted();
    Cycle(s, 1);
    Cycle(s, 2, kB1Open);  // B1 stays open at the programme's 8th cycle
    if (option == kDoNotIgnoreRefusals) s.PressContinue();
    Cycle(s, 3, kB1Open);  // run on for information: the verdict stays
    Cycle(s, 4);
    s.Finished();
    const Verdict v = VerdictOf(*runner.Current());
    EXPECT_EQ(VerdictText(v), QStringLiteral("no class reached, 10次 failed at 8 (B1 拒合)"));
    EXPECT_EQ(v.Failure->Marked, option == kDoNotIgnoreRefusals);
    EXPECT_EQ(v.Failure->Block, 2);
    EXPECT_EQ(v.Failure->ActionNo, 3);
    EXPECT_TRUE(ProgrammeRecordText(*runner.Current())
                    .contains(QStringLiteral("首次拒动作：第8次（第2段第3个动作，B1拒合，依据：%1）")
                                  .arg(option == kDoNotIgnoreRefusals ? QStringLiteral("标记") : QStringLiteral("断口位置"))))
        << ProgrammeRecordText(*runner.Current()).toStdString();
    EXPECT_EQ(NextStep(*runner.Current()).Kind, StepKind::Completed);
    ASSERT_EQ(runner.End(), QString());
    const std::optional<Programme> stored = TProgrammeStore(dir.Path()).Load(runner.Current()->Id);
    EXPECT_EQ(VerdictText(VerdictOf(*stored)), VerdictText(v));
    EXPECT_EQ(CumulativeCount(*stored), 10);
    EXPECT_EQ(runner.PanelLine(), QStringLiteral("试验方案10次：第2/2段，累计10次，已结束；未达到任何等级，10次在第8次失败（第2段，B1拒合）"));
  }
}

// Starting a block over a held test asks the operator first; what happens to
// the line while the question is open decides, and a start that does not go
// out leaves no run behind, in memory or stored.
TEST(ProgrammeRunner, ABlockWhoseStartNeverWentOutLeavesNoRun) {
  struct Row {
    const char* name;
    rig::UnsavedChoice answer;
    std::function<void(LinkedStation&)> duringQuestion;
    bool starts;
  } rows[] = {
      {"discarded, line stays", UnsavedChoice::Discard, [](LinkedStation&) {}, true},
      {"cancelled", UnsavedChoice::Cancel, [](LinkedStation&) {}, false},
      {"discarded, line lost meanwhile", UnsavedChoice::Discard, [](LinkedStation& s) { s.LoseLine(); }, false},
      {"discarded, controller disconnected meanwhile", UnsavedChoice::Discard,
       [](LinkedStation& s) { s.Reply(kLinkDisconnected); }, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    s.Connect(Stored(0, kIgnoreRefusals));
    s.controller.SelectMode(kLifeOpenClose);
    s.PressStart();  // an ordinary test, left unsaved
    s.Accepted();
    s.Status(1, kAllOpen);
    s.Finished();
    TProgrammeRunner runner(s.controller, s.control, dir.Path(), [&] { return s.now; });
    ASSERT_EQ(runner.Attach(TenCycles()), QString());
    s.notifier.unsavedAnswer = r.answer;
    s.notifier.onAsk = [&] { r.duringQuestion(s); };
    const size_t before = s.StartFrames().size();
    EXPECT_EQ(runner.StartNextBlock().isEmpty(), r.starts);
    EXPECT_EQ(s.notifier.unsavedQuestions.size(), 1u);
    EXPECT_EQ(s.StartFrames().size(), before + (r.starts ? 1 : 0));
    const Programme stored = *TProgrammeStore(dir.Path()).Load(runner.Current()->Id);
    EXPECT_EQ(OpenRunOf(stored) != nullptr, r.starts);
    EXPECT_EQ(OpenRunOf(*runner.Current()) != nullptr, r.starts);
    // An ordinary test afterwards is not the block's.
    if (!r.starts) continue;
    s.Accepted();
    Cycle(s, 1);
    s.PressStart();  // 取消测试
    EXPECT_EQ(CumulativeCount(*runner.Current()), 1);
    EXPECT_EQ(NextStep(*runner.Current()).Kind, StepKind::ContinueBlock);
  }
}


// A controller may go on with a block while the program is down (killed, a
// power cut): the actions it reports once the program is back are that
// block's when its count goes on from where the block stopped, in the
// block's mode — the cycles made unseen counted too — and another test's
// otherwise.
TEST(ProgrammeRunner, ABlockTheControllerWentOnWithWhileTheProgramWasDownCountsOnce) {
  struct Row {
    const char* name;
    int reportedMode;
    std::vector<std::pair<int32_t, uint8_t>> cycles;  // the count, the breaks at its close
    int32_t cumulative;
    StepKind step;
    int32_t failedAt;  // 0: no failure
  };
  const Row rows[] = {
      {"goes on from the count reached", kLifeCloseOpen, {{3, kAllClosed}, {4, kAllClosed}, {5, kAllClosed}, {6, kAllClosed}}, 6, StepKind::Inspect, 0},
      {"cycles made unseen count", kLifeCloseOpen, {{5, kAllClosed}, {6, kAllClosed}}, 6, StepKind::Inspect, 0},
      {"a refusal in it fixes the verdict", kLifeCloseOpen, {{4, kAllClosed}, {5, kB1Open}, {6, kAllClosed}}, 6, StepKind::Inspect, 5},
      {"a count begun again is another test", kLifeCloseOpen, {{1, kAllClosed}, {2, kAllClosed}}, 3, StepKind::ContinueBlock, 0},
      {"another mode is another test", kLifeOpenClose, {{4, kAllClosed}, {5, kAllClosed}}, 3, StepKind::ContinueBlock, 0},
      {"past the block's count is another test", kLifeCloseOpen, {{7, kAllClosed}}, 3, StepKind::ContinueBlock, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    rigtest::TempDir dir;
    LinkedStation s(1, dir.Path());
    TProgrammeRunner runner(s.controller, s.control, dir.Path(), [&] { return s.now; });
    Programme p = TenCycles();  // as the start-up left it: block 1 cut at 3 of 6
    OpenRun(p, s.now, 0);
    AdvanceRun(p, 3);
    CloseRun(p);
    ASSERT_EQ(runner.Attach(p), QString());
    ParameterBlock reported = Stored(3, kIgnoreRefusals);
    reported.Mode = row.reportedMode;
    s.Connect(reported);
    for (const auto& [count, closeBits] : row.cycles) Cycle(s, count, closeBits);
    s.Finished();
    ASSERT_TRUE(s.PressSave());
    s.control.TestSaved();
    const std::optional<Programme> stored = TProgrammeStore(dir.Path()).Load(runner.Current()->Id);
    EXPECT_EQ(CumulativeCount(*stored), row.cumulative);
    EXPECT_EQ(NextStep(*stored).Kind, row.step);
    const Verdict v = VerdictOf(*stored);
    EXPECT_EQ(v.Failure ? v.Failure->Operation : 0, row.failedAt);
    EXPECT_TRUE(s.StartFrames().empty());  // nothing was started on the controller
  }
}

// At a real rig's pace the actions' arrivals and the cycle times reach the
// file every minute, not only every 1,000 actions: a kill loses a minute of
// them at most.
TEST(ProgrammeRunner, AtARealRigsPaceArrivalsAndCycleTimesAreStoredEveryMinute) {
  rigtest::TempDir dir;
  LinkedStation s(1, dir.Path());
  s.Connect(Stored(0, kIgnoreRefusals));
  TProgrammeRunner runner(s.controller, s.control, dir.Path(), [&] { return s.now; });
  ASSERT_EQ(runner.Attach(TenCycles()), QString());
  ASSERT_EQ(runner.StartNextBlock(), QString());  // stored now
  s.Accepted();
  const TProgrammeStore store(dir.Path());
  // An action every 15 s: the fourth is a minute after the start.
  const std::pair<int, size_t> stored[] = {{1, 0}, {2, 0}, {3, 0}, {4, 4}, {5, 4}, {7, 4}, {8, 8}};
  int fed = 0;
  for (const auto& [actions, times] : stored) {
    for (; fed < actions; ++fed) {
      s.now = s.now.addSecs(15);
      s.Status(fed / 2 + 1, fed % 2 == 0 ? kAllClosed : kAllOpen);
    }
    SCOPED_TRACE(actions);
    EXPECT_EQ(store.ActionTimes(runner.Current()->Id).size(), times);
  }
  // Cycles 1 to 3 timed (30 s each) by the eighth action's store.
  const std::optional<Programme> kept = store.Load(runner.Current()->Id);
  EXPECT_EQ(kept->Blocks[0].Cycles.Cycles, 3);
  EXPECT_DOUBLE_EQ(kept->Blocks[0].Cycles.MeanMs, 30000);
  EXPECT_EQ(CumulativeCount(*kept), 4);  // the controller's count with the eighth action
}

}  // namespace
}  // namespace rig
