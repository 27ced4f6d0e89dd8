#pragma once
// Saving a finished test: one summary row in SaveData.db and a detail file,
// copied from the template SpaceData.db, with one row per queued action.
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "core/ActionRecord.h"
#include "storage/TestSummary.h"

namespace rig {

struct SaveOutcome {
  bool Ok = false;
  QString Error;       // why the save failed, for the operator
  QString DetailPath;  // the detail file written (empty when none)
  int64_t AutoId = 0;  // the summary row's AutoID (0 when none)
};

// A test as it has just been saved, for whoever keeps a copy elsewhere.
struct JustSavedTest {
  const TestSummary& Test;
  const std::array<int, 5>& Params;  // Param1..Param5 as saved
  const SaveOutcome& Outcome;
  const ActionQueue& Actions;
};

// Told of every successful save (the save button's and a recovery's), after
// the summary row is written and before the queue is emptied, on the saving
// thread. It must not throw: the local save has succeeded whatever it does.
class ISavedTestSink {
 public:
  virtual ~ISavedTestSink() = default;
  virtual void TestSaved(const QString& exeDir, const JustSavedTest& saved) noexcept = 0;
};

// The program's one sink (the lab outbox); nullptr removes it.
void SetSavedTestSink(ISavedTestSink* sink);

// The bytes a summary row's DetailSaveDBName holds for the detail file
// `detailPath`: what names a saved test.
QByteArray DetailKey(const QString& detailPath);

// Told the DetailSaveDBName of the summary row about to be written, once the
// detail file is on the disk and before the row is committed. It must not
// throw.
using BeforeSummaryRow = std::function<void(const QByteArray& detailKey)>;

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
                            const QDateTime& now = QDateTime::currentDateTime(),
                            const BeforeSummaryRow& beforeRow = {});

// The AutoID of the saved test whose summary row names `detailKey`; 0 when
// SaveData.db under `exeDir` holds none or does not exist yet. Throws
// ESQLiteException when it cannot be read.
int64_t FindSavedTest(const QString& exeDir, const QByteArray& detailKey);

}  // namespace rig
