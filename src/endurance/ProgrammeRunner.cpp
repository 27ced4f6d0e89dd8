#include "endurance/ProgrammeRunner.h"

#include <exception>

#include "core/RunLog.h"
#include "station/GlobVar.h"
#include "station/StationController.h"
#include "station/StationTestControl.h"
#include "station/StationView.h"
#include "storage/JournalRecovery.h"
#include "testing/CommandFrames.h"
#include "testing/RunPlan.h"
#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

int SetCountParameter(int mode) {
  const TestModeInfo* m = FindTestMode(mode);
  return m ? m->SetCountParameter : 0;
}

QString StepText(const Programme& p) {
  const ProgrammeStep s = NextStep(p);
  switch (s.Kind) {
    case StepKind::StartBlock: return QStringLiteral("可开始第%1段").arg(s.Block);
    case StepKind::ContinueBlock: return QStringLiteral("第%1段未做完，可继续").arg(s.Block);
    case StepKind::Running: return QStringLiteral("第%1段进行中").arg(s.Block);
    case StepKind::Inspect: return QStringLiteral("检查暂停：请记录第%1段后的检查").arg(s.Block);
    case StepKind::Completed: return QStringLiteral("各段已完成");
    case StepKind::Ended: return QStringLiteral("已结束");
  }
  return QString();
}

}  // namespace

TProgrammeRunner::TProgrammeRunner(TStationController& station, TStationTestControl& control, const QString& exeDir,
                                   Clock clock)
    : station_(station),
      control_(control),
      store_(exeDir),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {
  control_.AddRunObserver(this);
}

TProgrammeRunner::~TProgrammeRunner() { control_.RemoveRunObserver(this); }

int TProgrammeRunner::Station() const { return station_.Station(); }

bool TProgrammeRunner::Store() {
  try {
    store_.Save(*programme_, pendingTimes_);
    pendingTimes_.clear();
    storedAtMs_ = clock_().toMSecsSinceEpoch();
    trouble_.clear();
    return true;
  } catch (const std::exception& e) {
    trouble_ = QStringLiteral("试验方案无法保存：%1").arg(QString::fromLocal8Bit(e.what()));
    WriteLog(QStringLiteral("工位%1：%2").arg(Station()).arg(trouble_));
    return false;
  }
}

QString TProgrammeRunner::Attach(Programme p) {
  if (programme_ && OpenRunOf(*programme_)) return QStringLiteral("工位%1的试验方案正在进行").arg(Station());
  if (programme_ && !pendingTimes_.empty()) Store();  // the arrivals are the previous programme's
  pendingTimes_.clear();
  if (p.Id == 0) {
    if (const std::optional<ProgrammeProblem> bad = CheckProgramme(p)) return bad->Field + QStringLiteral("：") + bad->Message;
    p.Station = Station();
    if (!p.CreatedAt.isValid()) p.CreatedAt = clock_();
  }
  p.Station = Station();
  std::optional<Programme> previous = std::move(programme_);
  programme_ = std::move(p);
  if (!Store()) {
    const QString why = trouble_;
    programme_ = std::move(previous);
    return why;
  }
  tracking_ = adopted_ = false;
  WriteLog(QStringLiteral("工位%1：试验方案%2（%3 %4）%5").arg(Station()).arg(programme_->Id)
               .arg(programme_->Identity.SwitchModel, programme_->Identity.FactoryNumber, StepText(*programme_)));
  return QString();
}

QString TProgrammeRunner::ConfirmVoltage(int block, const QString& byWhom) {
  if (!programme_) return QStringLiteral("没有试验方案");
  if (block < 1 || block > static_cast<int>(programme_->Blocks.size())) return QStringLiteral("没有第%1段").arg(block);
  if (byWhom.trimmed().isEmpty()) return QStringLiteral("请填写确认人");
  ProgrammeBlock& b = programme_->Blocks[block - 1];
  const ProgrammeBlock before = b;
  b.VoltageConfirmedBy = byWhom.trimmed();
  b.VoltageConfirmedAt = clock_();
  if (!Store()) {
    b = before;
    return trouble_;
  }
  WriteLog(QStringLiteral("工位%1：%2确认第%3段控制电压（%4）").arg(Station()).arg(b.VoltageConfirmedBy).arg(block).arg(b.VoltageNote));
  return QString();
}

