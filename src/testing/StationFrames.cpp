#include "testing/StationFrames.h"

#include "protocol/StationLink.h"

namespace rig {
namespace {
int Index(int station) { return station == 2 ? 1 : 0; }
}  // namespace

void TStationFrames::SetLink(int station, TStationLink* link) { links_[Index(station)] = link; }

void TStationFrames::OnLinkReply(int station, uint8_t status) {
  if (TStationLink* link = links_[Index(station)]) link->OnLinkReply(status);
}

void TStationFrames::OnSettingsReport(int, const uint8_t*, int) {}
void TStationFrames::OnStartAccepted(int, const uint8_t*, int) {}
void TStationFrames::OnStatusFrame(int, const uint8_t*, int) {}

}  // namespace rig
