// Long runs: a 32,000-cycle open-close-open life test at a fast line, and a
// hundred window lifetimes ended in the middle of traffic.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "../ui/SimulatedRig.h"
#include "testing/TestParameters.h"
#include "ui/RunWatchPanel.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

// Resident memory of this process in kB.
long ResidentKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return 0;
}

struct Soak : rigtest::SimulatedRig {};

TEST_F(Soak, ALongLifeTestLosesNoActionAndKeepsMemoryBounded) {
  sim::SimOptions options;
  options.Seed = 5;
  Start(options);
  sim.reset();  // a paced line, so a poll never finds more than the port takes
  options.Controller.Speed = 1000;
  options.Controller.ActionMs = 2;
  options.Baud = 230400;
  sim = std::make_unique<sim::TControllerSim>(options);
  ASSERT_TRUE(sim->Start());
  window->Shared().Station(1)->Config.PortName = sim->DevicePath(1);
  window->OpenStationLinks();

  Setup(1, 20, "32000");
  const long before = ResidentKb();
  StartTest(1);
  StationShared& s = *window->Shared().Station(1);
  ASSERT_TRUE(rigtest::WaitFor([&] { return !s.Model.IsRunning() && s.Run.CountDone == 32000; }, 600000))
      << "stopped at count " << s.Run.CountDone << " with " << s.Actions.size() << " actions";
  EXPECT_EQ(s.Actions.size(), 128000u);
  int expected = 1;
  for (const auto& r : s.Actions) {
    if (r->ActionNo != expected) {
      ADD_FAILURE() << "action " << expected << " missing or doubled: got " << r->ActionNo;
      break;
    }
    ++expected;
  }
  EXPECT_EQ(Find<QLabel>("Label37")->text(), "32000");
  window->WatchTimerTimer();  // the live view heard every action too
  EXPECT_EQ(window->Panel(1).RunWatch().Shown().Progress, QStringLiteral("32000 / 32000 次（100.0%）"));
  const long grownMb = (ResidentKb() - before) / 1024;
  RecordProperty("resident_growth_mb", static_cast<int>(grownMb));
  EXPECT_LT(grownMb, 200) << "the queue of 128,000 actions should take a few tens of MB";
}

TEST_F(Soak, AHundredWindowsEndedInTheMiddleOfTrafficNeverHang) {
  Start();
  window.reset();
  QElapsedTimer slowest;
  qint64 worst = 0;
  for (int round = 0; round < 100; ++round) {
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    notifier->confirmAnswer = false;  // the test cut short last round is not kept
    notifier->unsavedAnswer = UnsavedChoice::Discard;
    window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
    // Another mode than last round: a new test, counted from 0.
    Setup(1, round % 2 ? 17 : 18, "30000");
    Setup(2, round % 2 ? 19 : 20, "30000");
    StartTest(1);
    StartTest(2);
    ASSERT_TRUE(rigtest::WaitFor([&] {
      return window->Shared().Station(1)->Actions.size() > 2 && window->Shared().Station(2)->Actions.size() > 2;
    }, 10000)) << "round " << round << ": running " << window->Shared().Station(1)->Model.IsRunning() << "/"
               << window->Shared().Station(2)->Model.IsRunning() << ", queued " << window->Shared().Station(1)->Actions.size()
               << "/" << window->Shared().Station(2)->Actions.size() << ", notices: "
               << notifier->Texts().join(" | ").toStdString() << ", last commands: "
               << sim->Received(1).back().toHex().toStdString() << " / " << sim->Received(2).back().toHex().toStdString();
    slowest.start();
    window->close();
    window.reset();  // readers may be waiting in a hand-over right now
    worst = std::max(worst, slowest.elapsed());
  }
  RecordProperty("slowest_close_ms", static_cast<int>(worst));
  EXPECT_LT(worst, 5000);
}

}  // namespace
}  // namespace rig
