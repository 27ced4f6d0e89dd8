#pragma once
#include <QString>
#include <cstdint>

namespace rig {

constexpr int kStationCount = 2;

// A station's serial settings as kept in Config.ini. The indexes are the
// positions of the choices in the settings dialog and also the port's codes:
// stop bits 0 = 1, 1 = 1.5, 2 = 2; parity 0 none, 1 odd, 2 even, 3 mark, 4 space.
struct StationConfig {
  QString PortName;
  int32_t DataBits = 8;
  int32_t StopBitsIndex = 0;
  int32_t ParityIndex = 0;
  int32_t BaudRate = 9600;
};

}  // namespace rig
