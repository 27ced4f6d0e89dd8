#pragma once
// The real window in a program folder of its own, its ports on simulated
// controllers that misbehave as told, and another program that can take a
// port or a database away from it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QProcess>

#include "ControllerSim.h"
#include "core/GbkText.h"
#include "core/IniFile.h"
#include "protocol/Frame.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/Mainfrm.h"
#include "ui/UiTestSupport.h"

namespace rigtest {

// lock-holder (tools/lock-holder) run as a separate process: it holds what it
// took until it is released or destroyed.
class LockHolder {
 public:
  // `what` is "port" or "database".
  bool Take(const QString& what, const QString& path) {
    process_.start(QStringLiteral(RIG_BIN_DIR "/lock-holder"), {what, path});
    if (!process_.waitForStarted(5000)) return false;
    if (!WaitFor([&] { return process_.canReadLine() || process_.state() == QProcess::NotRunning; }, 5000)) return false;
    return process_.readLine().trimmed() == "held";
  }
  void Release() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(1000);
  }
  ~LockHolder() { Release(); }

 private:
  QProcess process_;
};

struct FaultRig : ::testing::Test {
  TempDir dir;
  std::unique_ptr<rig::sim::TControllerSim> sim;
  RecordingNotifier* notifier = nullptr;
  std::unique_ptr<rig::TfrmHX4417> window;

  // Fast controllers, no line pacing, a fixed seed for the faults.
  static rig::sim::SimOptions Fast() {
    rig::sim::SimOptions o;
    o.Controller.Speed = 1000;
    o.Controller.ActionMs = 2;
    o.Baud = 0;
    o.Seed = 7;
    return o;
  }
  void StartSim(rig::sim::SimOptions options = Fast()) {
    sim = std::make_unique<rig::sim::TControllerSim>(std::move(options));
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    rig::TIniFile ini(dir.File("Config.ini"));
    for (int s : sim->Stations()) ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim->DevicePath(s));
  }
  void ShowWindow() {
    auto n = std::make_unique<RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<rig::TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }
  void Start(rig::sim::SimOptions options = Fast()) {
    StartSim(std::move(options));
    ShowWindow();
  }

  QAbstractButton* LinkButton(int station) {
    return window->findChild<QAbstractButton*>(station == 1 ? "SpeedButton1" : "SpeedButton2");
  }
  rig::StationShared& Station(int station) { return *window->Shared().Station(station); }
  bool Connected(int station) { return Station(station).Model.Connected(); }
  int SimGot(int station, const QByteArray& command) const {
    int n = 0;
    for (const QByteArray& c : sim->Received(station)) n += c == command;
    return n;
  }
  // Clicks the station's link button and waits for the controller's answer.
  bool Connect(int station) {
    if (!Connected(station)) LinkButton(station)->click();
    return WaitFor([&] { return Connected(station); });
  }
  bool Disconnect(int station) {
    if (Connected(station)) LinkButton(station)->click();
    return WaitFor([&] { return !Connected(station); });
  }
  // Today's run log as text.
  QString LogText() const {
    QFile f(window->Shared().LogFileName());
    return f.open(QIODevice::ReadOnly) ? rig::FromGbk(f.readAll()) : QString();
  }
};

}  // namespace rigtest
