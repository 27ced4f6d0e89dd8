#pragma once
// Routing of a received frame by its code, on the window thread.
#include <cstdint>

namespace rig {

// What the stations do with the frames of their controllers. Station numbers
// are 1 or 2.
class IFrameHandler {
 public:
  virtual ~IFrameHandler() = default;
  virtual void OnLinkReply(int station, uint8_t status) = 0;
  virtual void OnSettingsReport(int station, const uint8_t* frame, int length) = 0;
  virtual void OnStartAccepted(int station, const uint8_t* frame, int length) = 0;
  virtual void OnStatusFrame(int station, const uint8_t* frame, int length) = 0;
};

// 0xA0 link replies (status 0x22 or 0x11 only), 0xA1 settings reports, 0xA2
// start acknowledgements, 0xA3 status reports; other codes do nothing.
// False for a link reply shorter than 7 bytes.
bool DispatchFrame(const uint8_t* frame, int length, IFrameHandler& handler);

}  // namespace rig
