// What goes to each group-chat platform and what its answers mean, the
// merged message text, the pace of messages and the [Alerts] settings.
// Signatures are checked against values made independently (Python's hmac).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/IniFile.h"
#include "lab/AlertMessage.h"
#include "lab/AlertPacer.h"
#include "lab/AlertSettings.h"
#include "lab/RigEventText.h"
#include "support/TempDir.h"

using namespace rig;
using namespace rig::lab;

namespace {

RigEvent Event(const QString& rig, int station, RigEventKind kind, const QString& detail, int minute = 31) {
  RigEvent e;
  e.EventId = QStringLiteral("6f1c2a7e-0000-4000-8000-%1").arg(minute, 12, 10, QLatin1Char('0'));
  e.RigName = rig;
  e.Station = station;
  e.HappenedAt = QDateTime(QDate(2026, 12, 7), QTime(18, minute));
  e.Kind = kind;
  e.Detail = detail;
  return e;
}

AlertSettings Hook(AlertKind kind, const QString& secret = {}) {
  AlertSettings s;
  s.Url = QStringLiteral("https://hooks.example/send?key=K1");
  s.Kind = kind;
  s.Secret = secret;
  return s;
}

}  // namespace

TEST(AlertMessage, EachPlatformGetsItsOwnBodyAndSignature) {
  const qint64 now = 1700000000123;
  const std::vector<RigEvent> events{Event("一号台", 1, RigEventKind::Refusal, "B1拒合（第6527次）")};
  struct Case {
    AlertKind Kind;
    QString Secret;
    QByteArray Url;
    QByteArray Body;
  } cases[] = {
      {AlertKind::WeCom, {}, "https://hooks.example/send?key=K1",
       R"({"msgtype":"text","text":{"content":"T"}})"},
      // A 企业微信 robot has no signing: a secret changes nothing.
      {AlertKind::WeCom, "SECabc", "https://hooks.example/send?key=K1",
       R"({"msgtype":"text","text":{"content":"T"}})"},
      {AlertKind::DingTalk, {}, "https://hooks.example/send?key=K1",
       R"({"msgtype":"text","text":{"content":"T"}})"},
      {AlertKind::DingTalk, "SECabc",
       "https://hooks.example/send?key=K1&timestamp=1700000000123&sign=IqXBU%2FaLfwMA3S%2FtDcfRmHx5vWHw9Y1aOgFLBr1Ti9w%3D",
       R"({"msgtype":"text","text":{"content":"T"}})"},
      {AlertKind::Feishu, {}, "https://hooks.example/send?key=K1", R"({"content":{"text":"T"},"msg_type":"text"})"},
      {AlertKind::Feishu, "SECabc", "https://hooks.example/send?key=K1",
       R"({"content":{"text":"T"},"msg_type":"text","sign":"XprR1de+0SSBnwWyU/4k6x2TL+Q2SJlM5NNEdAv7MWg=","timestamp":"1700000000"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(AlertKindName(c.Kind).toStdString() + " secret=" + c.Secret.toStdString());
    const AlertPost post = BuildAlertPost(Hook(c.Kind, c.Secret), QStringLiteral("T"), events, now);
    EXPECT_EQ(post.Url.toEncoded(), c.Url);
    EXPECT_EQ(post.Body, c.Body);
  }
  // A generic webhook gets the text and the events themselves.
  const AlertPost json = BuildAlertPost(Hook(AlertKind::Json), QStringLiteral("T"), events, now);
  const QJsonObject o = QJsonDocument::fromJson(json.Body).object();
  EXPECT_EQ(o["text"].toString(), "T");
  const QJsonObject first = o["events"].toArray().at(0).toObject();
  EXPECT_EQ(first["kind"].toString(), "refusal");
  EXPECT_EQ(first["rig_name"].toString(), "一号台");
  EXPECT_EQ(first["detail"].toString(), "B1拒合（第6527次）");
  EXPECT_EQ(first["event_id"].toString(), events[0].EventId);
  // ... and what it gets reads back as the same event, time and all.
  const std::optional<RigEvent> back = EventFromJson(QJsonDocument(first).toJson());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->HappenedAt, events[0].HappenedAt);
  EXPECT_EQ(back->Station, 1);
}

