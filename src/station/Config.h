#pragma once
// Config.ini: each station's serial settings, the identity of the last test
// entered on each station, and the help document's name. All keys live in the
// section "Config".
#include <QString>

namespace rig {

class GlobVar;

// Reads all nineteen keys; anything missing or unreadable gives its default.
void LoadConfig(GlobVar& g);

// Writes the eight identity keys from both stations' StationState.
// Throws EIniWriteError ("Unable to write to <path>") and stops at that key.
void SaveTestIdentity(GlobVar& g);

// Writes ComName, DataNum, StopNum, Mark, Baud of one station (1 or 2; other
// numbers write nothing). Throws EIniWriteError like SaveTestIdentity.
void SaveStationComm(GlobVar& g, int station);

}  // namespace rig
