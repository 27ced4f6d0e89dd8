#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QThread>
#include <atomic>
#include <mutex>
#include <thread>

#include "PtyLine.h"
#include "core/GbkText.h"
#include "core/RunLog.h"
#include "serial/SerialComm.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace rig {
namespace {

using rigtest::PtyLine;
using rigtest::WaitFor;

const QByteArray kHandshake("\x01\xA0\x01\x00\x05\x05", 6);
const QByteArray kLinkReply("\x01\xA0\x03\x00\x01\x12\x22\x35", 8);

// Waits without processing events, for a thread that must stay blocked on
// this one.
template <typename Condition>
bool SpinFor(Condition condition, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Every batch a link delivered, and the thread it came on.
struct Batches {
  std::mutex mutex;
  std::vector<QByteArray> got;
  std::atomic<int> count{0};
  std::atomic<QThread*> thread{nullptr};

  ReceiveCallback Callback() {
    return [this](const uint8_t* data, int n) {
      thread = QThread::currentThread();
      std::lock_guard lock(mutex);
      got.emplace_back(reinterpret_cast<const char*>(data), n);
      ++count;
    };
  }
  QByteArray At(size_t i) {
    std::lock_guard lock(mutex);
    return i < got.size() ? got[i] : QByteArray();
  }
};

class SerialCommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log = std::make_unique<TRunLog>(dir.Path());
    InstallRunLog(log.get());
    ASSERT_TRUE(line.Ok());
  }
  void TearDown() override { InstallRunLog(nullptr); }

