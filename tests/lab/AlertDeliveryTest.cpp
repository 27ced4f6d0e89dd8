// Alerts posted by the alert thread to a webhook on the loopback address:
// merged under the pace, every event delivered once after a receiver that
// failed recovers or comes back, and a stop that never waits on a receiver
// that does not answer.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <set>

#include "lab/AlertSender.h"
#include "lab/EventOutbox.h"
#include "lab/HookReceiver.h"
#include "lab/LabOutbox.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::HookReceiver;
using Answer = HookReceiver::Answer;

namespace {

constexpr AlertPacing kFastPace{60, RetryPauses{std::chrono::milliseconds(100), std::chrono::milliseconds(400)}};

RigEvent Event(int n) {
  RigEvent e;
  e.EventId = QUuid::createUuid().toString(QUuid::WithoutBraces);
  e.RigName = QStringLiteral("一号台");
  e.Station = 1 + n % 2;
  e.HappenedAt = QDateTime::currentDateTime();
  e.Kind = RigEventKind::Refusal;
  e.Detail = QStringLiteral("事件%1").arg(n);
  return e;
}

AlertSettings JsonHook(const QString& url, int perMinute) {
  AlertSettings s;
  s.Url = url;
  s.Kind = AlertKind::Json;
  s.PerMinute = perMinute;
  return s;
}

// The details of the events in every request taken so far, in order.
std::vector<QString> Delivered(const HookReceiver& hook, size_t firstRequest = 0) {
  std::vector<QString> out;
  for (size_t i = firstRequest; i < hook.Requests().size(); ++i)
    for (const QJsonValue v : QJsonDocument::fromJson(hook.Requests()[i].Body)["events"].toArray())
      out.push_back(v.toObject()["detail"].toString());
  return out;
}

}  // namespace

TEST(AlertDelivery, AReceiverThatFailsAtFirstGetsEveryAlertOnceInOrder) {
  rigtest::TempDir dir;
  HookReceiver hook;
  hook.Script({Answer::HttpError, Answer::PlatformError, Answer::HttpError});
  EventOutbox outbox(LabOutbox::PathIn(dir.Path()));
  AlertSettings settings = JsonHook(hook.Url(), 60);
  settings.Kind = AlertKind::WeCom;  // the platform's error code counts as a failure
  AlertSender sender(settings, LabOutbox::PathIn(dir.Path()), kFastPace);
  sender.Start();
  for (int i = 0; i < 5; ++i) {
    outbox.Add(Event(i), false, true);
    sender.Wake();
  }
  // The status is told just after the outbox lets the events go: both awaited.
  ASSERT_TRUE(rigtest::WaitFor([&] { return outbox.AlertCount() == 0 && sender.Status().Events >= 5; }, 15000))
      << sender.Status().Problem.toStdString();
  EXPECT_EQ(sender.Status().Events, 5);
  // Three failed posts, then the ones taken: each event taken exactly once.
  ASSERT_GE(hook.Requests().size(), 4u);
  QStringList taken;
  for (size_t i = 3; i < hook.Requests().size(); ++i)
    taken << QJsonDocument::fromJson(hook.Requests()[i].Body)["text"]["content"].toString();
  const QString all = taken.join('\n');
  for (int i = 0; i < 5; ++i) EXPECT_EQ(all.count(QStringLiteral("事件%1").arg(i)), 1) << all.toStdString();
  EXPECT_LT(all.indexOf("事件0"), all.indexOf("事件4"));
  // The pauses grew: 100 ms after the first failure, 200 ms after the
  // second (lower bounds, which a busy machine only lengthens).
  const auto& r = hook.Requests();
  EXPECT_GE(r[1].AtMs - r[0].AtMs, 95);
  EXPECT_GE(r[2].AtMs - r[1].AtMs, 195);
  EXPECT_EQ(sender.Status().Failures, 0);
}

