// The real window talking to simulated controllers over pseudo-terminals.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "ControllerSim.h"
#include "core/IniFile.h"
#include "protocol/Frame.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/Mainfrm.h"
#include "ui/UiTestSupport.h"

namespace rig {
namespace {

using sim::SimOptions;
using sim::TControllerSim;

struct LinkEndToEnd : ::testing::Test {
  rigtest::TempDir dir;
  std::unique_ptr<TControllerSim> sim;
  rigtest::RecordingNotifier* notifier = nullptr;
  std::unique_ptr<TfrmHX4417> window;

  void Start(SimOptions options = {}) {
    options.Controller.Speed = 1000;
    options.Controller.ActionMs = 2;
    options.Baud = 0;
    options.Seed = 7;
    sim = std::make_unique<TControllerSim>(options);
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    TIniFile ini(dir.File("Config.ini"));
    for (int s : {1, 2}) ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim->DevicePath(s));
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }
  QAbstractButton* Button(const char* name) { return window->findChild<QAbstractButton*>(name); }
  bool SimGot(int station, const QByteArray& command) {
    for (const QByteArray& c : sim->Received(station)) {
      if (c == command) return true;
    }
    return false;
  }
};

TEST_F(LinkEndToEnd, LinkButtonConnectsUnlocksThePanelAndAsksForTheSettings) {
  Start();
  EXPECT_TRUE(notifier->notices.empty());
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
  Button("SpeedButton1")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return window->Shared().Station(1)->Connected; }));
  EXPECT_EQ(Button("SpeedButton1")->text(), QStringLiteral("停止工位1"));
  EXPECT_TRUE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
  EXPECT_FALSE(window->RetryTimer(1).isActive());
  ASSERT_TRUE(rigtest::WaitFor([&] { return SimGot(1, SettingsQuery(1)); }));
  // Station 2 is untouched.
  EXPECT_FALSE(window->Shared().Station(2)->Connected);
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit29")->isEnabled());
  EXPECT_TRUE(sim->Received(2).empty());

  Button("SpeedButton1")->click();  // now a disconnect
  ASSERT_TRUE(rigtest::WaitFor([&] { return !window->Shared().Station(1)->Connected; }));
  EXPECT_EQ(Button("SpeedButton1")->text(), QStringLiteral("开启工位1"));
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
}

TEST_F(LinkEndToEnd, StartAllConnectsBothAndClosingDisconnectsBoth) {
  Start();
  window->findChild<QAction*>("N6")->trigger();
  ASSERT_TRUE(rigtest::WaitFor(
      [&] { return window->Shared().Station(1)->Connected && window->Shared().Station(2)->Connected; }));
  window->close();
  window.reset();  // must not hang with both readers running
  ASSERT_TRUE(rigtest::WaitFor([&] { return SimGot(1, DisconnectRequest(1)) && SimGot(2, DisconnectRequest(2)); }));
}

}  // namespace
}  // namespace rig