  QStringList LogLines() {
    QFile file(log->FileName());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return FromGbk(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }
  bool Logged(const QString& tail) {
    for (const QString& l : LogLines())
      if (l.endsWith(tail)) return true;
    return false;
  }
  bool Open(TSerialComm& link) { return link.Open(line.Device(), 9600, 8, 0, 0, 0); }
  bool WaitWaiting(TSerialComm& link, int n) {
    TCommPort port;
    return WaitFor([&] { return port.BytesWaiting(link.Handle()) == n; });
  }

  rigtest::TempDir dir;
  std::unique_ptr<TRunLog> log;
  PtyLine line;
};

TEST_F(SerialCommTest, WriteOnAClosedLinkFails) {
  TSerialComm neverOpened(ReaderMode::Manual);
  EXPECT_FALSE(neverOpened.Write(kHandshake));

  TSerialComm failedOpen(ReaderMode::Manual);
  EXPECT_FALSE(failedOpen.Open(QStringLiteral("/dev/no-such-port"), 9600, 8, 0, 0, 0));
  EXPECT_FALSE(failedOpen.Write(kHandshake));
  EXPECT_FALSE(failedOpen.PortFailed()) << "a port that never opened has not failed";
}

TEST_F(SerialCommTest, WriteReachesTheLine) {
  TSerialComm link(ReaderMode::Manual);
  ASSERT_TRUE(Open(link));
  const uint8_t cancel = 0xF1;
  EXPECT_TRUE(link.Write(kHandshake));
  EXPECT_TRUE(link.Write(&cancel, 1));
  EXPECT_EQ(line.Receive(7), kHandshake + QByteArray("\xF1", 1));
}

TEST_F(SerialCommTest, AFailedOpenDeliversNothing) {
  TSerialComm link(ReaderMode::Manual);
  Batches batches;
  link.SetReceiveCallback(batches.Callback());
  EXPECT_FALSE(link.Open(QStringLiteral("/dev/no-such-port"), 9600, 8, 0, 0, 0));
  EXPECT_FALSE(link.PollOnce());
  EXPECT_EQ(batches.count, 0);
}

TEST_F(SerialCommTest, BytesArrivingInPartsBetweenTwoPollsComeInOneCallback) {
  TSerialComm link(ReaderMode::Manual);
  Batches batches;
  ASSERT_TRUE(Open(link));
  link.SetReceiveCallback(batches.Callback());  // after Open works too

  ASSERT_TRUE(line.Send(kLinkReply.left(4)));
  ASSERT_TRUE(line.Send(kLinkReply.mid(4)));
  ASSERT_TRUE(WaitWaiting(link, 8));
  EXPECT_TRUE(link.PollOnce());
  EXPECT_FALSE(link.PollOnce());
  ASSERT_EQ(batches.count, 1);
  EXPECT_EQ(batches.At(0), kLinkReply);

  // Across a poll: two callbacks.
  ASSERT_TRUE(line.Send(kLinkReply.left(3)));
  ASSERT_TRUE(WaitWaiting(link, 3));
  EXPECT_TRUE(link.PollOnce());
  ASSERT_TRUE(line.Send(kLinkReply.mid(3)));
  ASSERT_TRUE(WaitWaiting(link, 5));
  EXPECT_TRUE(link.PollOnce());
  ASSERT_EQ(batches.count, 3);
  EXPECT_EQ(batches.At(1), kLinkReply.left(3));
  EXPECT_EQ(batches.At(2), kLinkReply.mid(3));
}

TEST_F(SerialCommTest, NoCallbackAfterCloseUntilTheNextOpen) {
  TSerialComm link(ReaderMode::Manual);
  Batches batches;
  link.SetReceiveCallback(batches.Callback());
  ASSERT_TRUE(Open(link));
  ASSERT_TRUE(line.Send(kLinkReply));
  ASSERT_TRUE(WaitWaiting(link, 8));

  EXPECT_TRUE(link.Close());
  EXPECT_FALSE(link.PollOnce());
  EXPECT_EQ(batches.count, 0);
  EXPECT_FALSE(link.Close()) << "closing twice";

  ASSERT_TRUE(Open(link));
  ASSERT_TRUE(line.Send(kHandshake));
  ASSERT_TRUE(WaitWaiting(link, 6));
  EXPECT_TRUE(link.PollOnce());
  ASSERT_EQ(batches.count, 1);
  EXPECT_EQ(batches.At(0), kHandshake) << "nothing left over from before the close";
}

TEST_F(SerialCommTest, CloseOnALinkThatIsNotOpenChangesNothing) {
  TSerialComm link(ReaderMode::Manual);
  EXPECT_FALSE(link.Close());
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(SerialCommTest, TheReaderThreadDeliversOnItsOwnThreadAndStopsAtClose) {
  TSerialComm link;
  Batches batches;
  link.SetReceiveCallback(batches.Callback());
  ASSERT_TRUE(Open(link));
  ASSERT_TRUE(line.Send(kLinkReply));
  ASSERT_TRUE(WaitFor([&] { return batches.count == 1; }));
  EXPECT_EQ(batches.At(0), kLinkReply);
  EXPECT_NE(batches.thread.load(), QThread::currentThread());

  ASSERT_TRUE(link.Close());
  ASSERT_TRUE(line.Send(kHandshake));
  const uint64_t polls = link.PollCount();
  ASSERT_TRUE(WaitFor([&] { return link.PollCount() >= polls + 3; }));
  EXPECT_EQ(batches.count, 1);

  ASSERT_TRUE(Open(link));  // the running reader picks the port up again
  ASSERT_TRUE(line.Send(kHandshake));
  ASSERT_TRUE(WaitFor([&] { return batches.count == 2; }));
  EXPECT_EQ(batches.At(1), kHandshake);
}

// The window thread destroys a link while the reader is blocked handing a
// batch to it. Without care both wait for each other for ever.
TEST_F(SerialCommTest, DestroyNeverHangsWhileTheCallbackIsBlockedInABlockingQueuedCall) {
  QObject window;  // lives on this (the window) thread
  for (int round = 0; round < 20; ++round) {
    auto link = std::make_unique<TSerialComm>();
    std::atomic<bool> entered{false};
    std::atomic<int> handled{0};
    TSerialComm* raw = link.get();
    link->SetReceiveCallback([&, raw](const uint8_t*, int) {
      if (raw->StopRequested()) return;
      entered = true;
      QMetaObject::invokeMethod(&window, [&] { ++handled; }, Qt::BlockingQueuedConnection);
    });
    ASSERT_TRUE(Open(*link));
    ASSERT_TRUE(line.Send(kLinkReply));
    ASSERT_TRUE(SpinFor([&] { return entered.load(); })) << "round " << round;

    QElapsedTimer timer;
    timer.start();
    link.reset();
    EXPECT_LT(timer.elapsed(), 2000) << "round " << round;
    EXPECT_EQ(handled, 1) << "the blocked hand-over was served while stopping";
  }
}

TEST_F(SerialCommTest, DestroyReleasesAReaderWaitingInHandOverAndTheWorkNeverRuns) {
  QObject window;
  auto link = std::make_unique<TSerialComm>();
  std::atomic<bool> entered{false};
  std::atomic<bool> handOverResult{true};
  std::atomic<int> ran{0};
  TSerialComm* raw = link.get();
  link->SetReceiveCallback([&, raw](const uint8_t*, int) {
    entered = true;
    handOverResult = raw->HandOver(&window, [&] { ++ran; });
  });
  ASSERT_TRUE(Open(*link));
  ASSERT_TRUE(line.Send(kLinkReply));
  ASSERT_TRUE(SpinFor([&] { return entered.load(); }));

  QElapsedTimer timer;
  timer.start();
  link.reset();
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_FALSE(handOverResult);
  QCoreApplication::processEvents();  // the queued work is dropped, not run late
  EXPECT_EQ(ran, 0);
}

TEST_F(SerialCommTest, HandOverRunsTheWorkOnTheTargetThreadBeforeTheReaderGoesOn) {
  QObject window;
  TSerialComm link;
  std::atomic<QThread*> ranOn{nullptr};
  std::atomic<int> step{0};
  std::atomic<bool> orderKept{false};
  link.SetReceiveCallback([&](const uint8_t*, int) {
    const bool done = link.HandOver(&window, [&] {
      ranOn = QThread::currentThread();
      step = 1;
    });
    orderKept = done && step == 1;
    step = 2;
  });
  ASSERT_TRUE(Open(link));
  ASSERT_TRUE(line.Send(kLinkReply));
  ASSERT_TRUE(WaitFor([&] { return step == 2; }));
  EXPECT_EQ(ranOn.load(), QThread::currentThread());
  EXPECT_TRUE(orderKept);

  // Called on the target's own thread it simply runs.
  int direct = 0;
  EXPECT_TRUE(link.HandOver(&window, [&] { ++direct; }));
  EXPECT_EQ(direct, 1);
}

TEST_F(SerialCommTest, AVanishedDeviceIsReportedOnceAndIsNotTakenForSilence) {
  TSerialComm link;
  std::atomic<int> failures{0};
  std::mutex reasonMutex;
  QString reason;
  Batches batches;
  link.SetReceiveCallback(batches.Callback());
  link.SetPortFailureCallback([&](const QString& why) {
    std::lock_guard lock(reasonMutex);
    reason = why;
    ++failures;
  });
  ASSERT_TRUE(Open(link));
  line.HangUp();
  ASSERT_TRUE(WaitFor([&] { return failures == 1; }));
  EXPECT_TRUE(link.PortFailed());
  {
    std::lock_guard lock(reasonMutex);
    EXPECT_FALSE(reason.isEmpty());
  }
  const uint64_t polls = link.PollCount();
  ASSERT_TRUE(WaitFor([&] { return link.PollCount() >= polls + 3; }));
  EXPECT_EQ(failures, 1);

  EXPECT_FALSE(link.Write(kHandshake)) << "a write into a dead line is not a success";
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(batches.count, 0);

  PtyLine fresh;
  ASSERT_TRUE(fresh.Ok());
  ASSERT_TRUE(link.Open(fresh.Device(), 9600, 8, 0, 0, 0));
  EXPECT_FALSE(link.PortFailed());
  ASSERT_TRUE(fresh.Send(kLinkReply));
  ASSERT_TRUE(WaitFor([&] { return batches.count == 1; }));
}

}  // namespace
}  // namespace rig
