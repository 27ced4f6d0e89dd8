// A line that spoils what the controller sends: checksums, frames cut apart,
// junk between frames, frames sent twice, handshakes left unanswered.
#include <QThread>
#include <QTimer>

#include "station/CommandGate.h"
#include "station/FakeStationView.h"
#include "FaultRig.h"
#include "station/GlobVar.h"
#include "core/RunLog.h"
#include "protocol/ParameterBlock.h"
#include "station/StationLink.h"

namespace rig {
namespace {

using rigtest::WaitFor;
using sim::LineFaults;
using sim::SimOptions;

// A life test of mode 20 (four actions a cycle) started straight on the
// line: what the station's link hands to the window thread, frame by frame.
struct LinkUnderFaults : ::testing::Test {
  rigtest::TempDir dir;
  TRunLog log{dir.Path()};
  std::unique_ptr<sim::TControllerSim> sim;
  StationShared shared;
  rigtest::FakeStationView view;
  rigtest::RecordingNotifier notifier;
  QObject window;
  QTimer timer;
  std::unique_ptr<TCommandGate> gate;
  std::unique_ptr<TStationLink> link;
  std::vector<QByteArray> frames;

  void SetUp() override { InstallRunLog(&log); }
  void TearDown() override {
    link.reset();
    InstallRunLog(nullptr);
  }

  void Start(const LineFaults& faults) {
    SimOptions o = rigtest::FaultRig::Fast();
    o.Stations = {1};
    o.Line = faults;
    sim = std::make_unique<sim::TControllerSim>(o);
    QString error;
    ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    shared.Config.PortName = sim->DevicePath(1);
    gate = std::make_unique<TCommandGate>(1, shared.Model);
    link = std::make_unique<TStationLink>(1, shared, view, notifier, &window, timer, *gate);
    gate->SetWriter(link.get());
    link->SetFrameSink([this](const uint8_t* f, int n) { frames.emplace_back(reinterpret_cast<const char*>(f), n); });
    link->OpenLink();
    ASSERT_TRUE(shared.PortOpen);
  }

