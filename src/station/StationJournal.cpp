#include "station/StationJournal.h"

#include "station/GlobVar.h"
#include "station/StationSave.h"

namespace rig {

TStationJournal::TStationJournal(const QString& exeDir, int station, StationShared& shared, const IStationView& view)
    : station_(station), shared_(shared), view_(view), journal_(exeDir, station) {}

void TStationJournal::RunStarted() { journal_.BeginRun(StationTestSummary(station_, shared_, view_, now_())); }

void TStationJournal::ActionQueued(const ActionRecord& record) { journal_.Append(record, now_()); }

void TStationJournal::RunDiscarded() { journal_.Clear(); }

}  // namespace rig