TEST(AlertMessage, AnAnswerCountsAsDeliveredOnlyWhenThePlatformSaysSo) {
  struct Case {
    AlertKind Kind;
    int Status;
    QByteArray Body;
    QString Problem;  // empty: delivered
  } cases[] = {
      {AlertKind::WeCom, 200, R"({"errcode":0,"errmsg":"ok"})", ""},
      {AlertKind::WeCom, 200, R"({"errcode":45009,"errmsg":"api freq out of limit"})",
       "errcode 45009：api freq out of limit"},
      {AlertKind::DingTalk, 200, R"({"errcode":310000,"errmsg":"sign not match"})", "errcode 310000：sign not match"},
      {AlertKind::DingTalk, 200, R"({"errcode":0,"errmsg":"ok"})", ""},
      {AlertKind::Feishu, 200, R"({"code":0,"msg":"success","data":{}})", ""},
      {AlertKind::Feishu, 200, R"({"code":19021,"msg":"sign match fail or timestamp is not within one hour"})",
       "code 19021：sign match fail or timestamp is not within one hour"},
      {AlertKind::Feishu, 200, R"({"StatusCode":0,"StatusMessage":"success"})", ""},
      {AlertKind::WeCom, 200, "<html>gateway</html>", "应答无法识别：<html>gateway</html>"},
      {AlertKind::WeCom, 502, R"({"errcode":0})", "HTTP 502"},
      {AlertKind::Json, 204, "", ""},
      {AlertKind::Json, 200, R"({"errcode":7})", ""},  // a generic webhook's body is its own business
      {AlertKind::Json, 404, "", "HTTP 404"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AlertAnswerProblem(c.Kind, c.Status, c.Body), c.Problem) << c.Body.toStdString();
}

TEST(AlertMessage, EventsThatComeTogetherAreOneMessageListingThem) {
  const RigEvent refusal = Event("一号台", 1, RigEventKind::Refusal, "B1拒合（第6527次）");
  const RigEvent lost = Event("二号台", 2, RigEventKind::LineLost, "", 32);
  const RigEvent silent = Event("一号台", 2, RigEventKind::Silent, "控制器已12秒没有报告动作", 33);
  EXPECT_EQ(AlertText({refusal}), "一号台 工位1 12-07 18:31 拒动作：B1拒合（第6527次）");
  EXPECT_EQ(AlertText({refusal, lost, silent}),
            "一号台、二号台：3 条事件\n"
            "一号台 工位1 12-07 18:31 拒动作：B1拒合（第6527次）\n"
            "二号台 工位2 12-07 18:32 线路中断\n"
            "一号台 工位2 12-07 18:33 控制器无响应：控制器已12秒没有报告动作");
  std::vector<RigEvent> many;
  for (int i = 0; i < 25; ++i) many.push_back(Event("一号台", 1, RigEventKind::Finished, QString::number(i), i));
  const QStringList lines = AlertText(many).split('\n');
  ASSERT_EQ(lines.size(), 1 + kAlertLinesShown + 1);
  EXPECT_EQ(lines.front(), "一号台：25 条事件");
  EXPECT_TRUE(lines[kAlertLinesShown].endsWith("：19"));
  EXPECT_EQ(lines.back(), "……另有 5 条");
}

TEST(AlertMessage, MessagesKeepThePaceAndFailuresWaitLongerEachTime) {
  // 20 a minute: 3 s apart. Failures: 2 s, 4 s, ... but never under the pace.
  struct Step {
    bool Ok;
    int64_t At;
    int64_t NextAt;
  };
  const std::vector<Step> steps = {
      {true, 1000, 4000},      {false, 4000, 7000},   // 2 s is under the pace: 3 s
      {false, 7000, 11000},    {false, 11000, 19000}, {false, 19000, 35000},
      {true, 35000, 38000},    // a success starts the pauses over
      {false, 38000, 41000},
  };
  AlertPacer pacer(AlertPacing{20, RetryPauses{std::chrono::milliseconds(2000), std::chrono::milliseconds(16000)}});
  for (const Step& s : steps) {
    s.Ok ? pacer.Delivered(s.At) : pacer.Failed(s.At);
    EXPECT_EQ(pacer.NextAt(), s.NextAt) << "at " << s.At;
  }
  for (int i = 0; i < 10; ++i) pacer.Failed(100000);
  EXPECT_EQ(pacer.NextAt(), 116000) << "the longest pause";
}

TEST(AlertMessage, SettingsRoundTripAndAnEmptyEventListChoosesNone) {
  rigtest::TempDir dir;
  EXPECT_FALSE(LoadAlertSettings(dir.Path()).Enabled()) << "no [Alerts]: no alerts";
  EXPECT_EQ(LoadAlertSettings(dir.Path()).Events.size(), 5u) << "every kind but a plain save by default";
  AlertSettings s = Hook(AlertKind::Feishu, QStringLiteral("S:;=1"));
  s.Events = {RigEventKind::Saved, RigEventKind::LineLost};
  s.PerMinute = 6;
  SaveAlertSettings(dir.Path(), s);
  EXPECT_EQ(LoadAlertSettings(dir.Path()), s);
  TIniFile(dir.Path() + "Config.ini").WriteString("Alerts", "Events", "");
  EXPECT_TRUE(LoadAlertSettings(dir.Path()).Events.empty());
  EXPECT_FALSE(LoadAlertSettings(dir.Path()).Wants(RigEventKind::LineLost));
  TIniFile(dir.Path() + "Config.ini").WriteString("Alerts", "Events", " silent , bogus,refusal");
  EXPECT_EQ(LoadAlertSettings(dir.Path()).Events, (std::set{RigEventKind::Refusal, RigEventKind::Silent}));
}
