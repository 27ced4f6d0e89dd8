#include "DemoConfig.h"

#include "core/IniFile.h"

namespace rig::sim {

QStringList PointConfigAtLinks(const QString& iniPath, const std::map<int, QString>& links) {
  QStringList report;
  TIniFile ini(iniPath);
  const QString section = QStringLiteral("Config");
  for (const auto& [station, link] : links) {
    if (station != 1 && station != 2) continue;
    const QString key = QStringLiteral("ComName%1").arg(station);
    const QString current = ini.ReadString(section, key, QString());
    if (!current.isEmpty() && current != link) {
      report << QStringLiteral("%1 stays %2 (set by the user); the program will not use the simulator for station %3")
                    .arg(key, current)
                    .arg(station);
      continue;
    }
    if (current == link) {
      report << QStringLiteral("%1 already points at %2").arg(key, link);
      continue;
    }
    try {
      ini.WriteString(section, key, link);
      report << QStringLiteral("%1 set to %2 in %3").arg(key, link, iniPath);
    } catch (const EIniWriteError& e) {
      report << e.Message();
    }
  }
  return report;
}

}  // namespace rig::sim
