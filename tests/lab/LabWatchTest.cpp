// Two rigs on one machine (two installations, each its own Config.ini and
// outbox) against one lab database: their events and live rows arrive, the
// overview sees both and says when one stops reporting, alerts reach a
// webhook on the loopback address, nothing is lost while the server is away,
// and closing never waits on a server that does not answer.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include "lab/EventOutbox.h"
#include "lab/HookReceiver.h"
#include "lab/LabConnection.h"
#include "lab/LabEventUpload.h"
#include "lab/LabOutbox.h"
#include "lab/LabOverview.h"
#include "lab/LabServer.h"
#include "lab/LabService.h"
#include "lab/LabTestData.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

using namespace rig;
using namespace rig::lab;
using rigtest::LabScalar;

namespace {

LabServiceTiming Quick() {
  LabServiceTiming t;
  t.Pauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(400)};
  t.Live = {std::chrono::milliseconds(200), std::chrono::milliseconds(1000)};
  t.Alerts = {60, {std::chrono::milliseconds(100), std::chrono::milliseconds(400)}};
  return t;
}

// One installation: its folder, its Config.ini, its program's lab service.
struct Rig {
  rigtest::TempDir Dir;
  std::unique_ptr<LabService> Service;
  Rig(const LabSettings& lab, const AlertSettings& alerts) {
    SaveLabSettings(Dir.Path(), lab);
    SaveAlertSettings(Dir.Path(), alerts);
    Service = std::make_unique<LabService>(Dir.Path(), Quick());
  }
  EventOutbox Outbox() const { return EventOutbox(LabOutbox::PathIn(Dir.Path())); }
  void Tell(int station, RigEventKind kind, const QString& detail) {
    RigEvent e;
    e.Station = station;
    e.Kind = kind;
    e.Detail = detail;
    Service->Happened(e);
  }
  void Live(int countDone) {
    LiveState a{.Station = 1, .Link = "connected", .RunState = "running", .Mode = 17, .CountDone = countDone,
                .CountSet = 2000, .RatePerMinute = 3, .SecondsLeft = 600, .Refusals = 1, .SilentSeconds = 0};
    LiveState b{.Station = 2, .Link = "closed", .RunState = "idle"};
    Service->OfferLive({a, b});
  }
};

int Count(const LabSettings& s, const QString& sql) { return LabScalar(s, sql).toInt(); }

std::vector<QString> HookDetails(const rigtest::HookReceiver& hook) {
  std::vector<QString> out;
  for (const auto& r : hook.Requests())
    for (const QJsonValue v : QJsonDocument::fromJson(r.Body)["events"].toArray())
      out.push_back(v["rig_name"].toString() + "/" + v["detail"].toString());
  return out;
}

AlertSettings Webhook(const rigtest::HookReceiver& hook) {
  AlertSettings a;
  a.Url = hook.Url();
  a.Kind = AlertKind::Json;
  a.Events = {RigEventKind::Refusal, RigEventKind::LineLost};
  return a;
}

}  // namespace

TEST(LabWatch, TwoRigsReportEventsAndLiveStateAndTheOverviewSeesWhichStoppedReporting) {
  const LabSettings one = rigtest::FreshLabDatabase(rigtest::SharedLabServer(), "一号台");
  LabSettings two = one;
  two.RigName = "二号台";
  rigtest::HookReceiver hook;
  Rig a(one, Webhook(hook)), b(two, Webhook(hook));

  // The first rig to connect makes the tables.
  ASSERT_TRUE(rigtest::WaitFor([&] { return a.Service->Status().Now == LabStatus::State::Synced; }, 20000));
  a.Tell(1, RigEventKind::Refusal, "B1拒合（第6527次）");
  b.Tell(2, RigEventKind::LineLost, "");
  a.Tell(2, RigEventKind::Finished, "2000/2000次");  // for the database, not chosen for the chat
  a.Live(1500);
  b.Live(20);
  ASSERT_TRUE(rigtest::WaitFor([&] { return Count(one, "SELECT count(*) FROM lab_events") == 3; }, 20000));
  ASSERT_TRUE(rigtest::WaitFor([&] { return Count(one, "SELECT count(*) FROM lab_live") == 4; }, 20000));
  EXPECT_EQ(LabScalar(one, "SELECT string_agg(rig_name || station || kind, ',' ORDER BY happened_at) FROM lab_events"),
            "一号台1refusal,二号台2line_lost,一号台2finished");
  EXPECT_EQ(LabScalar(one, "SELECT count_done || '/' || count_set || ' ' || mode || ' ' || seconds_left FROM lab_live "
                           "WHERE rig_name = '一号台' AND station = 1"),
            "1500/2000 17 600");
  EXPECT_EQ(LabScalar(one, "SELECT coalesce(mode::text, 'null') FROM lab_live WHERE rig_name = '二号台' AND station = 2"),
            "null");
  ASSERT_TRUE(rigtest::WaitFor([&] { return HookDetails(hook).size() == 2; }, 10000));
  const std::vector<QString> chat = HookDetails(hook);
  EXPECT_EQ(std::set<QString>(chat.begin(), chat.end()),
            (std::set<QString>{"一号台/B1拒合（第6527次）", "二号台/"}));
  EXPECT_TRUE(rigtest::WaitFor([&] { return a.Outbox().LabCount() + a.Outbox().AlertCount() == 0; }, 5000))
      << "delivered both ways: gone from the outbox";

  // Rig two's program ends; its rows age. Rig one changes nothing, and
  // still keeps its rows fresh.
  b.Service.reset();
  const QString before = LabScalar(one, "SELECT max(updated_at)::text FROM lab_live WHERE rig_name = '一号台'");
  ASSERT_TRUE(rigtest::WaitFor(
      [&] { return LabScalar(one, "SELECT max(updated_at)::text FROM lab_live WHERE rig_name = '一号台'") != before; },
      5000));
  LabScalar(one, "UPDATE lab_live SET updated_at = now() - interval '5 minutes 10 seconds' WHERE rig_name = '二号台' "
                 "RETURNING 1");
  const std::vector<OverviewLine> lines = OverviewLines(FetchOverview(one));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].Rig, "二号台");
  EXPECT_EQ(lines[0].NoWord, "已 5 分钟无消息");
  EXPECT_EQ(lines[1].Rig, "二号台");
  EXPECT_TRUE(lines[1].LastEvent.endsWith("线路中断")) << lines[1].LastEvent.toStdString();
  EXPECT_EQ(lines[2].Rig, "一号台");
  EXPECT_EQ(lines[2].NoWord, "");
  EXPECT_TRUE(lines[2].LastEvent.endsWith("拒动作：B1拒合（第6527次）")) << lines[2].LastEvent.toStdString();
  EXPECT_EQ(lines[2].Count, "1500/2000次");
}

