#pragma once
// The one way bytes reach a station's controller. Each command is checked
// against the station's model at the moment it is written, not when the
// operator pressed or a question box opened: what was true before a nested
// event loop may not be true now. What is written (or tried on a closed
// port) goes into the run log as "发出：…"; what the model holds back gets
// a line of its own.
#include <QByteArray>

#include "station/StationModel.h"

namespace rig {

class IStationWriter;

class TCommandGate {
 public:
  TCommandGate(int station, const TStationModel& model) : station_(station), model_(model) {}

  // Where written bytes go: the station's link, or a recorder in tests.
  void SetWriter(IStationWriter* writer) { writer_ = writer; }

  // Writes `frame` when the model permits `command` now. True when the
  // command was written.
  bool Send(StationCommand command, const QByteArray& frame);

 private:
  const int station_;
  const TStationModel& model_;
  IStationWriter* writer_ = nullptr;
};

}  // namespace rig
