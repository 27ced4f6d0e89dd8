#include "endurance/ProgrammeRules.h"

#include <QLocale>
#include <algorithm>

namespace rig {

QString CountText(int64_t n) { return QLocale(QLocale::English).toString(static_cast<qlonglong>(n)); }

int32_t BlockDone(const Programme& p, int block) {
  if (block < 1 || block > static_cast<int>(p.Blocks.size())) return 0;
  int64_t done = 0;
  for (const BlockRun& r : p.Runs)
    if (r.Block == block) done += r.Cycles();
  return static_cast<int32_t>(std::min<int64_t>(done, p.Blocks[block - 1].Count));
}

int32_t CumulativeCount(const Programme& p) {
  int32_t n = 0;
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) n += BlockDone(p, b);
  return n;
}

int32_t BlockBase(const Programme& p, int block) {
  int32_t n = 0;
  for (int b = 1; b < block && b <= static_cast<int>(p.Blocks.size()); ++b) n += BlockDone(p, b);
  return n;
}

int32_t OperationOf(const Programme& p, const BlockRun& run, int32_t count) {
  int64_t before = 0;  // the block's cycles in its runs before this one
  for (const BlockRun& r : p.Runs)
    if (r.Block == run.Block && &r != &run) before += r.Cycles();  // `run` is one of p.Runs
  return BlockBase(p, run.Block) + static_cast<int32_t>(before) + std::max(0, count - run.BaseCount);
}

const BlockRun* OpenRunOf(const Programme& p) {
  for (const BlockRun& r : p.Runs)
    if (r.Open) return &r;
  return nullptr;
}
BlockRun* OpenRunOf(Programme& p) { return const_cast<BlockRun*>(OpenRunOf(std::as_const(p))); }

const Inspection* FindInspection(const Programme& p, int block) {
  for (const Inspection& i : p.Inspections)
    if (i.Block == block) return &i;
  return nullptr;
}

ProgrammeStep NextStep(const Programme& p) {
  if (p.EndedAt.isValid()) return {StepKind::Ended, 0};
  if (const BlockRun* r = OpenRunOf(p)) return {StepKind::Running, r->Block};
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) {
    const int32_t done = BlockDone(p, b);
    if (done >= p.Blocks[b - 1].Count) continue;
    if (b > 1 && !FindInspection(p, b - 1)) return {StepKind::Inspect, b - 1};
    return {done > 0 ? StepKind::ContinueBlock : StepKind::StartBlock, b};
  }
  return {StepKind::Completed, 0};
}

QString BlockStartRefusal(const Programme& p) {
  const ProgrammeStep s = NextStep(p);
  switch (s.Kind) {
    case StepKind::Ended: return QStringLiteral("试验方案已结束");
    case StepKind::Completed: return QStringLiteral("试验方案的各段都已完成");
    case StepKind::Running: return QStringLiteral("第%1段正在进行").arg(s.Block);
    case StepKind::Inspect: return QStringLiteral("请先记录第%1段后的检查").arg(s.Block);
    case StepKind::StartBlock:
    case StepKind::ContinueBlock: break;
  }
  const ProgrammeBlock& b = p.Blocks[s.Block - 1];
  if (!b.VoltageNote.trimmed().isEmpty() && b.VoltageConfirmedBy.trimmed().isEmpty())
    return QStringLiteral("请先确认第%1段的控制电压（%2）").arg(s.Block).arg(b.VoltageNote);
  return QString();
}

QString InspectionRefusal(const Programme& p, int block) {
  if (block < 1 || block > static_cast<int>(p.Blocks.size())) return QStringLiteral("没有第%1段").arg(block);
  if (BlockDone(p, block) < p.Blocks[block - 1].Count) return QStringLiteral("第%1段还没有做完").arg(block);
  if (FindInspection(p, block)) return QStringLiteral("第%1段后的检查已记录").arg(block);
  return QString();
}

void OpenRun(Programme& p, const QDateTime& startTime, int32_t baseCount) {
  const ProgrammeStep s = NextStep(p);
  if (s.Kind != StepKind::StartBlock && s.Kind != StepKind::ContinueBlock) return;
  BlockRun r;
  r.Block = s.Block;
  r.StartTime = startTime;
  r.BaseCount = r.LastCount = baseCount;
  r.Open = true;
  p.Runs.push_back(r);
}

