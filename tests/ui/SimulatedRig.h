#pragma once
// The real window in a fresh program folder, its two stations wired to
// simulated controllers on pseudo-terminals that run 1000 times faster than
// real ones.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

#include "ControllerSim.h"
#include "core/IniFile.h"
#include "storage/Schema.h"
#include "testing/TestParameters.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/Mainfrm.h"
#include "ui/UiTestSupport.h"

namespace rigtest {

struct SimulatedRig : ::testing::Test {
  double speed = 1000;  // how many times faster than a real controller
  TempDir dir;
  std::unique_ptr<rig::sim::TControllerSim> sim;
  RecordingNotifier* notifier = nullptr;
  std::unique_ptr<rig::TfrmHX4417> window;

  void Start(rig::sim::SimOptions options = {}) {
    if (!options.LinkDir.isEmpty()) QDir().mkpath(options.LinkDir);
    options.Controller.Speed = speed;
    options.Controller.ActionMs = 2;
    options.Baud = 0;
    options.Seed = 3;
    sim = std::make_unique<rig::sim::TControllerSim>(options);
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    rig::EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    rig::EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
    rig::TIniFile ini(dir.File("Config.ini"));
    for (int s : {1, 2}) {
      const QString port = sim->LinkPath(s).isEmpty() ? sim->DevicePath(s) : sim->LinkPath(s);
      ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), port);
    }
    auto n = std::make_unique<RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<rig::TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }

  template <class T = QWidget>
  T* Find(const QString& name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }

  // Connects `station` and puts a test of `mode` on its panel, every delay 1,
  // the set counts `setCount`.
  void Setup(int station, int mode, const char* setCount) {
    rig::StationShared& s = *window->Shared().Station(station);
    Find<QAbstractButton>(station == 1 ? "SpeedButton1" : "SpeedButton2")->click();
    ASSERT_TRUE(WaitFor([&] { return s.Model.Connected() && !s.Model.AwaitingFirstReport(); }));
    for (const rig::ParameterDef& p : rig::Parameters()) {
      Find<QLineEdit>(QStringLiteral("Edit%1").arg(p.EditNumber[station - 1]))
          ->setText(p.Range == rig::ParameterRange::SetCount ? setCount : "1");
    }
    const int radio = (station == 1 ? 0 : 16) + (mode <= 5 ? mode : mode - 11);
    Find<QRadioButton>(QStringLiteral("RadioButton%1").arg(radio))->click();
  }
  void StartTest(int station) { Find<QAbstractButton>(station == 1 ? "SpeedButton3" : "SpeedButton7")->click(); }

  // Has the controller of `station` taken this command?
  bool SimGot(int station, const QByteArray& command) const {
    for (const QByteArray& c : sim->Received(station)) {
      if (c == command) return true;
    }
    return false;
  }
};

}  // namespace rigtest
