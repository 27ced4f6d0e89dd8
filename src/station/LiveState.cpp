#include "station/LiveState.h"

namespace rig {
namespace {

QString LinkName(const RunWatchFigures& f) {
  if (f.Reconnecting || f.Link == LinkState::Lost) return QStringLiteral("lost");
  switch (f.Link) {
    case LinkState::Connected: return QStringLiteral("connected");
    case LinkState::Connecting: return QStringLiteral("connecting");
    case LinkState::Open: return QStringLiteral("open");
    default: return QStringLiteral("closed");
  }
}

QString RunName(const RunWatchFigures& f) {
  switch (f.Run) {
    case RunState::Idle: return QStringLiteral("idle");
    case RunState::StartRequested: return QStringLiteral("waiting");  // for the controller's answer
    case RunState::Running: return f.Paused ? QStringLiteral("paused") : QStringLiteral("running");
    case RunState::Ended: break;
  }
  switch (f.Ending) {
    case RunEnding::Finished: return QStringLiteral("finished");
    case RunEnding::Cancelled: return QStringLiteral("cancelled");
    case RunEnding::LineCut: return QStringLiteral("stopped");
    default: return QStringLiteral("received");  // actions without a start
  }
}

}  // namespace

LiveState LiveStateOf(int station, const RunWatchFigures& f) {
  LiveState s;
  s.Station = station;
  s.Link = LinkName(f);
  s.RunState = RunName(f);
  if (f.HasRun && f.Run != RunState::Idle) s.Mode = f.Plan.Mode;
  s.CountDone = f.CountDone;
  s.CountSet = f.Plan.SetCount;
  if (f.CyclesLastMinute) s.RatePerMinute = *f.CyclesLastMinute;
  if (f.LeftMs) s.SecondsLeft = static_cast<int>(*f.LeftMs / 1000);
  s.Refusals = f.RefusedActions;
  s.SilentSeconds = f.Silent ? static_cast<int>(f.SilentForMs / 1000) : 0;
  return s;
}

}  // namespace rig
