#pragma once
// Turns what the live view sees, tick by tick, into the events people away
// from the rig hear of: a refused action, a controller gone silent, a lost
// line, a test the controller finished. Only edges count: a silence is one
// event however long it lasts. Pure: fed figures, it answers events without
// ids, rig name or time (the lab service adds them).
#include <vector>

#include "core/RigEvent.h"
#include "station/RunWatch.h"

namespace rig {

class TStationEventWatch {
 public:
  explicit TStationEventWatch(int station) : station_(station) {}
  std::vector<RigEvent> Follow(const RunWatchFigures& now);

 private:
  const int station_;
  bool seen_ = false;
  int32_t runs_ = 0;
  int32_t refused_ = 0;
  bool silent_ = false;
  bool lost_ = false;
  bool finished_ = false;
};

}  // namespace rig