QString TProgrammeRunner::StartNextBlock() {
  if (!programme_) return QStringLiteral("没有试验方案");
  Programme& p = *programme_;
  if (const QString why = BlockStartRefusal(p); !why.isEmpty()) return why;
  const TStationModel& model = station_.Shared().Model;
  if (!model.Connected()) return QStringLiteral("工位%1未连接").arg(Station());
  if (model.IsRunning() || model.Run() == RunState::StartRequested) return QStringLiteral("工位%1正在测试").arg(Station());
  const int block = NextStep(p).Block;
  const ProgrammeBlock& b = p.Blocks[block - 1];
  const int32_t left = b.Count - BlockDone(p, block);

  IStationView& view = station_.View();
  const ProgrammeIdentity& id = p.Identity;
  const QString identity[kIdentityFieldCount] = {id.SwitchModel, id.FactoryNumber, id.StationText, id.OperatorName};
  for (int f = 0; f < kIdentityFieldCount; ++f) view.SetIdentityText(f, identity[f]);
  station_.SelectMode(b.Mode);
  for (const auto& [number, value] : b.Delays) view.SetParameterText(number, QString::number(value));
  view.SetParameterText(SetCountParameter(b.Mode), QString::number(left));

  // The run is stored before its start goes out: a kill in between leaves a
  // run of no cycles, never cycles without a run.
  OpenRun(p, clock_(), 0);
  if (!Store()) {
    p.Runs.pop_back();
    return trouble_;
  }
  starting_ = true;
  const bool started = control_.StartFreshTest();
  starting_ = false;
  if (!started || !tracking_) {
    if (OpenRunOf(p)) p.Runs.pop_back();
    Store();
    return QStringLiteral("第%1段没有开始").arg(block);
  }
  WriteLog(QStringLiteral("工位%1：试验方案第%2段开始，%3次（累计%4次）")
               .arg(Station()).arg(block).arg(left).arg(CountText(CumulativeCount(p))));
  return QString();
}

QString TProgrammeRunner::RecordInspection(Inspection i) {
  if (!programme_) return QStringLiteral("没有试验方案");
  if (const QString why = InspectionRefusal(*programme_, i.Block); !why.isEmpty()) return why;
  if (i.Checked.trimmed().isEmpty()) return QStringLiteral("请填写检查内容");
  if (i.Work == InspectionWork::Other && i.WorkText.trimmed().isEmpty()) return QStringLiteral("请填写所做的其他处理");
  if (i.ByWhom.trimmed().isEmpty()) return QStringLiteral("请填写检查人");
  if (!i.At.isValid()) i.At = clock_();
  programme_->Inspections.push_back(std::move(i));
  if (!Store()) {
    programme_->Inspections.pop_back();
    return trouble_;
  }
  WriteLog(QStringLiteral("工位%1：试验方案第%2段后的检查已记录（%3）")
               .arg(Station()).arg(programme_->Inspections.back().Block).arg(programme_->Inspections.back().ByWhom));
  return QString();
}

QString TProgrammeRunner::End() {
  if (!programme_) return QStringLiteral("没有试验方案");
  if (programme_->EndedAt.isValid()) return QStringLiteral("试验方案已结束");
  if (const BlockRun* r = OpenRunOf(*programme_))
    return QStringLiteral("第%1段的测试还没有结束，请先取消测试并保存").arg(r->Block);
  programme_->EndedAt = clock_();
  if (!Store()) {
    programme_->EndedAt = QDateTime();
    return trouble_;
  }
  WriteLog(QStringLiteral("工位%1：试验方案%2结束：%3").arg(Station()).arg(programme_->Id).arg(VerdictText(VerdictOf(*programme_))));
  return QString();
}

QString TProgrammeRunner::PanelLine() const {
  if (!programme_) return QString();
  const Programme& p = *programme_;
  const ProgrammeStep s = NextStep(p);
  const int block = s.Block ? s.Block : static_cast<int>(p.Blocks.size());
  QString line = QStringLiteral("试验方案%1：第%2/%3段，累计%4次，%5；%6")
                     .arg(p.ClassName)
                     .arg(block)
                     .arg(p.Blocks.size())
                     .arg(CountText(CumulativeCount(p)), StepText(p), VerdictTextZh(VerdictOf(p)));
  if (const QString drift = DriftWarning(Cycles(), p.DriftLimit); !drift.isEmpty())
    line += QStringLiteral("；警告：") + drift;
  if (!trouble_.isEmpty()) line += QStringLiteral("；") + trouble_;
  return line;
}

