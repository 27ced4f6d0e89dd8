#pragma once
// Everything the controller simulator can be told, from its command line or
// by a test that runs it in-process.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "Controller.h"
#include "LineShaper.h"

namespace rig::sim {

struct SimOptions {
  std::vector<int> Stations{1, 2};       // one line per station, each its own station byte
  std::map<int, QString> Devices;        // station -> serial device used instead of a pseudo-terminal
  QString LinkDir;                       // DIR/station<S> -> the station's device
  QString StatePath;                     // stored settings between runs; empty: kept in memory
  QString PointConfig;                   // the program's Config.ini to point at the links
  int Baud = 9600;                       // output pacing; 0: none
  uint32_t Seed = 0;                     // 0: from the clock
  bool Verbose = false;

  // Speed and action time for every station; the faults in it (refusals,
  // ignored handshakes, line drop, unused bits) and Line only for FaultStation.
  ControllerBehaviour Controller;
  LineFaults Line;
  int FaultStation = 0;                  // 0: faults on every station
  int RestoreAfterMs = -1;               // a dropped line comes back after this long; < 0: never

  // Called on the simulator's thread with one line of text per event.
  std::function<void(const QString&)> OnEvent;
};

enum class ParseOutcome { Run, Help, Error };

// Reads the command line (args[0] is the program). For Help and Error
// `message` holds the text to print.
ParseOutcome ParseCommandLine(const QStringList& args, SimOptions& options, QString& message);

}  // namespace rig::sim
