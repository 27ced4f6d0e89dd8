#pragma once
// The program-wide shared state: everything both stations keep, twice, and the
// program's paths. Station data is reached by station number (1 or 2).
//
// Threads: a station's RxBuffer/RxCount belong to its reader thread;
// FrameBuffer/FrameLength are written by the reader and read by the window
// thread only while the reader waits for the frame to be dispatched.
// Everything else is used on the window thread only.
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "core/ActionRecord.h"
#include "core/StationConfig.h"
#include "core/RunLog.h"
#include "core/StationModel.h"
#include "core/StationState.h"

namespace rig {

constexpr int kStationCount = 2;
constexpr int kRxBufferSize = 2048;

struct StationShared {
  StationConfig Config;
  StationState State;
  TestRun Run;
  TStationModel Model;  // link and run state, the held test
  bool PortOpen = false;
  int HandshakeRetries = 0;
  ActionQueue Actions;
  std::array<uint8_t, kRxBufferSize> RxBuffer{};
  int32_t RxCount = 0;
  std::array<uint8_t, kRxBufferSize> FrameBuffer{};
  int32_t FrameLength = 0;
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
