#pragma once
// One station's live view in the few figures the lab overview shows of it
// (a lab_live row without the rig's name and the outbox counts).
#include <QString>
#include <optional>

#include "station/RunWatch.h"

namespace rig {

struct LiveState {
  int Station = 1;
  QString Link;      // "connected", "connecting", "lost", "open", "closed"
  QString RunState;  // "idle", "waiting", "running", "paused", "finished", "cancelled", "stopped", "received"
  std::optional<int> Mode;  // the run's mode; none when idle
  int CountDone = 0;
  int CountSet = 0;
  std::optional<double> RatePerMinute;
  std::optional<int> SecondsLeft;
  int Refusals = 0;  // refused actions
  int SilentSeconds = 0;
  // The station's endurance programme ("M2 出厂编号A123") and where it is
  // ("第2段进行中（共5段）"); empty without one.
  QString Programme, Block;
  bool operator==(const LiveState&) const = default;
};

LiveState LiveStateOf(int station, const RunWatchFigures& figures);

}  // namespace rig
