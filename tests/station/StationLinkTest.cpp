#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>
#include <QThread>
#include <QTimer>

#include "../serial/PtyLine.h"
#include "station/CommandGate.h"
#include "station/FakeStationView.h"
#include "../ui/UiTestSupport.h"
#include "station/GlobVar.h"
#include "core/RunLog.h"
#include "protocol/Frame.h"
#include "station/StationLink.h"
#include "rigsim/PseudoTerminal.h"
#include "support/ControllerReplies.h"
#include "support/ModelStates.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

using namespace rig;

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

struct StationLinkTest : ::testing::Test {
  rigtest::PtyLine line;
  StationShared shared;
  rigtest::FakeStationView view;
  rigtest::RecordingNotifier notifier;
  QObject window;
  QTimer timer;
  std::unique_ptr<TCommandGate> gate;
  std::unique_ptr<TStationLink> link;

  void Make(int station, const QString& port) {
    shared.Config.PortName = port;
    gate = std::make_unique<TCommandGate>(station, shared.Model);
    link = std::make_unique<TStationLink>(station, shared, view, notifier, &window, timer, *gate);
    gate->SetWriter(link.get());
    link->SetClock([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)); });
  }
  void Open(int station = 1) {
    ASSERT_TRUE(line.Ok());
    Make(station, line.Device());
    link->OpenLink();
    ASSERT_TRUE(shared.PortOpen);
  }
};

}  // namespace

TEST_F(StationLinkTest, OpeningSendsNothingAndAFailureNamesTheDevice) {
  Open();
  EXPECT_TRUE(notifier.notices.empty());
  EXPECT_TRUE(line.Receive(1, 100).isEmpty());

  StationShared other;
  rigtest::FakeStationView otherView;
  other.Config.PortName = "/nonexistent/ttyX";
  TCommandGate otherGate(2, other.Model);
  TStationLink missing(2, other, otherView, notifier, &window, timer, otherGate);
  missing.OpenLink();
  EXPECT_FALSE(other.PortOpen);
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_EQ(notifier.notices[0].text, QStringLiteral("/nonexistent/ttyX打开串口失败，请配置串口!!"));
  EXPECT_EQ(notifier.notices[0].icon, NoticeIcon::None);
}

TEST_F(StationLinkTest, AnUnansweredHandshakeIsSentFiveTimesThenGivenUp) {
  Open(2);
  shared.Model.On(StationEvent::FirstReportLoaded);
  link->ConnectStation();
  EXPECT_TRUE(shared.Model.AwaitingFirstReport());
  EXPECT_TRUE(timer.isActive());
  for (int tick = 0; tick < 5; ++tick) link->RetryTick();
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(shared.HandshakeRetries, 0);
  EXPECT_EQ(line.Receive(30), Hex("02A001000505").repeated(5));
}

TEST_F(StationLinkTest, RepeatsUsedBeforeASuccessCountAgainstTheNextHandshake) {
  Open();
  link->ConnectStation();
  link->RetryTick();
  link->RetryTick();
  link->OnLinkReply(kLinkAccepted);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(shared.HandshakeRetries, 2);
  line.Receive(18 + 6);  // three handshakes and the settings query
  link->OnLinkReply(kLinkDisconnected);
  link->ConnectStation();
  int sent = 1;
  while (timer.isActive()) {
    link->RetryTick();
    if (timer.isActive()) ++sent;
  }
  EXPECT_EQ(sent, 3);
}

TEST_F(StationLinkTest, LinkRepliesUnlockAndLockThePanel) {
  Open();
  view.inputEnabled = false;
  timer.start();
  link->OnLinkReply(kLinkAccepted);
  EXPECT_TRUE(view.inputEnabled);
  EXPECT_FALSE(view.continueEnabled);
  EXPECT_FALSE(view.saveEnabled);
  EXPECT_EQ(view.linkCaption, QStringLiteral("停止工位1"));
  EXPECT_TRUE(shared.Model.Connected());
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(line.Receive(6), Hex("01A101000F0F"));

  rigtest::Running(shared.Model);
  view.startCaption = QStringLiteral("取消测试");
  link->OnLinkReply(kLinkDisconnected);
  EXPECT_FALSE(view.inputEnabled);
  EXPECT_EQ(view.linkCaption, QStringLiteral("开启工位1"));
  EXPECT_EQ(view.startCaption, QStringLiteral("开始测试"));
  EXPECT_FALSE(shared.Model.Connected());
  EXPECT_EQ(shared.Model.Run(), RunState::Ended);
  EXPECT_TRUE(view.saveEnabled) << "the test cut off stays saveable";
  EXPECT_EQ(shared.State.EndTime, QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));

  link->OnLinkReply(0x33);  // neither: nothing changes
  EXPECT_EQ(view.linkCaption, QStringLiteral("开启工位1"));
}