void TProgrammeRunner::DescribeLive(LiveState& live) const {
  if (!programme_) return;
  const Programme& p = *programme_;
  live.Programme = QStringLiteral("%1 %2").arg(p.ClassName, p.Identity.FactoryNumber).trimmed();
  live.Block = StepText(p) + QStringLiteral("（共%1段）").arg(p.Blocks.size());
}

std::vector<CycleStats> TProgrammeRunner::Cycles() const {
  std::vector<CycleStats> blocks;
  if (programme_)
    for (const ProgrammeBlock& b : programme_->Blocks) blocks.push_back(b.Cycles);
  return blocks;
}

void TProgrammeRunner::RunStarted() {
  if (!programme_) return;
  const StationShared& shared = station_.Shared();
  // Only the start just written opens the block's run: actions adopted
  // while the start's question was open are a test of their own.
  if (starting_ && shared.Model.IsRunning()) {
    if (BlockRun* r = OpenRunOf(*programme_)) {
      r->StartTime = shared.State.StartTime;
      r->BaseCount = r->LastCount = ResumeCount(shared.Run.CountDone);
      tracking_ = true;
      cycleClock_.Break();
    }
    return;
  }
  if (tracking_) EndRun();  // a test the programme did not start: not a block's
  if (programme_->EndedAt.isValid()) return;
  adopted_ = !starting_ && !shared.Model.IsRunning() && NextStep(*programme_).Kind == StepKind::ContinueBlock;
  if (!adopted_) WriteLog(QStringLiteral("工位%1：这次测试不是试验方案的一段，次数不计入试验方案").arg(Station()));
}

void TProgrammeRunner::TakeOnCutBlock(const ActionRecord& first) {
  adopted_ = false;
  Programme& p = *programme_;
  const ProgrammeStep step = NextStep(p);
  const BlockRun* last = p.Runs.empty() ? nullptr : &p.Runs.back();
  const ProgrammeBlock& block = p.Blocks[step.Block - 1];
  const int32_t left = block.Count - BlockDone(p, step.Block);
  const bool goesOn = step.Kind == StepKind::ContinueBlock && last && last->Block == step.Block &&
                      station_.Shared().Run.Mode == block.Mode && first.Count >= last->LastCount &&
                      first.Count <= last->LastCount + left;
  if (!goesOn) {
    WriteLog(QStringLiteral("工位%1：这次测试不是试验方案的一段，次数不计入试验方案").arg(Station()));
    return;
  }
  const int32_t from = last->LastCount;
  OpenRun(p, station_.Shared().State.StartTime, from);
  tracking_ = true;
  cycleClock_.Break();
  Store();
  WriteLog(QStringLiteral("工位%1：控制器在程序停止期间继续了试验方案第%2段（从第%3次起），这次测试计入试验方案")
               .arg(Station()).arg(step.Block).arg(CountText(BlockBase(p, step.Block) + BlockDone(p, step.Block))));
}

void TProgrammeRunner::ActionQueued(const ActionRecord& record) {
  if (adopted_ && programme_) TakeOnCutBlock(record);
  if (!tracking_ || !programme_) return;
  AdvanceRun(*programme_, record.Count);
  const BlockRun* run = OpenRunOf(*programme_);
  if (!run) return;
  const int64_t arrived = clock_().toMSecsSinceEpoch();
  const int perCycle = ActionsPerCycle(programme_->Blocks[run->Block - 1].Mode);
  const bool firstOfCycle = perCycle > 0 && (record.ActionNo - 1) % perCycle == 0;
  if (const std::optional<double> ms = cycleClock_.Action(record.Count, firstOfCycle, arrived))
    programme_->Blocks[run->Block - 1].Cycles.Add(*ms);
  pendingTimes_.push_back({run->Block, OperationOf(*programme_, *run, record.Count), record.ActionNo, arrived});
  // Stored every 1,000 actions (a fast rig) or every minute (a real rig's
  // pace), whichever comes first: a kill loses a minute of arrivals and
  // cycle times at most, and the writing stays a few ms now and then.
  constexpr size_t kTimesPerWrite = 1000;
  constexpr int64_t kMsBetweenWrites = 60000;
  constexpr size_t kTimesKept = 100000;  // a store that keeps failing must not take the memory
  const bool due = pendingTimes_.size() >= kTimesPerWrite || arrived - storedAtMs_ >= kMsBetweenWrites;
  if (due && !Store() && pendingTimes_.size() >= kTimesKept) {
    WriteLog(QStringLiteral("工位%1：%2个动作的到达时间无法保存，已丢弃").arg(Station()).arg(pendingTimes_.size()));
    pendingTimes_.clear();
  }
}

