#include "station/GlobVar.h"

namespace rig {

StationShared* GlobVar::Station(int station) {
  if (station < 1 || station > kStationCount) return nullptr;
  return &stations_[station - 1];
}

const StationShared* GlobVar::Station(int station) const {
  if (station < 1 || station > kStationCount) return nullptr;
  return &stations_[station - 1];
}

void GlobVar::ClearActionQueue(int station) {
  if (StationShared* s = Station(station)) s->Actions.clear();
}

}  // namespace rig
