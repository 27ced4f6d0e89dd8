#pragma once
// The station panel's captions and buttons as the station's model says they
// are: drawn after every event, never set by a handler of its own.
#include <QString>

#include "station/StationModel.h"

namespace rig {

class IStationView;

struct StationLook {
  QString LinkCaption;   // "开启工位n" / "停止工位n"
  QString StartCaption;  // "开始测试" / "取消测试"
  bool InputsEnabled = false;
  bool ContinueEnabled = false;
  bool SaveEnabled = false;
  bool operator==(const StationLook&) const = default;
};

// The link button's caption: "开启工位1" / "停止工位1" and so on.
QString LinkButtonCaption(int station, bool connected);

StationLook LookOf(const TStationModel& model, int station);
void DrawStation(const TStationModel& model, int station, IStationView& view);

}  // namespace rig