void TProgrammeRunner::LineLost() {
  cycleClock_.Break();  // the next cycle spans the outage
  if (programme_) Store();
}

void TProgrammeRunner::ActionRefused(const ActionRecord& record, const BreakDeviations& found, bool marked) {
  if (!tracking_ || !programme_ || programme_->Failure) return;
  const BlockRun* run = OpenRunOf(*programme_);
  if (!run) return;
  ProgrammeFailure f;
  f.Operation = OperationOf(*programme_, *run, record.Count);
  f.Block = run->Block;
  f.ActionNo = record.ActionNo;
  for (int b = kBreakCount - 1; b >= 0; --b)
    if (found[b] != Deviation::None) f.Break = b, f.Kind = found[b];
  f.Marked = marked;
  f.At = clock_();
  NoteRefusal(*programme_, f);
  Store();
  WriteLog(QStringLiteral("工位%1：试验方案第%2段第%3次拒动作（%4），判定：%5")
               .arg(Station()).arg(f.Block).arg(CountText(f.Operation), FailureBreakText(f, false),
                    VerdictTextZh(VerdictOf(*programme_))));
}

void TProgrammeRunner::EndRun() {
  if (!tracking_ || !programme_) return;
  tracking_ = false;
  CloseRun(*programme_);
  Store();
  const ProgrammeStep s = NextStep(*programme_);
  if (s.Kind == StepKind::Inspect)
    WriteLog(QStringLiteral("工位%1：试验方案第%2段完成（累计%3次），等待检查")
                 .arg(Station()).arg(s.Block).arg(CountText(CumulativeCount(*programme_))));
}

std::vector<Programme> SettleInterruptedProgrammes(const QString& exeDir) {
  TProgrammeStore store(exeDir);
  std::vector<Programme> open = store.Unfinished();
  std::vector<LeftoverJournal> journals;
  bool journalsRead = false;
  for (Programme& p : open) {
    BlockRun* run = OpenRunOf(p);
    if (!run) continue;
    if (!journalsRead) journals = FindLeftoverJournals(exeDir), journalsRead = true;
    for (const LeftoverJournal& j : journals)
      // Whole seconds in the journal, milliseconds in the run opened just before the start.
      if (j.Readable && j.Station == p.Station && j.Run.StartTime >= run->StartTime.addSecs(-1))
        AdvanceRun(p, j.Run.CountDone);
    CloseRun(p);
    store.Save(p);
    WriteLog(QStringLiteral("工位%1：试验方案%2第%3段中断的测试计%4次（累计%5次）")
                 .arg(p.Station).arg(p.Id).arg(p.Runs.back().Block).arg(run->Cycles()).arg(CountText(CumulativeCount(p))));
  }
  return open;
}

QString ProgrammeOfferQuestion(const Programme& p) {
  const ProgrammeStep s = NextStep(p);
  return QStringLiteral("工位%1有未结束的试验方案（%2 %3，%4）：%5，累计%6/%7次，%8。\n是否继续这个试验方案？")
      .arg(p.Station)
      .arg(p.Identity.SwitchModel, p.Identity.FactoryNumber, p.ClassName)
      .arg(s.Block ? QStringLiteral("第%1段").arg(s.Block) : QStringLiteral("各段已完成"))
      .arg(CountText(CumulativeCount(p)), CountText(p.Target), VerdictTextZh(VerdictOf(p)));
}

}  // namespace rig