TEST(AlertDelivery, ABurstIsMergedUnderTheLimitAndNothingIsDropped) {
  rigtest::TempDir dir;
  HookReceiver hook;
  EventOutbox outbox(LabOutbox::PathIn(dir.Path()));
  // 120 a minute: 500 ms apart, so a burst of 2 s fits in a few messages.
  AlertSender sender(JsonHook(hook.Url(), 120), LabOutbox::PathIn(dir.Path()), kFastPace);
  sender.Start();
  QElapsedTimer burst;
  burst.start();
  int added = 0;
  while (burst.elapsed() < 2000) {
    outbox.Add(Event(added++), false, true);
    sender.Wake();
    rigtest::WaitFor([] { return false; }, 20);
  }
  ASSERT_TRUE(rigtest::WaitFor([&] { return outbox.AlertCount() == 0; }, 10000));
  const std::vector<QString> got = Delivered(hook);
  ASSERT_EQ(got.size(), static_cast<size_t>(added));
  for (int i = 0; i < added; ++i) EXPECT_EQ(got[i], QStringLiteral("事件%1").arg(i));
  // About 2 s at 2 a second: some 5 messages for ~80 events, never two closer than the pace.
  EXPECT_LE(hook.Requests().size(), 7u) << added << " events";
  EXPECT_GE(hook.Requests().size(), 2u);
  for (size_t i = 1; i < hook.Requests().size(); ++i)
    EXPECT_GE(hook.Requests()[i].AtMs - hook.Requests()[i - 1].AtMs, 480) << i;
}

TEST(AlertDelivery, AlertsWaitInTheOutboxWhileTheReceiverIsAwayAcrossARestart) {
  rigtest::TempDir dir;
  HookReceiver hook;
  const quint16 port = hook.Port();
  hook.Close();  // nobody listens there now
  EventOutbox outbox(LabOutbox::PathIn(dir.Path()));
  {
    AlertSender sender(JsonHook(hook.Url(port), 60), LabOutbox::PathIn(dir.Path()), kFastPace);
    sender.Start();
    for (int i = 0; i < 3; ++i) outbox.Add(Event(i), true, true);
    sender.Wake();
    ASSERT_TRUE(rigtest::WaitFor([&] { return sender.Status().Failures >= 2; }, 10000));
    EXPECT_TRUE(sender.Status().Problem.startsWith("无法连接")) << sender.Status().Problem.toStdString();
    EXPECT_EQ(outbox.AlertCount(), 3);
  }  // the program ends
  ASSERT_TRUE(hook.Listen(port));
  AlertSender sender(JsonHook(hook.Url(port), 60), LabOutbox::PathIn(dir.Path()), kFastPace);
  sender.Start();
  ASSERT_TRUE(rigtest::WaitFor([&] { return outbox.AlertCount() == 0; }, 10000));
  EXPECT_EQ(Delivered(hook), (std::vector<QString>{"事件0", "事件1", "事件2"}));
  EXPECT_EQ(outbox.LabCount(), 3) << "the lab database's copies stay until it has them";
}

TEST(AlertDelivery, StoppingNeverWaitsOnAReceiverThatDoesNotAnswer) {
  rigtest::TempDir dir;
  HookReceiver hook;
  hook.Script({Answer::Never, Answer::Never});
  EventOutbox outbox(LabOutbox::PathIn(dir.Path()));
  auto sender = std::make_unique<AlertSender>(JsonHook(hook.Url(), 60), LabOutbox::PathIn(dir.Path()), kFastPace,
                                              std::chrono::seconds(30));
  sender->Start();
  outbox.Add(Event(0), false, true);
  sender->Wake();
  ASSERT_TRUE(rigtest::WaitFor([&] { return hook.Requests().size() == 1; }, 5000));
  QElapsedTimer stop;
  stop.start();
  sender.reset();
  EXPECT_LT(stop.elapsed(), 500);
  EXPECT_EQ(outbox.AlertCount(), 1) << "kept for the next start";
}
