#pragma once
// The endurance programme the recorded run's station 1 works through, stored
// as the programme runner stores it: made, a block's run opened before its
// test begins, its count stored now and then as actions arrive, the run
// closed when the test finishes (before the save), the inspection recorded,
// the next block's run opened. Each stored step leaves a mark: what the
// program has promised about the programme.
#include <QString>
#include <vector>

#include "PlannedRuns.h"
#include "endurance/Programme.h"

namespace powercut {

class ProgrammeSteps {
 public:
  ProgrammeSteps(QString root, const std::vector<PlannedRun>& runs);
  void Make();
  // Run `run` (0 or 2) begins as block 1 or 2.
  void Open(int run);
  // The open run's test reached its `actions`th action: stored every `every`.
  void Arrived(int run, int actions, int every);
  // The run's test finished with all its actions.
  void Close(int run);
  void Inspect();

 private:
  void Store(const QString& mark);

  QString root_;
  const std::vector<PlannedRun>& runs_;
  rig::Programme programme_;
  std::vector<rig::ActionTime> times_;
};

// The block run `run` is: 0 → 1, 2 → 2; 0 for a run of station 2.
int BlockOfRun(int run);

}  // namespace powercut
