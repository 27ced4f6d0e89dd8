#pragma once
// What goes to a webhook and what its answer means: the message text (one
// event, or several merged into one message), each platform's JSON and
// signing, and whether the platform took the message. Pure functions.
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <vector>

#include "core/RigEvent.h"
#include "lab/AlertSettings.h"

namespace rig::lab {

// Lines beyond this in one merged message are counted, not listed.
constexpr int kAlertLinesShown = 20;

// One event: its line. Several: "一号台：3 条事件" and a line each.
QString AlertText(const std::vector<RigEvent>& events);

struct AlertPost {
  QUrl Url;
  QByteArray Body;  // JSON
  bool operator==(const AlertPost&) const = default;
};

// The request for `text` (and, for a generic webhook, the events themselves)
// at `nowMs` (ms since the epoch, for the signature).
//   企业微信: {"msgtype":"text","text":{"content":…}}
//   钉钉:     the same body; with a secret, &timestamp=…&sign=… on the URL
//   飞书:     {"msg_type":"text","content":{"text":…}}, with a secret also
//             "timestamp" and "sign" in the body
//   JSON:     {"text":…,"events":[…]}
AlertPost BuildAlertPost(const AlertSettings& settings, const QString& text, const std::vector<RigEvent>& events,
                         qint64 nowMs);

// Empty when the webhook took the message; else what went wrong in words
// ("HTTP 502", "errcode 310000：sign not match", "code 19021：…").
QString AlertAnswerProblem(AlertKind kind, int httpStatus, const QByteArray& body);

}  // namespace rig::lab
