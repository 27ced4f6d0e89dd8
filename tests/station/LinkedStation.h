#pragma once
// One station as the window runs it, without the window: its link on a
// pseudo-terminal that nobody answers, test control writing to a recorder,
// saves going into a folder of its own, a clock the test sets. Tests and the
// station fuzz target drive it with the events a station sees: the
// operator's presses, the controller's frames, a lost and reopened line.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include "station/GlobVar.h"
#include "protocol/Frame.h"
#include "station/StationLink.h"
#include "station/StationSave.h"
#include "support/ControllerReplies.h"
#include "support/RecordingNotifier.h"
#include "support/RecordingWriter.h"
#include "station/FakeStationView.h"
#include "station/CommandGate.h"
#include "station/StationController.h"
#include "station/StationRig.h"
#include "station/StationTestControl.h"

namespace rigtest {

// A pseudo-terminal whose far end reads and throws away what is written.
class SilentLine {
 public:
  SilentLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
      if (const char* name = ::ptsname(master_)) path_ = QString::fromLocal8Bit(name);
  }
  ~SilentLine() {
    if (master_ >= 0) ::close(master_);
  }
  SilentLine(const SilentLine&) = delete;
  SilentLine& operator=(const SilentLine&) = delete;

  QString Device() const { return path_; }
  void Drain() {
    char buffer[4096];
    while (master_ >= 0 && ::read(master_, buffer, sizeof buffer) > 0) {
    }
  }

 private:
  int master_ = -1;
  QString path_;
};

class LinkedStation {
 public:
  LinkedStation(int station, const QString& exeDir)
      : number(station),
        exeDir(exeDir),
        controller(station, shared, view, notifier),
        gate(station, shared.Model),
        link(station, shared, view, notifier, &window, retryTimer, gate),
        control(controller, gate, [this] { return now; }) {
    gate.SetWriter(&wire);
    retryTimer.setInterval(1000);
    shared.Config.PortName = line.Device();
    link.SetReaderMode(rig::ReaderMode::Manual);
    link.SetClock([this] { return now; });
    link.SetCancelGap(0);
    control.SetSaver([this] { return PressSave(); });
    link.OpenLink();
  }

  // --- the operator -----------------------------------------------------------
  void PressStart() { control.StartButtonClick(); }
  void PressContinue() { control.ContinueButtonClick(); }
  bool PressSave() { return rig::SaveStationTest(exeDir, number, shared, view, notifier, nullptr, now); }
  void PressLinkButton() {
    if (shared.Model.Connected())
      link.DisconnectStation();
    else
      link.ConnectStation();
    line.Drain();
  }
  void StartAll() {  // "启动所有工位"
    link.ConnectStation();
    line.Drain();
  }
  void ReopenPorts() { link.OpenLink(); }  // after the settings dialog
  void RetryTick() {
    link.RetryTick();
    line.Drain();
  }

  // --- the controller ---------------------------------------------------------
  void Reply(uint8_t status) {
    link.OnLinkReply(status);
    line.Drain();
  }
  void Report(const rig::ParameterBlock& block) { Feed(SettingsReport(number, block)); }
  void Accepted() { Feed(OneByteReply(number, rig::kCodeStart, rig::kAcknowledged)); }
  void Status(int32_t count, uint8_t bits) { Feed(ActionStatus(number, count, bits)); }
  void Finished() { Feed(OneByteReply(number, rig::kCodeStatus, rig::kTestFinished)); }

  // --- the line ---------------------------------------------------------------
  void LoseLine() { link.OnPortFailed(QStringLiteral("cable pulled")); }
  void Reopen() {
    link.ReopenTick();
    line.Drain();
  }

  // Handshake answered and the stored settings loaded, as the operator
  // finds the station; the writes so far are forgotten.
  void Connect(const rig::ParameterBlock& stored = FactorySettings()) {
    StartAll();
    Reply(rig::kLinkAccepted);
    Report(stored);
    wire.writes.clear();
  }

  // Start frames test control has sent.
  std::vector<QByteArray> StartFrames() const {
    std::vector<QByteArray> frames;
    for (const QByteArray& w : wire.writes)
      if (w.size() == 109 && static_cast<uint8_t>(w[1]) == rig::kCodeStart) frames.push_back(w);
    return frames;
  }

  void Feed(const QByteArray& frame) {
    const int length = static_cast<int>(frame.size());
    switch (static_cast<uint8_t>(frame[1])) {
      case rig::kCodeSettings: control.OnSettingsReport(Data(frame), length); break;
      case rig::kCodeStart: control.OnStartAccepted(Data(frame), length); break;
      case rig::kCodeStatus: control.OnStatusFrame(Data(frame), length); break;
    }
    line.Drain();
  }

  const int number;
  const QString exeDir;
  QDateTime now{QDate(2026, 12, 7), QTime(8, 0, 0)};
  SilentLine line;
  rig::StationShared shared;
  FakeStationView view;
  RecordingNotifier notifier;
  RecordingWriter wire;
  QObject window;
  QTimer retryTimer;
  rig::TStationController controller;
  rig::TCommandGate gate;
  rig::TStationLink link;
  rig::TStationTestControl control;
};

}  // namespace rigtest
