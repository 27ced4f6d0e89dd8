#include "station/StationFrames.h"

#include "station/StationLink.h"
#include "station/StationTestControl.h"

namespace rig {
namespace {
int Index(int station) { return station == 2 ? 1 : 0; }
}  // namespace

void TStationFrames::SetLink(int station, TStationLink* link) { links_[Index(station)] = link; }

void TStationFrames::OnLinkReply(int station, uint8_t status) {
  if (TStationLink* link = links_[Index(station)]) link->OnLinkReply(status);
}

void TStationFrames::SetTestControl(int station, TStationTestControl* control) { controls_[Index(station)] = control; }

void TStationFrames::OnSettingsReport(int station, const uint8_t* frame, int length) {
  if (TStationTestControl* c = controls_[Index(station)]) c->OnSettingsReport(frame, length);
}

void TStationFrames::OnStartAccepted(int station, const uint8_t* frame, int length) {
  if (TStationTestControl* c = controls_[Index(station)]) c->OnStartAccepted(frame, length);
}

void TStationFrames::OnStatusFrame(int station, const uint8_t* frame, int length) {
  if (TStationTestControl* c = controls_[Index(station)]) c->OnStatusFrame(frame, length);
}

}  // namespace rig
