#pragma once
// What a programme has done and may do next: cycles per block and in all,
// the block to run or the inspection due, and the verdict. Pure functions of
// the programme's data, so every rule is tested as a table.
//
// Counting is in the controller's count (one per cycle of the life mode). A
// run's cycles are the counts it went beyond the count it started from; a
// block's are its runs' together, never more than its count; the programme's
// are its blocks'. The first refused action fixes the verdict: what follows
// is run for information and counts toward no class.
#include <QString>
#include <cstdint>
#include <optional>

#include "endurance/Programme.h"

namespace rig {

// Cycles done in block `block` (1-based).
int32_t BlockDone(const Programme& p, int block);
// Cycles done in all blocks.
int32_t CumulativeCount(const Programme& p);
// Cycles of the blocks before `block`: the programme's count when it starts.
int32_t BlockBase(const Programme& p, int block);
// The cumulative operation that the count `count` of the open run stands for.
int32_t OperationOf(const Programme& p, const BlockRun& run, int32_t count);

enum class StepKind {
  StartBlock,     // the block has not begun
  ContinueBlock,  // the block was begun and stopped before its count
  Running,        // a run of the block is the station's test
  Inspect,        // the block is done; its inspection is not recorded
  Completed,      // every block is done
  Ended,          // the operator ended the programme
};
struct ProgrammeStep {
  StepKind Kind = StepKind::StartBlock;
  int Block = 0;  // the block concerned (1-based); 0 for Completed and Ended
};
ProgrammeStep NextStep(const Programme& p);

// Why the next block may not start now; empty when it may.
QString BlockStartRefusal(const Programme& p);
// Why an inspection may not be recorded for `block` now; empty when it may.
QString InspectionRefusal(const Programme& p, int block);
const Inspection* FindInspection(const Programme& p, int block);

// --- changes, each keeping the rules above ---------------------------------
// A run of the current block started from `baseCount`.
void OpenRun(Programme& p, const QDateTime& startTime, int32_t baseCount);
// The open run reached `count` (a lower count, as a repeated cycle after a
// resume reports, changes nothing).
void AdvanceRun(Programme& p, int32_t count);
void CloseRun(Programme& p);
BlockRun* OpenRunOf(Programme& p);
const BlockRun* OpenRunOf(const Programme& p);
// The first refusal fixes the failure; later ones change nothing. True when
// this one was the first.
bool NoteRefusal(Programme& p, const ProgrammeFailure& failure);

// --- the verdict -------------------------------------------------------------
enum class VerdictKind { InProgress, Reached, Failed, Incomplete };
struct Verdict {
  VerdictKind Kind = VerdictKind::InProgress;
  QString Reached;  // the highest class reached; empty when none
  QString Aimed;
  int32_t Done = 0;    // cycles that count toward the class
  int32_t Target = 0;
  std::optional<ProgrammeFailure> Failure;
};
Verdict VerdictOf(const Programme& p);
// "M1 reached, M2 failed at 6,527 (B1 拒合)", for logs and reports.
QString VerdictText(const Verdict& v);
// "已达到M1，M2在第6,527次失败（第4段，B1拒合）", on screen.
QString VerdictTextZh(const Verdict& v);
// "B1拒合" / "B1 拒合" (`spaced`).
QString FailureBreakText(const ProgrammeFailure& f, bool spaced);
// "6,527".
QString CountText(int64_t n);

}  // namespace rig
