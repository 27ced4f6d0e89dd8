#include "ProgrammeSteps.h"

#include "RunMark.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeStore.h"

namespace powercut {

int BlockOfRun(int run) { return run == 0 ? 1 : run == 2 ? 2 : 0; }

ProgrammeSteps::ProgrammeSteps(QString root, const std::vector<PlannedRun>& runs)
    : root_(std::move(root)), runs_(runs) {
  programme_ = rig::PresetProgramme(rig::EnduranceStandard::Custom, QStringLiteral("断电"), 18, 20000);
  programme_.Station = 1;
  programme_.Identity.SwitchModel = runs_[0].Summary.OpenType;
  programme_.Identity.FactoryNumber = runs_[0].Summary.OutIndex;
  programme_.Blocks.resize(2);
  // Block 1 is run 0 whole; block 2 is more than run 2, which the cut leaves running.
  programme_.Blocks[0].Count = runs_[0].Summary.CountDone;
  programme_.Blocks[1].Count = runs_[2].Summary.CountDone + 100;
  programme_.Target = programme_.Blocks[0].Count + programme_.Blocks[1].Count;
  programme_.CreatedAt = runs_[0].Summary.StartTime.addSecs(-60);
}

void ProgrammeSteps::Store(const QString& mark) {
  rig::TProgrammeStore(root_).Save(programme_, times_);
  times_.clear();
  Mark(mark);
}

void ProgrammeSteps::Make() { Store(QStringLiteral("programme 0 0")); }

void ProgrammeSteps::Open(int run) {
  rig::OpenRun(programme_, runs_[run].Summary.StartTime, 0);
  Store(QStringLiteral("programme-open %1 0").arg(run));
}

void ProgrammeSteps::Arrived(int run, int actions, int every) {
  const rig::ActionRecord a = runs_[run].Action(actions - 1);
  rig::AdvanceRun(programme_, a.Count);
  times_.push_back({BlockOfRun(run), a.Count, a.ActionNo, runs_[run].ActionTime(actions - 1).toMSecsSinceEpoch()});
  if (actions % every == 0) Store(QStringLiteral("programme-count %1 %2").arg(run).arg(a.Count));
}

void ProgrammeSteps::Close(int run) {
  rig::AdvanceRun(programme_, runs_[run].Summary.CountDone);
  rig::CloseRun(programme_);
  Store(QStringLiteral("programme-closed %1 %2").arg(run).arg(runs_[run].Summary.CountDone));
}

void ProgrammeSteps::Inspect() {
  rig::Inspection i;
  i.Block = 1;
  i.Checked = QStringLiteral("弹簧、连杆");
  i.ByWhom = QStringLiteral("张工");
  i.At = runs_[0].Summary.EndTime.addSecs(300);
  programme_.Inspections.push_back(i);
  Store(QStringLiteral("programme-inspected 0 1"));
}

}  // namespace powercut