TEST_F(StationLinkTest, DisconnectingARunningTestCancelsItFirst) {
  Open();
  rigtest::Running(shared.Model);
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(link->DisconnectStation());
  EXPECT_LT(t.elapsed(), 50) << "the window thread does not wait for the controller";
  EXPECT_EQ(shared.Model.Run(), RunState::Ended);
  EXPECT_EQ(line.Receive(1), Hex("F1"));
  ASSERT_TRUE(rigtest::WaitFor([&] { return !link->DisconnectPending(); }));
  EXPECT_GE(t.elapsed(), 100) << "the controller takes the cancel before the disconnect";
  EXPECT_EQ(line.Receive(6), Hex("01A001000A0A"));
  // Closed before the gap is over: the request still goes out, at once.
  rigtest::Running(shared.Model);
  EXPECT_TRUE(link->DisconnectStation());
  link->CloseLink();
  EXPECT_EQ(line.Receive(7), Hex("F1") + Hex("01A001000A0A"));
  link->OpenLink();
  rigtest::Connected(shared.Model);
  // Without a running test: only the request.
  EXPECT_TRUE(link->DisconnectStation());
  EXPECT_EQ(line.Receive(6), Hex("01A001000A0A"));
}

TEST_F(StationLinkTest, FramesReachTheWindowThreadWhileTheReaderWaits) {
  Open();
  std::vector<QByteArray> frames;
  std::vector<bool> onWindowThread;
  link->SetFrameSink([&](const uint8_t* frame, int length) {
    frames.emplace_back(reinterpret_cast<const char*>(frame), length);
    onWindowThread.push_back(QThread::currentThread() == window.thread());
  });
  ASSERT_TRUE(line.Send(Hex("01A0030001122235") + Hex("01A30100") + Hex("0F0F")));
  ASSERT_TRUE(rigtest::WaitFor([&] { return frames.size() == 2; }));
  EXPECT_EQ(frames[0], Hex("01A0030001122235"));
  EXPECT_EQ(frames[1], Hex("01A301000F0F"));
  EXPECT_EQ(onWindowThread, (std::vector<bool>{true, true}));
}

TEST_F(StationLinkTest, ClosingWhileAFrameIsBeingHandedOverDoesNotHang) {
  Open();
  bool dispatched = false;
  link->SetFrameSink([&](const uint8_t*, int) { dispatched = true; });
  ASSERT_TRUE(line.Send(Hex("01A0030001122235")));
  // Give the reader time to block in the hand-over without letting the
  // window thread run it, then stop.
  QThread::msleep(120);
  QElapsedTimer t;
  t.start();
  link->RequestStop();
  link->CloseLink();
  link.reset();
  EXPECT_LT(t.elapsed(), 5000) << "the stop waited for a hand-over that could not run";
  EXPECT_FALSE(shared.PortOpen);
  EXPECT_FALSE(dispatched) << "a stop request drops the frame still waiting";
}

