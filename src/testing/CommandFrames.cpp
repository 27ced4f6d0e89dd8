#include "testing/CommandFrames.h"

#include "protocol/Frame.h"
#include "protocol/StationWriter.h"

namespace rig {

bool SendSettingsQuery(IStationWriter& link, int station) {
  return link.Write(SettingsQuery(static_cast<uint8_t>(station)));
}

bool SendStatusQuery(IStationWriter& link, int station) {
  return link.Write(StatusQuery(static_cast<uint8_t>(station)));
}

bool SendCancel(IStationWriter& link) { return link.Write(QByteArray(1, static_cast<char>(kCancelByte))); }

bool SendContinue(IStationWriter& link) { return link.Write(QByteArray(1, static_cast<char>(kContinueByte))); }

int32_t ResumeCount(int32_t countDone) { return countDone > 0 ? countDone - 1 : 0; }

QByteArray StartCommand(int station, const ParameterBlock& block) {
  return BuildFrame(static_cast<uint8_t>(station), kCodeStart, EncodeParameterBlock(block));
}

}  // namespace rig
