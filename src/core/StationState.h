#pragma once
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "core/ActionRecord.h"

namespace rig {

// A station's test identity (kept in Config.ini between runs) and run values;
// whether a test runs is the station's model's to say.
struct StationState {
  QString OpenType;  // switch model
  QString OutIndex;  // factory number
  QString WorkArea;  // station text
  QString WorkName;  // operator
  int32_t ActionNo = 0;
  // Of the test the station holds (see TStationModel): when it started and,
  // once it has ended, when it ended.
  QDateTime StartTime;
  QDateTime EndTime;
};

enum class ContactState { Open, Closed };

// The test side of a station: the mode running, the count reached and the
// last reported position of each break.
struct TestRun {
  int Mode = 0;
  int32_t CountDone = 0;
  ContactState Breaks[kBreakCount] = {ContactState::Open, ContactState::Open, ContactState::Open};
};

}  // namespace rig