TEST_F(StationLinkTest, ALostLineIsReportedAndReopenedWhenTheDeviceComesBack) {
  rigtest::TempDir dir;
  const QString linkPath = dir.File("station1");
  ASSERT_TRUE(sim::PointLink(linkPath, line.Device()));
  Make(1, linkPath);
  link->OpenLink();
  ASSERT_TRUE(shared.PortOpen);
  link->OnLinkReply(kLinkAccepted);
  rigtest::Running(shared.Model);
  line.Receive(6);  // the settings query

  line.HangUp();  // the cable is pulled
  ASSERT_TRUE(rigtest::WaitFor([&] { return link->LineLost(); }));
  EXPECT_FALSE(shared.PortOpen);
  EXPECT_FALSE(shared.Model.Connected());
  EXPECT_EQ(shared.Model.Run(), RunState::Ended);
  EXPECT_TRUE(shared.Model.ResumePending());
  EXPECT_FALSE(view.inputEnabled);
  EXPECT_TRUE(view.saveEnabled) << "the interrupted test can be saved while the line is down";
  EXPECT_EQ(view.linkCaption, QStringLiteral("开启工位1"));
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].text.contains(line.Device())) << notifier.notices[0].text.toStdString();
  EXPECT_TRUE(link->ReopenTimer().isActive());

  link->ReopenTick();  // still gone: keeps trying quietly
  EXPECT_TRUE(link->LineLost());
  EXPECT_EQ(notifier.notices.size(), 1u);

  rigtest::PtyLine back;  // the adapter is plugged in again, as a new device
  ASSERT_TRUE(sim::PointLink(linkPath, back.Device()));
  link->ReopenTick();
  EXPECT_FALSE(link->LineLost());
  EXPECT_TRUE(shared.PortOpen);
  EXPECT_FALSE(link->ReopenTimer().isActive());
  EXPECT_EQ(back.Receive(6), Hex("01A001000505")) << "the handshake is made again";
  EXPECT_EQ(notifier.notices.size(), 2u);
}

// A frame cut off by a lost line must not be completed by the first bytes
// of the line after it is reopened: here they would make a valid status of
// count 106 out of half a status and the start of an acknowledgement.
TEST_F(StationLinkTest, AReopenedLineStartsWithNothingOfTheOldOne) {
  ASSERT_TRUE(line.Ok());
  Make(1, line.Device());
  link->SetReaderMode(ReaderMode::Manual);
  std::vector<QByteArray> frames;
  link->SetFrameSink([&](const uint8_t* frame, int length) {
    frames.emplace_back(reinterpret_cast<const char*>(frame), length);
  });
  link->OpenLink();
  ASSERT_TRUE(line.Send(Hex("01A308006A000000")));
  ASSERT_TRUE(rigtest::WaitFor([&] { link->Comm()->PollOnce(); return link->Received().RxCount == 8; }));
  link->OnPortFailed(QStringLiteral("cable pulled"));
  link->ReopenTick();
  ASSERT_TRUE(shared.PortOpen);
  ASSERT_TRUE(line.Send(Hex("01A301000F0F")));
  ASSERT_TRUE(rigtest::WaitFor([&] { link->Comm()->PollOnce(); return !frames.empty(); }));
  EXPECT_EQ(frames, std::vector<QByteArray>{Hex("01A301000F0F")});
}

// The reader may be between its stop check and the hand-over of a frame when
// the link is closed: nothing it reaches may be gone before it is joined.
TEST(StationLinkClose, ClosingInTheMiddleOfAStreamOfFramesNeverCrashes) {
  rigtest::TempDir dir;
  TRunLog log(dir.Path());  // the reader takes its time writing each batch to the log
  InstallRunLog(&log);
  const QByteArray status = rigtest::ActionStatus(1, 1, 0x15);
  for (int round = 0; round < 60; ++round) {
    rigtest::PtyLine line;
    ASSERT_TRUE(line.Ok());
    StationShared shared;
    shared.Config.PortName = line.Device();
    rigtest::FakeStationView view;
    rigtest::RecordingNotifier notifier;
    QObject window;
    QTimer timer;
    TCommandGate gate(1, shared.Model);
    auto link = std::make_unique<TStationLink>(1, shared, view, notifier, &window, timer, gate);
    gate.SetWriter(link.get());
    int frames = 0;
    link->SetFrameSink([&](const uint8_t*, int) { ++frames; });
    link->OpenLink();
    std::atomic<bool> stop{false};
    std::thread controller([&] {
      // Bounded: once the link is closed nobody reads and the line fills up.
      while (!stop.load()) line.Send(status.repeated(40), 20);
    });
    ASSERT_TRUE(rigtest::WaitFor([&] { return frames > 0; }));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < round % 23) QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    link->RequestStop();
    link->CloseLink();
    link.reset();
    stop.store(true);
    controller.join();
    line.HangUp();
  }
  InstallRunLog(nullptr);
}
