// The real window talking to simulated controllers over pseudo-terminals.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "SimulatedRig.h"
#include "protocol/Frame.h"

namespace rig {
namespace {

struct LinkEndToEnd : rigtest::SimulatedRig {
  QAbstractButton* Button(const char* name) { return Find<QAbstractButton>(name); }
};

TEST_F(LinkEndToEnd, LinkButtonConnectsUnlocksThePanelAndAsksForTheSettings) {
  Start();
  EXPECT_TRUE(notifier->notices.empty());
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
  Button("SpeedButton1")->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return window->Shared().Station(1)->Model.Connected(); }));
  EXPECT_EQ(Button("SpeedButton1")->text(), QStringLiteral("停止工位1"));
  EXPECT_TRUE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
  EXPECT_FALSE(window->RetryTimer(1).isActive());
  ASSERT_TRUE(rigtest::WaitFor([&] { return SimGot(1, SettingsQuery(1)); }));
  // Station 2 is untouched.
  EXPECT_FALSE(window->Shared().Station(2)->Model.Connected());
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit29")->isEnabled());
  EXPECT_TRUE(sim->Received(2).empty());

  Button("SpeedButton1")->click();  // now a disconnect
  ASSERT_TRUE(rigtest::WaitFor([&] { return !window->Shared().Station(1)->Model.Connected(); }));
  EXPECT_EQ(Button("SpeedButton1")->text(), QStringLiteral("开启工位1"));
  EXPECT_FALSE(window->findChild<QLineEdit*>("Edit5")->isEnabled());
}

TEST_F(LinkEndToEnd, StartAllConnectsBothAndClosingDisconnectsBoth) {
  Start();
  window->findChild<QAction*>("N6")->trigger();
  ASSERT_TRUE(rigtest::WaitFor(
      [&] { return window->Shared().Station(1)->Model.Connected() && window->Shared().Station(2)->Model.Connected(); }));
  window->close();
  window.reset();  // must not hang with both readers running
  ASSERT_TRUE(rigtest::WaitFor([&] { return SimGot(1, DisconnectRequest(1)) && SimGot(2, DisconnectRequest(2)); }));
}

}  // namespace
}  // namespace rig
