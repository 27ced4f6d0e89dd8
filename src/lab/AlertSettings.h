#pragma once
// Where this rig's alerts go: the [Alerts] section of Config.ini. One group
// chat robot webhook (企业微信, 钉钉, 飞书) or a generic JSON webhook, the
// events that are worth a message, and at most how many messages a minute.
// No URL: no alerts. Alerts need no lab database.
#include <QString>
#include <set>

#include "core/RigEvent.h"

namespace rig::lab {

enum class AlertKind { WeCom, DingTalk, Feishu, Json };

struct AlertSettings {
  QString Url;
  AlertKind Kind = AlertKind::WeCom;
  QString Secret;  // 钉钉 and 飞书 signing; empty: unsigned
  std::set<RigEventKind> Events{RigEventKind::Refusal, RigEventKind::Silent, RigEventKind::LineLost,
                                RigEventKind::Finished, RigEventKind::SaveFailed};
  int PerMinute = 20;  // messages to the webhook, events merged beyond that

  bool Enabled() const { return !Url.trimmed().isEmpty(); }
  bool Wants(RigEventKind kind) const { return Enabled() && Events.count(kind) > 0; }
  bool operator==(const AlertSettings&) const = default;
};

// "wecom", "dingtalk", "feishu", "json".
QString AlertKindName(AlertKind kind);

// Reads [Alerts] from exeDir + "Config.ini": Url, Kind, Secret, Events (kind
// names separated by commas), PerMinute.
AlertSettings LoadAlertSettings(const QString& exeDir);
// Throws EIniWriteError when the file cannot be written.
void SaveAlertSettings(const QString& exeDir, const AlertSettings& settings);

}  // namespace rig::lab
