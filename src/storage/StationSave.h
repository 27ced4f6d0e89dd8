#pragma once
// The save button of a station: what the station ran, saved as one test.
#include <QDateTime>
#include <QString>

#include "storage/RecordStore.h"

namespace rig {

class INotifier;
class IStationView;
struct StationShared;

// Builds the test from the station's panel (identity, parameters, refusal
// option) and shared state (times, mode, count, queued actions) and saves it
// under `exeDir`.
SaveOutcome SaveTestRecord(const QString& exeDir, int station, StationShared& shared, const IStationView& view,
                           const QDateTime& now = QDateTime::currentDateTime());

// The save button's whole job: save, then tell the operator. Success
// disables the button; a failure says why and leaves the button enabled and
// every action queued, so the operator can try again.
void SaveStationTest(const QString& exeDir, int station, StationShared& shared, IStationView& view,
                     INotifier& notifier);

}  // namespace rig
