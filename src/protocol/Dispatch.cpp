#include "protocol/Dispatch.h"

#include "protocol/Frame.h"

namespace rig {

bool DispatchFrame(const uint8_t* frame, int length, IFrameHandler& handler) {
  if (length < kFrameHeaderSize) return true;
  const uint8_t t = frame[0];
  const int station = t == 1 ? 1 : 2;  // the receive path only passes its own station's frames
  switch (frame[1]) {
    case kCodeLink: {
      if (length <= 6) return false;
      const uint8_t status = frame[6];
      if ((t == 1 || t == 2) && (status == kLinkAccepted || status == kLinkDisconnected)) {
        handler.OnLinkReply(t, status);
      }
      return true;
    }
    case kCodeSettings:
      handler.OnSettingsReport(station, frame, length);
      return true;
    case kCodeStart:
      handler.OnStartAccepted(station, frame, length);
      return true;
    case kCodeStatus:
      handler.OnStatusFrame(station, frame, length);
      return true;
    default:
      return true;
  }
}

}  // namespace rig
