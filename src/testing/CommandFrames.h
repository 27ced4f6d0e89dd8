#pragma once
// The commands test control sends a station's controller beside the queries
// of protocol/Frame.h: the start command with its parameter block, and the
// bare cancel and continue bytes.
#include <QByteArray>
#include <cstdint>

#include "protocol/ParameterBlock.h"

namespace rig {

QByteArray CancelCommand();    // F1
QByteArray ContinueCommand();  // F2

// The count the controller resumes from, in all four count places of a start:
// one below the count done, so the last counted cycle is repeated; 0 for a
// fresh run.
int32_t ResumeCount(int32_t countDone);

// s A2 68 00, the 104-byte block, checksum: 109 bytes.
QByteArray StartCommand(int station, const ParameterBlock& block);

}  // namespace rig
