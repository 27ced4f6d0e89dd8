// Closing the program while both controllers stream statuses, the way the
// program itself ends: the window is closed, the event loop keeps running
// (frames still arrive and are handed over), then the window is destroyed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/GbkText.h"
#include "core/IniFile.h"
#include "ui/QuietWindow.h"
#include "ui/SimulatedRig.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

struct WindowClose : rigtest::SimulatedRig {};

TEST_F(WindowClose, ClosingUnderTrafficWithTheEventLoopRunningNeverCrashesAndKeepsTheIdentity) {
  Start();
  constexpr int kRounds = 12;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    if (!window) {
      auto n = std::make_unique<rigtest::RecordingNotifier>();
      notifier = n.get();
      window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
      window->show();
    }
    notifier->confirmAnswer = false;  // last round's cut-off tests are not kept
    notifier->unsavedAnswer = UnsavedChoice::Discard;
    Setup(1, round % 2 ? 17 : 18, "30000");
    Setup(2, round % 2 ? 19 : 20, "30000");
    const QString model = QStringLiteral("ZW32-12 第%1轮").arg(round);
    window->Panel(2).SetIdentityText(kSwitchModel, model);
    StartTest(1);
    StartTest(2);
    ASSERT_TRUE(rigtest::WaitFor([&] {
      return window->Shared().Station(1)->Actions.size() > 2 && window->Shared().Station(2)->Actions.size() > 2;
    }, 10000));
    window->close();
    // Frames keep coming while the program leaves its event loop.
    QElapsedTimer loop;
    loop.start();
    while (loop.elapsed() < 30 + 7 * round) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.reset();
    EXPECT_EQ(TIniFile(dir.File("Config.ini")).ReadString("Config", "OpenType2", QString()), model);
  }
}

}  // namespace
}  // namespace rig

namespace rig {
namespace {

struct QuietClose : rigtest::QuietWindow {};

// Only a log line before: the operator never learnt that the identity
// texts were not kept.
TEST_F(QuietClose, AConfigThatCannotBeWrittenAtCloseIsShown) {
  window->Shared().ConfigPath = dir.File("gone/Config.ini");
  window->close();
  ASSERT_TRUE(rigtest::WaitFor([&] { return !notifier->notices.empty(); }));
  EXPECT_EQ(notifier->Texts(), QStringList{"Unable to write to " + dir.File("gone/Config.ini")});
}

// Closing a link waits for its reader and handles the window's events
// meanwhile (the reader may be waiting in a hand-over). A reader held in its
// callback for longer than the lab status poll's period makes that poll, and
// any other timer of the window, come due while the window is being
// destroyed: what they reach must still be there.
TEST_F(QuietClose, TimersThatComeDueWhileTheLinksCloseFindWhatTheyReach) {
  std::atomic<bool> held{false};
  window->Link(1).Comm()->SetReceiveCallback([&held](const uint8_t*, int) {
    held = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
  });
  ASSERT_EQ(::write(ports.MasterFd(1), "\x01", 1), 1);
  ASSERT_TRUE(rigtest::WaitFor([&] { return held.load(); }, 3000));
  int ticks = 0;
  QTimer witness;
  QObject::connect(&witness, &QTimer::timeout, [&ticks] { ++ticks; });
  witness.start(50);
  window.reset();
  EXPECT_GT(ticks, 0) << "no timer ran while the links closed: this test no longer shows what it is about";
}

}  // namespace
}  // namespace rig
