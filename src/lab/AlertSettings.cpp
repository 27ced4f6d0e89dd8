#include "lab/AlertSettings.h"

#include <QStringList>

#include "core/IniFile.h"
#include "lab/RigEventText.h"

namespace rig::lab {
namespace {

const QString kSection = QStringLiteral("Alerts");
constexpr AlertKind kKinds[] = {AlertKind::WeCom, AlertKind::DingTalk, AlertKind::Feishu, AlertKind::Json};

}  // namespace

QString AlertKindName(AlertKind kind) {
  switch (kind) {
    case AlertKind::WeCom: return QStringLiteral("wecom");
    case AlertKind::DingTalk: return QStringLiteral("dingtalk");
    case AlertKind::Feishu: return QStringLiteral("feishu");
    case AlertKind::Json: return QStringLiteral("json");
  }
  return QString();
}

AlertSettings LoadAlertSettings(const QString& exeDir) {
  const TIniFile ini(exeDir + QStringLiteral("Config.ini"));
  AlertSettings s;
  s.Url = ini.ReadString(kSection, QStringLiteral("Url"), QString()).trimmed();
  const QString kind = ini.ReadString(kSection, QStringLiteral("Kind"), AlertKindName(s.Kind)).trimmed().toLower();
  for (AlertKind k : kKinds)
    if (kind == AlertKindName(k)) s.Kind = k;
  s.Secret = ini.ReadString(kSection, QStringLiteral("Secret"), QString()).trimmed();
  const QString events = ini.ReadString(kSection, QStringLiteral("Events"), QStringLiteral("-"));
  if (events != QLatin1String("-")) {  // a missing key keeps the defaults; an empty one chooses none
    s.Events.clear();
    for (const QString& name : events.split(QLatin1Char(','), Qt::SkipEmptyParts))
      if (const std::optional<RigEventKind> k = KindFromName(name.trimmed())) s.Events.insert(*k);
  }
  s.PerMinute = std::max(1, ini.ReadInteger(kSection, QStringLiteral("PerMinute"), s.PerMinute));
  return s;
}

void SaveAlertSettings(const QString& exeDir, const AlertSettings& s) {
  TIniFile ini(exeDir + QStringLiteral("Config.ini"));
  QStringList events;
  for (RigEventKind k : s.Events) events << KindName(k);
  ini.WriteString(kSection, QStringLiteral("Url"), s.Url);
  ini.WriteString(kSection, QStringLiteral("Kind"), AlertKindName(s.Kind));
  ini.WriteString(kSection, QStringLiteral("Secret"), s.Secret);
  ini.WriteString(kSection, QStringLiteral("Events"), events.join(QLatin1Char(',')));
  ini.WriteInteger(kSection, QStringLiteral("PerMinute"), s.PerMinute);
}

}  // namespace rig::lab
