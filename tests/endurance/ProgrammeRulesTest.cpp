// The block, inspection and verdict rules, each row a programme's history
// played from nothing.
#include <gtest/gtest.h>

#include <QStringList>

#include "endurance/Programme.h"
#include "endurance/ProgrammeRules.h"

namespace rig {
namespace {

// Plays `script` on `p`, one word at a time:
//   R<base>-<last>  a run of the next block from <base> to <last>, closed
//   r<base>-<last>  the same, left open (the station's test)
//   A<count>        the open run reports <count>
//   F<count>        B1 拒合 at <count> of the open run (the failure, if first)
//   I               the inspection of the block due
//   E               the operator ends the programme
void Play(Programme& p, const QString& script) {
  for (const QString& w : script.split(' ', Qt::SkipEmptyParts)) {
    const QStringList n = w.mid(1).split('-');
    switch (w[0].toLatin1()) {
      case 'R':
      case 'r':
        OpenRun(p, QDateTime(), n[0].toInt());
        AdvanceRun(p, n[1].toInt());
        if (w[0] == 'R') CloseRun(p);
        break;
      case 'A': AdvanceRun(p, n[0].toInt()); break;
      case 'F': {
        AdvanceRun(p, n[0].toInt());
        const BlockRun* run = OpenRunOf(p);
        ASSERT_NE(run, nullptr) << w.toStdString();
        NoteRefusal(p, {OperationOf(p, *run, n[0].toInt()), run->Block, 1, kBreakB1, Deviation::RefusedClose, true, {}});
        break;
      }
      case 'I': {
        const ProgrammeStep s = NextStep(p);
        ASSERT_EQ(s.Kind, StepKind::Inspect) << w.toStdString();
        ASSERT_EQ(InspectionRefusal(p, s.Block), QString());
        p.Inspections.push_back({s.Block, QStringLiteral("外观"), InspectionWork::Lubrication, {}, QStringLiteral("李工"), {}, {}});
        break;
      }
      case 'E': p.EndedAt = QDateTime(QDate(2026, 12, 8), QTime(9, 0)); break;
      default: FAIL() << "unknown word " << w.toStdString();
    }
  }
}

struct Case {
  const char* name;
  EnduranceStandard standard;
  const char* className;
  int32_t customTarget;
  const char* script;
  StepKind step;
  int block;
  int32_t cumulative;
  const char* verdict;
};

const Case kCases[] = {
    {"fresh M2", EnduranceStandard::Breaker, "M2", 0, "", StepKind::StartBlock, 1, 0,
     "in progress: 0 of 10,000 operations"},
    {"block 1 done waits for its inspection", EnduranceStandard::Breaker, "M2", 0, "R0-2000", StepKind::Inspect, 1, 2000,
     "in progress: 2,000 of 10,000 operations"},
    {"inspected: block 2 may start", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I", StepKind::StartBlock, 2, 2000, nullptr},
    {"a block stopped early continues", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I R0-700", StepKind::ContinueBlock, 2,
     2700, nullptr},
    {"a resumed run's repeated cycle counts once", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I r0-700 A699 A700 A701",
     StepKind::Running, 2, 2701, nullptr},
    {"a block split over runs pauses at its count", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I R0-700 R0-1300",
     StepKind::Inspect, 2, 4000, nullptr},
    {"a run from the controller's count counts what it added", EnduranceStandard::Breaker, "M2", 0, "R499-2499",
     StepKind::Inspect, 1, 2000, nullptr},
    {"a controller running over the block counts the block only", EnduranceStandard::Breaker, "M1", 0, "R0-2600",
     StepKind::Completed, 0, 2000, "M1 reached (2,000 operations)"},
    {"M2 through", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I R0-2000 I R0-2000 I R0-2000 I R0-2000",
     StepKind::Completed, 0, 10000, "M2 reached (10,000 operations)"},
    {"the lab's case: trip spring at 6,527", EnduranceStandard::Breaker, "M2", 0,
     "R0-2000 I R0-1200 R0-800 I R0-2000 I r0-500 F527", StepKind::Running, 4, 6527,
     "M1 reached, M2 failed at 6,527 (B1 拒合)"},
    {"run on after the failure: the verdict stays", EnduranceStandard::Breaker, "M2", 0,
     "R0-2000 I R0-2000 I R0-2000 I r0-527 F527 A2000", StepKind::Running, 4, 8000,
     "M1 reached, M2 failed at 6,527 (B1 拒合)"},
    {"a second refusal changes nothing", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I r0-100 F100 F200",
     StepKind::Running, 2, 2200, "M1 reached, M2 failed at 2,100 (B1 拒合)"},
    {"failing at 2,000 leaves M1 one short", EnduranceStandard::Breaker, "M2", 0, "r0-2000 F2000", StepKind::Running, 1,
     2000, "no class reached, M2 failed at 2,000 (B1 拒合)"},
    {"failing at 2,001 has M1", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I r0-1 F1", StepKind::Running, 2, 2001,
     "M1 reached, M2 failed at 2,001 (B1 拒合)"},
    {"ended early", EnduranceStandard::Breaker, "M2", 0, "R0-2000 I R0-2000 I E", StepKind::Ended, 0, 4000,
     "incomplete: 4,000 of 10,000 operations, M1 reached"},
    {"ended before any class", EnduranceStandard::Breaker, "M1", 0, "R0-300 E", StepKind::Ended, 0, 300,
     "incomplete: 300 of 2,000 operations"},
    {"disconnector M0 below M1", EnduranceStandard::Disconnector, "M2", 0, "R0-2000 I r0-1 F1", StepKind::Running, 2, 2001,
     "M1 reached, M2 failed at 2,001 (B1 拒合)"},
    {"disconnector M0 reached", EnduranceStandard::Disconnector, "M2", 0, "r0-1500 F1500", StepKind::Running, 1, 1500,
     "M0 reached, M2 failed at 1,500 (B1 拒合)"},
    {"custom count", EnduranceStandard::Custom, "3000次", 3000, "R0-2000 I R0-1000", StepKind::Completed, 0, 3000,
     "3000次 reached (3,000 operations)"},
};

TEST(ProgrammeRules, EachHistoryGivesItsStepCountAndVerdict) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Programme p = PresetProgramme(c.standard, QString::fromUtf8(c.className), 18, c.customTarget);
    ASSERT_EQ(CheckProgramme(p), std::nullopt);
    Play(p, QString::fromLatin1(c.script));
    const ProgrammeStep s = NextStep(p);
    EXPECT_EQ(s.Kind, c.step);
    EXPECT_EQ(s.Block, c.block);
    EXPECT_EQ(CumulativeCount(p), c.cumulative);
    if (c.verdict) EXPECT_EQ(VerdictText(VerdictOf(p)).toStdString(), c.verdict);
    // Nothing starts over an inspection that is due or a run under way.
    EXPECT_EQ(BlockStartRefusal(p).isEmpty(), s.Kind == StepKind::StartBlock || s.Kind == StepKind::ContinueBlock);
  }
}

TEST(ProgrammeRules, TheScreenSaysTheVerdictInChineseWithBlockAndBreak) {
  Programme p = PresetProgramme(EnduranceStandard::Breaker, "M2");
  Play(p, "R0-2000 I R0-2000 I R0-2000 I r0-527 F527");
  EXPECT_EQ(VerdictTextZh(VerdictOf(p)), QStringLiteral("已达到M1，M2在第6,527次失败（第4段，B1拒合）"));
  Programme q = PresetProgramme(EnduranceStandard::Breaker, "M2");
  Play(q, "R0-2000 I R0-2000 I E");
  EXPECT_EQ(VerdictTextZh(VerdictOf(q)), QStringLiteral("试验未完成（4,000/10,000次），已达到M1"));
}

TEST(ProgrammeRules, InspectionsAndVoltageGateTheNextBlock) {
  Programme p = PresetProgramme(EnduranceStandard::Breaker, "M2");
  p.Blocks[1].VoltageNote = QStringLiteral("DC 220 V ×85%");
  EXPECT_EQ(InspectionRefusal(p, 1), QStringLiteral("第1段还没有做完"));
  Play(p, "R0-2000 I");
  EXPECT_EQ(InspectionRefusal(p, 1), QStringLiteral("第1段后的检查已记录"));
  EXPECT_EQ(BlockStartRefusal(p), QStringLiteral("请先确认第2段的控制电压（DC 220 V ×85%）"));
  p.Blocks[1].VoltageConfirmedBy = QStringLiteral("王工");
  EXPECT_EQ(BlockStartRefusal(p), QString());
}

// Each row spoils a valid M2 preset one way; the message names the field.
TEST(ProgrammeChecks, AProgrammeThatCannotRunIsRefusedNamingTheField) {
  struct Row {
    const char* field;
    std::function<void(Programme&)> spoil;
  };
  const Row rows[] = {
      {"试验段", [](Programme& p) { p.Blocks.clear(); }},
      {"第2段试验方式", [](Programme& p) { p.Blocks[1].Mode = 3; }},
      {"第2段试验方式", [](Programme& p) { p.Blocks[1].Mode = 99; }},
      {"第1段次数", [](Programme& p) { p.Blocks[0].Count = 0; }},
      {"第5段次数", [](Programme& p) { p.Blocks[4].Count = 32001; }},
      {"第1段参数13", [](Programme& p) { p.Blocks[0].Delays.push_back({13, 300}); }},
      {"第1段参数12", [](Programme& p) { p.Blocks[0].Delays.push_back({12, 300}); }},
      {"第3段参数11", [](Programme& p) { p.Blocks[2].Delays = {{11, 3001}}; }},
      {"试验段", [](Programme& p) { p.Blocks[4].Count = 1999; }},
      {"等级", [](Programme& p) { p.ClassName = "M3"; }},
      {"目标次数", [](Programme& p) { p.Standard = EnduranceStandard::Custom, p.Target = 0; }},
  };
  for (const Row& r : rows) {
    Programme p = PresetProgramme(EnduranceStandard::Breaker, "M2");
    r.spoil(p);
    const std::optional<ProgrammeProblem> bad = CheckProgramme(p);
    ASSERT_TRUE(bad.has_value()) << r.field;
    EXPECT_EQ(bad->Field.toStdString(), r.field) << bad->Message.toStdString();
    EXPECT_FALSE(bad->Message.isEmpty());
  }
  // The presets themselves run: M1 one block of 2,000, M2 five, M0 one of 1,000.
  for (auto [standard, name, blocks, first] : {std::tuple{EnduranceStandard::Breaker, "M1", 1, 2000},
                                              std::tuple{EnduranceStandard::Breaker, "M2", 5, 2000},
                                              std::tuple{EnduranceStandard::Disconnector, "M0", 1, 1000},
                                              std::tuple{EnduranceStandard::Disconnector, "M2", 5, 2000}}) {
    const Programme p = PresetProgramme(standard, name, 20);
    EXPECT_EQ(CheckProgramme(p), std::nullopt) << name;
    EXPECT_EQ(static_cast<int>(p.Blocks.size()), blocks) << name;
    EXPECT_EQ(p.Blocks[0].Count, first) << name;
    EXPECT_EQ(p.Blocks[0].Delays.size(), 4u) << name;  // 分合分: parameters 16 to 19
  }
}

TEST(ProgrammeChecks, AMeasurementIsJudgedAgainstItsLimitsAndMargin) {
  const struct {
    double value;
    MeasurementJudgement expected;
  } rows[] = {{40, MeasurementJudgement::Pass},     {31.9, MeasurementJudgement::Marginal},
              {30, MeasurementJudgement::Marginal}, {29.99, MeasurementJudgement::Fail},
              {48.5, MeasurementJudgement::Marginal}, {50.01, MeasurementJudgement::Fail}};
  for (const auto& r : rows) {
    const Measurement m{QStringLiteral("合闸时间"), QStringLiteral("ms"), r.value, 30, 50, 2};
    EXPECT_EQ(Judge(m), r.expected) << r.value;
  }
  EXPECT_EQ(JudgementText(MeasurementJudgement::Marginal), QStringLiteral("临界"));
}

}  // namespace
}  // namespace rig
