#pragma once
// A switch's mechanical endurance programme (试验方案): the switch, the class
// aimed at under its standard, and the blocks it is run in, each a life test
// of its own, with an inspection between blocks. Plain data; what may happen
// next and what the programme has reached are ProgrammeRules'.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/ActionRecord.h"
#include "endurance/CycleTimes.h"
#include "testing/PositionJudge.h"

namespace rig {

enum class EnduranceStandard : int {
  Breaker = 1,     // IEC 62271-100 / GB/T 1984: M1 2,000, M2 10,000
  Disconnector = 2,  // IEC 62271-102: M0 1,000, M1 2,000, M2 10,000
  Custom = 3,      // N operations, named by the operator
};

struct EnduranceClass {
  const char16_t* Name;  // "M1"
  int32_t Operations;    // cycles of the life mode
};

// The classes of `standard`, fewest operations first; empty for Custom.
std::span<const EnduranceClass> ClassesOf(EnduranceStandard standard);
// "IEC 62271-100 / GB/T 1984", "IEC 62271-102", "自定义".
QString StandardName(EnduranceStandard standard);

struct ProgrammeIdentity {
  QString SwitchModel, FactoryNumber, StationText, OperatorName;  // the station's four identity texts
  QString Manufacturer, Customer, Remarks;
};

struct ProgrammeBlock {
  int Mode = 0;                                // a life mode
  std::vector<std::pair<int, int32_t>> Delays;  // (parameter number, value) of the mode's delays
  int32_t Count = 0;                           // cycles this block runs
  QString VoltageNote;                         // the control voltage to set before the block
  // Who confirmed the voltage note, and when; empty until confirmed.
  QString VoltageConfirmedBy;
  QDateTime VoltageConfirmedAt;
  CycleStats Cycles;  // measured as the block runs
};

enum class InspectionWork : int { Nothing = 0, Lubrication = 1, Other = 2 };

struct Measurement {
  QString Name, Unit;
  double Value = 0, Low = 0, High = 0;
  double Margin = 0;  // within this of a limit: marginal
};

enum class MeasurementJudgement { Pass, Marginal, Fail };
// Outside [Low, High]: fail; inside but within Margin of a limit: marginal.
MeasurementJudgement Judge(const Measurement& m);
// "合格", "临界", "不合格".
QString JudgementText(MeasurementJudgement j);

struct Inspection {
  int Block = 0;  // 1-based: the block it follows
  QString Checked;
  InspectionWork Work = InspectionWork::Nothing;
  QString WorkText;  // what "other" work was
  QString ByWhom;
  QDateTime At;
  std::vector<Measurement> Measurements;
};

// The first refused action of the programme: it fixes the verdict.
struct ProgrammeFailure {
  int32_t Operation = 0;  // cumulative cycle of the programme it fell in
  int Block = 0;          // 1-based
  int32_t ActionNo = 0;   // the action's number in its run (the stored 动作序号)
  int Break = 0;          // BreakIndex
  Deviation Kind = Deviation::None;
  bool Marked = false;    // marked by the refusal check, else judged from the positions
  QDateTime At;
};

// One run of a block: a held test from its start until it was saved or let
// go. Its cycles are the counts it went beyond the count it started from, so
// a run resumed after a lost line (the same test) counts once.
struct BlockRun {
  int64_t Id = 0;
  int Block = 0;  // 1-based
  QDateTime StartTime;  // the test's start, as its journal and summary row carry it
  int32_t BaseCount = 0;
  int32_t LastCount = 0;
  bool Open = false;  // still the station's test
  int32_t Cycles() const { return LastCount > BaseCount ? LastCount - BaseCount : 0; }
};

struct Programme {
  int64_t Id = 0;
  // Its key in the lab database, made when it is first stored; and how many
  // times it has been stored, so the lab keeps the newest of its snapshots.
  QString LabId;
  int64_t Revision = 0;
  int Station = 0;
  ProgrammeIdentity Identity;
  EnduranceStandard Standard = EnduranceStandard::Breaker;
  QString ClassName;   // the class aimed at ("M2", or the custom name)
  int32_t Target = 0;  // its operations
  std::vector<ProgrammeBlock> Blocks;
  std::vector<BlockRun> Runs;
  std::vector<Inspection> Inspections;
  std::optional<ProgrammeFailure> Failure;
  QDateTime CreatedAt;
  QDateTime EndedAt;  // set when the operator ended it
  double DriftLimit = 0.10;  // a block's mean cycle this much above block 1's warns
};

// Presets: the class `className` of `standard` (for Custom, `customTarget`
// operations), in blocks of 2,000 cycles of `mode`: M1 as one block of
// 2,000, M2 as five blocks of 2,000, M0 as one block of 1,000.
Programme PresetProgramme(EnduranceStandard standard, const QString& className, int mode = 18,
                          int32_t customTarget = 0);

// The delays of `mode` (its parameters other than the set count) as the
// panel starts with them.
std::vector<std::pair<int, int32_t>> DefaultDelays(int mode);

// Why the programme cannot run, naming the field ("第2段：试验方式不是寿命试验");
// nothing when it can.
struct ProgrammeProblem {
  QString Field;  // "第2段次数", "试验方式", ...
  QString Message;
};
std::optional<ProgrammeProblem> CheckProgramme(const Programme& programme);

}  // namespace rig
