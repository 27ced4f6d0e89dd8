#pragma once
// Puts a station's model into a state directly, for tests of the code that
// reads it.
#include "station/StationModel.h"

namespace rigtest {

inline void Connected(rig::TStationModel& m) {
  m.On(rig::StationEvent::PortOpened);
  m.On(rig::StationEvent::LinkAccepted);
}

// Connected, with a test of `mode` running.
inline void Running(rig::TStationModel& m, int mode = 17) {
  Connected(m);
  m.On(rig::StationEvent::StartPressed);
  rig::HeldTest t;
  t.Mode = mode;
  m.On(rig::StationEvent::TestStarted, t);
}

}  // namespace rigtest