void AdvanceRun(Programme& p, int32_t count) {
  if (BlockRun* r = OpenRunOf(p)) r->LastCount = std::max(r->LastCount, count);
}

void CloseRun(Programme& p) {
  if (BlockRun* r = OpenRunOf(p)) r->Open = false;
}

bool NoteRefusal(Programme& p, const ProgrammeFailure& failure) {
  if (p.Failure) return false;
  p.Failure = failure;
  return true;
}

Verdict VerdictOf(const Programme& p) {
  Verdict v;
  v.Aimed = p.ClassName;
  v.Target = p.Target;
  v.Failure = p.Failure;
  v.Done = p.Failure ? std::max(0, p.Failure->Operation - 1) : CumulativeCount(p);
  // The highest class whose operations were all done before any failure.
  const auto classes = ClassesOf(p.Standard);
  for (const EnduranceClass& c : classes)
    if (c.Operations <= v.Done && c.Operations <= p.Target) v.Reached = QString::fromUtf16(c.Name);
  if (classes.empty() && v.Done >= p.Target) v.Reached = p.ClassName;
  if (p.Failure) v.Kind = VerdictKind::Failed;
  else if (NextStep(p).Kind == StepKind::Completed || (p.EndedAt.isValid() && v.Done >= p.Target)) v.Kind = VerdictKind::Reached;
  else if (p.EndedAt.isValid()) v.Kind = VerdictKind::Incomplete;
  return v;
}

QString FailureBreakText(const ProgrammeFailure& f, bool spaced) {
  static const char* kBreaks[] = {"A1", "B1", "C1"};
  const QString name = f.Break >= 0 && f.Break < kBreakCount ? QLatin1String(kBreaks[f.Break]) : QStringLiteral("?");
  return name + (spaced ? QStringLiteral(" ") : QString()) + DeviationText(f.Kind);
}

QString VerdictText(const Verdict& v) {
  switch (v.Kind) {
    case VerdictKind::Reached: return QStringLiteral("%1 reached (%2 operations)").arg(v.Reached, CountText(v.Done));
    case VerdictKind::Failed:
      return QStringLiteral("%1, %2 failed at %3 (%4)")
          .arg(v.Reached.isEmpty() ? QStringLiteral("no class reached") : v.Reached + QStringLiteral(" reached"), v.Aimed,
               CountText(v.Failure->Operation), FailureBreakText(*v.Failure, true));
    case VerdictKind::Incomplete:
      return QStringLiteral("incomplete: %1 of %2 operations%3")
          .arg(CountText(v.Done), CountText(v.Target),
               v.Reached.isEmpty() ? QString() : QStringLiteral(", %1 reached").arg(v.Reached));
    case VerdictKind::InProgress: break;
  }
  return QStringLiteral("in progress: %1 of %2 operations").arg(CountText(v.Done), CountText(v.Target));
}

QString VerdictTextZh(const Verdict& v) {
  switch (v.Kind) {
    case VerdictKind::Reached: return QStringLiteral("已达到%1（%2次）").arg(v.Reached, CountText(v.Done));
    case VerdictKind::Failed:
      return QStringLiteral("%1，%2在第%3次失败（第%4段，%5）")
          .arg(v.Reached.isEmpty() ? QStringLiteral("未达到任何等级") : QStringLiteral("已达到") + v.Reached, v.Aimed,
               CountText(v.Failure->Operation))
          .arg(v.Failure->Block)
          .arg(FailureBreakText(*v.Failure, false));
    case VerdictKind::Incomplete:
      return QStringLiteral("试验未完成（%1/%2次）%3")
          .arg(CountText(v.Done), CountText(v.Target),
               v.Reached.isEmpty() ? QString() : QStringLiteral("，已达到") + v.Reached);
    case VerdictKind::InProgress: break;
  }
  return QStringLiteral("进行中（%1/%2次）").arg(CountText(v.Done), CountText(v.Target));
}

}  // namespace rig
