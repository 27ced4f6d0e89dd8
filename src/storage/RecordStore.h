#pragma once
// Saving a finished test: one summary row in SaveData.db and a detail file,
// copied from the template SpaceData.db, with one row per queued action.
#include <QDateTime>
#include <QString>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace rig {

struct SaveOutcome {
  bool Ok = false;
  QString Error;       // why the save failed, for the operator
  QString DetailPath;  // the detail file written (empty when none)
};

// Saves `test` under the program folder `exeDir` (ending with a separator):
// the day folder of `now`, the detail file named from the start time and
// station, then the summary row.
//
// All or nothing: the queue is emptied only when the test is fully saved; on
// failure it keeps every action so the save can be tried again, and no
// summary row points at a half-written detail file. An existing detail file
// is never replaced; a second test in the same second gets a name of its own.
// Entered texts are bound, never pasted into SQL.
SaveOutcome WriteTestRecord(const QString& exeDir, const TestSummary& test, ActionQueue& actions,
                            const QDateTime& now = QDateTime::currentDateTime());

}  // namespace rig
