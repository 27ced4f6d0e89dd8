#include "station/StationLook.h"

#include "station/StationView.h"

namespace rig {

QString LinkButtonCaption(int station, bool connected) {
  return (connected ? QStringLiteral("停止工位") : QStringLiteral("开启工位")) + QString::number(station);
}

StationLook LookOf(const TStationModel& model, int station) {
  StationLook look;
  look.LinkCaption = LinkButtonCaption(station, model.Connected());
  look.StartCaption = model.IsRunning() ? QStringLiteral("取消测试") : QStringLiteral("开始测试");
  look.InputsEnabled = model.Connected();
  look.ContinueEnabled = model.ContinueOffered();
  // A held test can be saved whatever the link is doing: saving needs no line.
  look.SaveEnabled = model.SaveOffered();
  return look;
}

void DrawStation(const TStationModel& model, int station, IStationView& view) {
  const StationLook look = LookOf(model, station);
  view.SetLinkCaption(look.LinkCaption);
  view.SetStartCaption(look.StartCaption);
  view.SetInputControlsEnabled(look.InputsEnabled);
  view.SetContinueEnabled(look.ContinueEnabled);
  view.SetSaveEnabled(look.SaveEnabled);
}

}  // namespace rig
