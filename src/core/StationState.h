#pragma once
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "core/ActionRecord.h"

namespace rig {

// A station's test identity (kept in Config.ini between runs) and run flags.
struct StationState {
  QString OpenType;  // switch model
  QString OutIndex;  // factory number
  QString WorkArea;  // station text
  QString WorkName;  // operator
  bool TestRunning = false;
  bool FirstStatusPending = true;  // the next settings report is the first after a handshake
  int32_t ActionNo = 0;
  QDateTime StartTime;
  QDateTime EndTime;
  // The line failed while this test ran: the next start continues it (same
  // start time, queued actions kept) instead of beginning a new one.
  bool ResumeAfterLineLoss = false;
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