  void RunLifeTest(int cycles) {
    ParameterBlock block;
    block.Mode = 20;
    block.RefusalOption = 5;
    for (int n = 16; n <= 19; ++n) block.Parameters[n - 1] = 1;
    block.Parameters[19] = cycles;
    ASSERT_TRUE(link->Write(HandshakeRequest(1)));
    ASSERT_TRUE(link->Write(SettingsQuery(1)));
    ASSERT_TRUE(link->Write(BuildFrame(1, kCodeStart, EncodeParameterBlock(block))));
    ASSERT_TRUE(link->Write(StatusQuery(1)));
  }
  bool EndSent() const {
    const auto sent = sim->Sent(1);
    return !sent.empty() && sent.back() == BuildFrame(1, kCodeStatus, QByteArray(1, char(kTestFinished)));
  }
};

// What the program must see of what the controller sent: a spoiled frame is
// lost (its checksum cannot pass), a spoiled copy before a frame costs
// nothing, a frame sent twice arrives twice; nothing else is lost, added or
// reordered.
std::vector<QByteArray> Expected(const std::vector<QByteArray>& sent, const LineFaults& f) {
  auto every = [](int n, size_t i) { return n > 0 && i % static_cast<size_t>(n) == 0; };
  std::vector<QByteArray> out;
  for (size_t i = 1; i <= sent.size(); ++i) {
    if (!every(f.CorruptEvery, i)) out.push_back(sent[i - 1]);
    if (every(f.DuplicateEvery, i)) out.push_back(sent[i - 1]);
  }
  return out;
}

TEST_F(LinkUnderFaults, EveryIntactFrameReachesTheWindowThreadOnceAndInOrder) {
  struct Case {
    const char* name;
    LineFaults faults;
  } cases[] = {
      {"corrupted checksums", {.CorruptEvery = 3}},
      {"spoiled copies before frames", {.BadCopyEvery = 2}},
      {"duplicated frames", {.DuplicateEvery = 4}},
      {"split frames", {.Split = true, .SplitGapMs = 2}},
      {"junk between frames", {.Junk = true}},
      {"all at once", {.CorruptEvery = 5, .BadCopyEvery = 3, .DuplicateEvery = 7, .Split = true, .SplitGapMs = 2,
                       .Junk = true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    frames.clear();
    link.reset();
    sim.reset();
    Start(c.faults);
    RunLifeTest(40);  // 160 action statuses
    ASSERT_TRUE(WaitFor([&] { return EndSent(); }, 20000));
    ASSERT_GT(sim->Sent(1).size(), 160u);
    const std::vector<QByteArray> expected = Expected(sim->Sent(1), c.faults);
    EXPECT_TRUE(WaitFor([&] { return frames.size() >= expected.size(); }, 10000));
    EXPECT_EQ(frames, expected);
  }
  // Each spoiled frame left its trace in the run log.
  QFile f(log.FileName());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(FromGbk(f.readAll()).contains(QStringLiteral(",正确的校验码应该为")));
}

// The window thread busy for a while (a long save, say) while a fast test
// runs on: the reader waits in the hand-over, the port's queue fills beyond
// what one read takes, and still no frame may be lost.
TEST_F(LinkUnderFaults, AWindowThreadHeldUpLosesNoFrame) {
  Start({});
  bool stalled = false;
  link->SetFrameSink([&](const uint8_t* f, int n) {
    frames.emplace_back(reinterpret_cast<const char*>(f), n);
    if (!stalled && f[1] == kCodeStatus && n == kActionStatusLength + kFrameOverhead) {
      stalled = true;
      QThread::msleep(400);  // the window thread's long job
    }
  });
  RunLifeTest(300);  // 1200 action statuses, some 16 KB
  ASSERT_TRUE(WaitFor([&] { return EndSent(); }, 20000));
  EXPECT_TRUE(WaitFor([&] { return frames.size() >= sim->Sent(1).size(); }, 10000));
  EXPECT_EQ(frames.size(), sim->Sent(1).size());
  EXPECT_TRUE(frames == sim->Sent(1));
}

struct WindowUnderFaults : rigtest::FaultRig {};

TEST_F(WindowUnderFaults, LinkRepliesThroughSplitJunkAndSpoiledCopiesConnectAndDisconnect) {
  SimOptions o = Fast();
  o.Line = {.BadCopyEvery = 1, .DuplicateEvery = 2, .Split = true, .SplitGapMs = 5, .Junk = true};
  Start(o);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(Connect(1)) << "round " << round;
    EXPECT_EQ(LinkButton(1)->text(), QStringLiteral("停止工位1"));
    ASSERT_TRUE(Disconnect(1)) << "round " << round;
    EXPECT_EQ(LinkButton(1)->text(), QStringLiteral("开启工位1"));
  }
  ASSERT_TRUE(Connect(2));
  EXPECT_TRUE(notifier->notices.empty());
  EXPECT_TRUE(LogText().contains(QStringLiteral("原校验码为")));
}

TEST_F(WindowUnderFaults, AHandshakeLostOnTheLineIsRepeatedUntilItIsAnswered) {
  SimOptions o = Fast();
  o.Controller.IgnoreHandshakes = 2;
  o.FaultStation = 1;
  Start(o);
  LinkButton(1)->click();
  ASSERT_TRUE(WaitFor([&] { return Connected(1); }, 5000));
  EXPECT_EQ(SimGot(1, HandshakeRequest(1)), 3);
  EXPECT_FALSE(window->RetryTimer(1).isActive());
  EXPECT_EQ(Station(1).HandshakeRetries, 2) << "repeats used before a success still count";
}

// About four seconds: the retry timer's real one-second ticks.
TEST_F(WindowUnderFaults, AnUnansweredHandshakeIsSentFiveTimesThenGivenUp) {
  SimOptions o = Fast();
  o.Controller.IgnoreHandshakes = -1;
  o.FaultStation = 1;
  Start(o);
  LinkButton(1)->click();
  ASSERT_TRUE(window->RetryTimer(1).isActive());
  ASSERT_TRUE(WaitFor([&] { return !window->RetryTimer(1).isActive(); }, 8000));
  EXPECT_EQ(SimGot(1, HandshakeRequest(1)), 5);
  EXPECT_FALSE(Connected(1));
  EXPECT_EQ(LinkButton(1)->text(), QStringLiteral("开启工位1"));
  EXPECT_FALSE(window->findChild<QWidget*>("Edit5")->isEnabled());
  EXPECT_TRUE(notifier->notices.empty()) << "given up silently";
  // The other station was never held up.
  ASSERT_TRUE(Connect(2));
}

}  // namespace
}  // namespace rig