TEST(LabWatch, EventsWaitWhileTheServerIsAwayAndAlertsGoMeanwhile) {
  const LabSettings good = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
  LabSettings away = good;
  QTcpServer nothing;  // a port nobody answers on once closed
  ASSERT_TRUE(nothing.listen(QHostAddress::LocalHost));
  away.Host = "127.0.0.1";
  away.Port = nothing.serverPort();
  nothing.close();
  rigtest::HookReceiver hook;
  Rig rig(away, Webhook(hook));
  rig.Tell(1, RigEventKind::Refusal, "甲");
  rig.Tell(1, RigEventKind::Refusal, "乙");
  ASSERT_TRUE(rigtest::WaitFor([&] { return HookDetails(hook).size() == 2; }, 10000)) << "alerts need no database";
  ASSERT_TRUE(rigtest::WaitFor([&] { return rig.Service->Status().Now == LabStatus::State::Unreachable; }, 10000));
  EXPECT_EQ(rig.Outbox().LabCount(), 2);
  rig.Service->Reconfigure(good);  // the server is back
  ASSERT_TRUE(rigtest::WaitFor([&] { return rig.Outbox().LabCount() == 0; }, 20000));
  ASSERT_TRUE(rigtest::WaitFor([&] { return rig.Service->Status().Now == LabStatus::State::Synced; }, 20000));
  EXPECT_EQ(LabScalar(good, "SELECT string_agg(detail, '' ORDER BY happened_at) FROM lab_events"), "甲乙");

  // An upload repeated (its commit's answer lost) stores nothing twice.
  LabConnection c(good);
  RigEvent again;
  again.EventId = LabScalar(good, "SELECT event_id FROM lab_events LIMIT 1");
  again.RigName = "一号台";
  again.HappenedAt = QDateTime::currentDateTime();
  again.Detail = "重复";
  UploadEvents(c, {again});
  EXPECT_EQ(Count(good, "SELECT count(*) FROM lab_events"), 2);
  EXPECT_EQ(Count(good, "SELECT count(*) FROM lab_events WHERE detail = '重复'"), 0);

  // A rig with only a webhook keeps nothing for a database.
  AlertSettings only = Webhook(hook);
  Rig alone(LabSettings{}, only);
  alone.Tell(2, RigEventKind::LineLost, "丙");
  alone.Tell(2, RigEventKind::Saved, "not chosen");
  ASSERT_TRUE(rigtest::WaitFor([&] { return HookDetails(hook).size() == 3; }, 10000));
  EXPECT_TRUE(rigtest::WaitFor([&] { return alone.Outbox().AlertCount() == 0; }, 5000));
  EXPECT_EQ(alone.Outbox().LabCount(), 0);
}

TEST(LabWatch, ClosingNeverWaitsOnAServerThatDoesNotAnswer) {
  // It takes the connection and says nothing: every lab thread is stuck in
  // its connect when the program closes.
  QTcpServer mute;
  ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));
  LabSettings s;
  s.Host = "127.0.0.1";
  s.Port = mute.serverPort();
  s.RigName = "一号台";
  rigtest::HookReceiver hook;
  hook.Script({rigtest::HookReceiver::Answer::Never});
  Rig rig(s, Webhook(hook));
  rig.Tell(1, RigEventKind::Refusal, "甲");
  rig.Live(10);
  ASSERT_TRUE(rigtest::WaitFor([&] { return hook.Requests().size() == 1 && mute.hasPendingConnections(); }, 5000));
  rigtest::WaitFor([] { return false; }, 300);  // the live writer is connecting too by now
  QElapsedTimer closing;
  closing.start();
  rig.Service.reset();
  EXPECT_LT(closing.elapsed(), 1500);
  EXPECT_EQ(rig.Outbox().LabCount(), 1);
  EXPECT_EQ(rig.Outbox().AlertCount(), 1);
}
