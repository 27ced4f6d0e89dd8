#pragma once
// Where each received frame goes: link replies to the station's link, the
// test frames to the station's test control.
#include <array>

#include "protocol/Dispatch.h"

namespace rig {

class TStationLink;
class TStationTestControl;

class TStationFrames : public IFrameHandler {
 public:
  void SetLink(int station, TStationLink* link);
  void SetTestControl(int station, TStationTestControl* control);

  void OnLinkReply(int station, uint8_t status) override;
  void OnSettingsReport(int station, const uint8_t* frame, int length) override;
  void OnStartAccepted(int station, const uint8_t* frame, int length) override;
  void OnStatusFrame(int station, const uint8_t* frame, int length) override;

 private:
  std::array<TStationLink*, 2> links_{};
  std::array<TStationTestControl*, 2> controls_{};
};

}  // namespace rig
