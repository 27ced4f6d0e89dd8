#pragma once
// The commands test control sends a station's controller: the settings and
// status queries, the start command with its parameter block, and the bare
// cancel and continue bytes. Each Send returns what the link's write returned.
#include <QByteArray>
#include <cstdint>

#include "protocol/ParameterBlock.h"

namespace rig {

class IStationWriter;

bool SendSettingsQuery(IStationWriter& link, int station);  // s A1 01 00 0F 0F
bool SendStatusQuery(IStationWriter& link, int station);    // s A3 01 00 05 05
bool SendCancel(IStationWriter& link);                      // F1
bool SendContinue(IStationWriter& link);                    // F2

// The count the controller resumes from, in all four count places of a start:
// one below the count done, so the last counted cycle is repeated; 0 for a
// fresh run.
int32_t ResumeCount(int32_t countDone);

// s A2 68 00, the 104-byte block, checksum: 109 bytes.
QByteArray StartCommand(int station, const ParameterBlock& block);

}  // namespace rig
