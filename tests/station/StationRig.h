#pragma once
// Both stations' test control on fake panels and recording links, with a
// clock the test sets, fed with frames as the dispatcher would hand them over.
#include <QDateTime>
#include <memory>

#include "station/GlobVar.h"
#include "protocol/Frame.h"
#include "support/ControllerReplies.h"
#include "support/ModelStates.h"
#include "support/RecordingNotifier.h"
#include "support/RecordingWriter.h"
#include "station/FakeStationView.h"
#include "station/CommandGate.h"
#include "station/StationController.h"
#include "station/StationTestControl.h"
#include "testing/TestParameters.h"

namespace rigtest {

struct StationUnderTest {
  StationUnderTest(rig::StationShared& shared, int station, rig::INotifier& notifier,
                   rig::TStationTestControl::Clock clock)
      : shared(shared),
        controller(station, shared, view, notifier),
        gate(station, shared.Model),
        control(controller, gate, std::move(clock)) {
    gate.SetWriter(&link);
  }

  rig::StationShared& shared;
  FakeStationView view;
  RecordingWriter link;
  rig::TStationController controller;
  rig::TCommandGate gate;
  rig::TStationTestControl control;
};

// The settings a controller keeps when nobody has changed them: mode 2,
// ignore refusals, the panel's initial parameters, no counts.
inline rig::ParameterBlock FactorySettings() {
  rig::ParameterBlock b;
  b.Mode = 2;
  b.RefusalOption = 5;
  for (const rig::ParameterDef& p : rig::Parameters()) b.Parameters[p.Number - 1] = QByteArray(p.Initial).toInt();
  return b;
}

struct TwoStations {
  QDateTime now{QDate(2026, 3, 1), QTime(8, 0, 0)};
  rig::GlobVar shared;
  RecordingNotifier notifier;
  std::unique_ptr<StationUnderTest> stations[2];

  TwoStations() {
    for (int s = 1; s <= 2; ++s)
      stations[s - 1] =
          std::make_unique<StationUnderTest>(*shared.Station(s), s, notifier, [this] { return now; });
  }

  StationUnderTest& operator[](int station) { return *stations[station - 1]; }

  // What the dispatcher does with a frame of code 0xA1, 0xA2 or 0xA3.
  void Feed(int station, const QByteArray& frame) {
    rig::TStationTestControl& c = (*this)[station].control;
    const int length = static_cast<int>(frame.size());
    switch (static_cast<uint8_t>(frame[1])) {
      case rig::kCodeSettings: return c.OnSettingsReport(Data(frame), length);
      case rig::kCodeStart: return c.OnStartAccepted(Data(frame), length);
      case rig::kCodeStatus: return c.OnStatusFrame(Data(frame), length);
    }
  }

  // As after the handshake: the first report loads the panel; the link's
  // writes so far are forgotten.
  void Connect(int station, const rig::ParameterBlock& stored = FactorySettings()) {
    rigtest::Connected((*this)[station].shared.Model);
    (*this)[station].shared.Model.On(rig::StationEvent::HandshakeSent);
    Feed(station, SettingsReport(station, stored));
    (*this)[station].link.writes.clear();
  }

  // Connected, mode `mode` selected and started at once (a mode other than
  // the controller's stored one), the link's writes forgotten.
  void Running(int station, int mode, int refusalOption = rig::kDoNotIgnoreRefusals) {
    rig::ParameterBlock stored = FactorySettings();
    stored.Mode = mode == 2 ? 1 : 2;
    Connect(station, stored);
    (*this)[station].view.CheckMode(mode);
    (*this)[station].view.refusal = refusalOption;
    (*this)[station].control.StartButtonClick();
    (*this)[station].link.writes.clear();
  }
};

}  // namespace rigtest
