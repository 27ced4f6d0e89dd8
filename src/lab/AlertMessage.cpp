#include "lab/AlertMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QStringList>

#include "lab/RigEventText.h"

namespace rig::lab {
namespace {

QByteArray Hmac(const QByteArray& key, const QByteArray& message) {
  return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256).toBase64();
}

QByteArray Compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

}  // namespace

QString AlertText(const std::vector<RigEvent>& events) {
  if (events.empty()) return QString();
  if (events.size() == 1) return EventLine(events.front());
  QStringList lines;
  QStringList rigs;
  for (const RigEvent& e : events)
    if (!rigs.contains(e.RigName)) rigs << e.RigName;
  lines << QStringLiteral("%1：%2 条事件").arg(rigs.join(QStringLiteral("、"))).arg(events.size());
  for (size_t i = 0; i < events.size() && i < kAlertLinesShown; ++i) lines << EventLine(events[i]);
  if (events.size() > kAlertLinesShown) lines << QStringLiteral("……另有 %1 条").arg(events.size() - kAlertLinesShown);
  return lines.join(QLatin1Char('\n'));
}

AlertPost BuildAlertPost(const AlertSettings& s, const QString& text, const std::vector<RigEvent>& events,
                         qint64 nowMs) {
  AlertPost post;
  post.Url = QUrl(s.Url.trimmed());
  QJsonObject body;
  switch (s.Kind) {
    case AlertKind::WeCom:
    case AlertKind::DingTalk:
      body[QStringLiteral("msgtype")] = QStringLiteral("text");
      body[QStringLiteral("text")] = QJsonObject{{QStringLiteral("content"), text}};
      if (s.Kind == AlertKind::DingTalk && !s.Secret.isEmpty()) {
        const QByteArray timestamp = QByteArray::number(nowMs);
        const QByteArray sign = Hmac(s.Secret.toUtf8(), timestamp + '\n' + s.Secret.toUtf8());
        const QByteArray url = post.Url.toEncoded();
        post.Url = QUrl::fromEncoded(url + (post.Url.hasQuery() ? '&' : '?') + "timestamp=" + timestamp +
                                     "&sign=" + sign.toPercentEncoding());
      }
      break;
    case AlertKind::Feishu:
      body[QStringLiteral("msg_type")] = QStringLiteral("text");
      body[QStringLiteral("content")] = QJsonObject{{QStringLiteral("text"), text}};
      if (!s.Secret.isEmpty()) {
        const QByteArray timestamp = QByteArray::number(nowMs / 1000);
        // 飞书 signs with the timestamp and secret as the key of an empty message.
        body[QStringLiteral("timestamp")] = QString::fromLatin1(timestamp);
        body[QStringLiteral("sign")] = QString::fromLatin1(Hmac(timestamp + '\n' + s.Secret.toUtf8(), QByteArray()));
      }
      break;
    case AlertKind::Json: {
      QJsonArray list;
      for (const RigEvent& e : events) list.append(QJsonDocument::fromJson(EventJson(e)).object());
      body[QStringLiteral("text")] = text;
      body[QStringLiteral("events")] = list;
      break;
    }
  }
  post.Body = Compact(body);
  return post;
}

QString AlertAnswerProblem(AlertKind kind, int httpStatus, const QByteArray& body) {
  if (httpStatus < 200 || httpStatus > 299) return QStringLiteral("HTTP %1").arg(httpStatus);
  if (kind == AlertKind::Json) return QString();
  const QJsonObject o = QJsonDocument::fromJson(body).object();
  // The robots answer 200 and say in the body whether they took it.
  for (const char* key : {"errcode", "code", "StatusCode"}) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) continue;
    if (v.toInt(-1) == 0) return QString();
    QString words = o.value(QStringLiteral("errmsg")).toString();
    if (words.isEmpty()) words = o.value(QStringLiteral("msg")).toString();
    if (words.isEmpty()) words = o.value(QStringLiteral("StatusMessage")).toString();
    return QStringLiteral("%1 %2：%3").arg(QLatin1String(key)).arg(v.toVariant().toString(), words);
  }
  return QStringLiteral("应答无法识别：") + QString::fromUtf8(body.left(200));
}

}  // namespace rig::lab
