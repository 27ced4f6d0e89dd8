#pragma once
// The save button of a station: what the station ran, saved as one test.
#include <QDateTime>
#include <QString>

#include "storage/RecordStore.h"

namespace rig {

class INotifier;
class IStationView;
class RecoveryJournal;
struct StationShared;

// What the station holds, as it would be saved at `now`: identity and refusal
// option from its panel; mode and parameters as the test was started; count
// from its state. The times are always whole: a test still running, or one
// whose end was never seen, ends `now`; the end is never before the start.
TestSummary StationTestSummary(int station, const StationShared& shared, const IStationView& view,
                               const QDateTime& now);

// Builds the test from the station's panel (identity, parameters, refusal
// option) and shared state (times, mode, count, queued actions) and saves it
// under `exeDir`. `journal`, when given, is told the test's name before its
// summary row is committed.
SaveOutcome SaveTestRecord(const QString& exeDir, int station, StationShared& shared, const IStationView& view,
                           const QDateTime& now = QDateTime::currentDateTime(), RecoveryJournal* journal = nullptr);

// The save button's whole job: save, then tell the operator. Success lets
// the station's model go of the test (which redraws the save button) and
// clears the station's recovery journal; a failure says why and keeps every
// action queued (and journalled), so the operator can try again. True when
// saved; else `problem`, when given, says why.
bool SaveStationTest(const QString& exeDir, int station, StationShared& shared, IStationView& view,
                     INotifier& notifier, RecoveryJournal* journal = nullptr,
                     const QDateTime& now = QDateTime::currentDateTime(), QString* problem = nullptr);

}  // namespace rig
