#pragma once
// The program-wide shared state: everything both stations keep, twice, and the
// program's paths. Station data is reached by station number (1 or 2).
//
// Used on the window thread only; the bytes a link receives wait in the
// link's own buffer.
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "core/ActionRecord.h"
#include "core/StationConfig.h"
#include "core/RunLog.h"
#include "station/StationModel.h"
#include "core/StationState.h"

namespace rig {

struct StationShared {
  StationConfig Config;
  StationState State;
  TestRun Run;
  TStationModel Model;  // link and run state, the held test
  bool PortOpen = false;
  int HandshakeRetries = 0;
  ActionQueue Actions;
};

class GlobVar {
 public:
  // Station 1 or 2; any other number: nullptr.
  StationShared* Station(int station);
  const StationShared* Station(int station) const;

  // Frees every queued record of the station; other numbers do nothing.
  void ClearActionQueue(int station);

  QString ExeDir;      // ends with a separator
  QString ConfigPath;  // ExeDir + "Config.ini"
  QString HelpFileName = QStringLiteral("Help.doc");
  std::unique_ptr<TRunLog> Log;  // set up at start-up

  // Path of the run log file in use; empty before start-up.
  QString LogFileName() const { return Log ? Log->FileName() : QString(); }

 private:
  std::array<StationShared, kStationCount> stations_;
};

}  // namespace rig
