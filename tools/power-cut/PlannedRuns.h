#pragma once
// The tests a recorded run makes, all derived from one seed, so the checker
// knows what was sent without reading the run's own files.
#include <QDateTime>
#include <QString>
#include <vector>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace powercut {

struct PlannedRun {
  int Number = 0;  // 0, 1, 2: the order the runs begin in
  rig::TestSummary Summary;  // EndTime: the last action's time
  int Actions = 0;
  rig::ActionRecord Action(int i) const;   // i from 0
  QDateTime ActionTime(int i) const;
};

// Run 0 on station 1 (the installation's first test), run 1 on station 2
// at the same time, run 2 on station 1 after run 0 is saved, left unsaved.
std::vector<PlannedRun> PlannedRuns(unsigned seed);

// The moment the recorded run saves; it names the day folder.
QDateTime SaveMoment();

}  // namespace powercut
