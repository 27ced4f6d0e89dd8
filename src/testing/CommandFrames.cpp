#include "testing/CommandFrames.h"

#include "protocol/Frame.h"

namespace rig {

QByteArray CancelCommand() { return QByteArray(1, static_cast<char>(kCancelByte)); }

QByteArray ContinueCommand() { return QByteArray(1, static_cast<char>(kContinueByte)); }

int32_t ResumeCount(int32_t countDone) { return countDone > 0 ? countDone - 1 : 0; }

QByteArray StartCommand(int station, const ParameterBlock& block) {
  return BuildFrame(static_cast<uint8_t>(station), kCodeStart, EncodeParameterBlock(block));
}

}  // namespace rig
