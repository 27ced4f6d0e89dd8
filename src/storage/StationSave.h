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

// What the station ran, as it would be saved now: identity, parameters and
// refusal option from its panel; times, mode and count from its state.
TestSummary StationTestSummary(int station, const StationShared& shared, const IStationView& view);

// Builds the test from the station's panel (identity, parameters, refusal
// option) and shared state (times, mode, count, queued actions) and saves it
// under `exeDir`.
SaveOutcome SaveTestRecord(const QString& exeDir, int station, StationShared& shared, const IStationView& view,
                           const QDateTime& now = QDateTime::currentDateTime());

// The save button's whole job: save, then tell the operator. Success
// disables the button and clears the station's recovery journal; a failure
// says why and leaves the button enabled and every action queued (and
// journalled), so the operator can try again.
void SaveStationTest(const QString& exeDir, int station, StationShared& shared, IStationView& view,
                     INotifier& notifier, RecoveryJournal* journal = nullptr);

}  // namespace rig
