#include "station/Config.h"

#include "station/GlobVar.h"
#include "core/IniFile.h"

namespace rig {
namespace {

const QString kSection = QStringLiteral("Config");

QString Key(const char* name, int station) { return QLatin1String(name) + QString::number(station); }

}  // namespace

void LoadConfig(GlobVar& g) {
  const TIniFile ini(g.ConfigPath);
  for (int s = 1; s <= 2; ++s) {
    StationConfig& c = g.Station(s)->Config;
    c.PortName = ini.ReadString(kSection, Key("ComName", s), QStringLiteral("COM%1").arg(s));
    c.DataBits = ini.ReadInteger(kSection, Key("DataNum", s), 8);
    c.StopBitsIndex = ini.ReadInteger(kSection, Key("StopNum", s), 0);
    c.ParityIndex = ini.ReadInteger(kSection, Key("Mark", s), 0);
    c.BaudRate = ini.ReadInteger(kSection, Key("Baud", s), 9600);
  }
  for (int s = 1; s <= 2; ++s) {
    StationState& st = g.Station(s)->State;
    st.OpenType = ini.ReadString(kSection, Key("OpenType", s), QString());
    st.OutIndex = ini.ReadString(kSection, Key("OutIndex", s), QString());
    st.WorkArea = ini.ReadString(kSection, Key("WorkArea", s), QString());
    st.WorkName = ini.ReadString(kSection, Key("WorkName", s), QString());
  }
  g.HelpFileName = ini.ReadString(kSection, QStringLiteral("HelpFileName"), QStringLiteral("Help.doc"));
}

void SaveTestIdentity(GlobVar& g) {
  TIniFile ini(g.ConfigPath);
  for (int s = 1; s <= 2; ++s) {
    const StationState& st = g.Station(s)->State;
    ini.WriteString(kSection, Key("OpenType", s), st.OpenType);
    ini.WriteString(kSection, Key("OutIndex", s), st.OutIndex);
    ini.WriteString(kSection, Key("WorkArea", s), st.WorkArea);
    ini.WriteString(kSection, Key("WorkName", s), st.WorkName);
  }
}

void SaveStationComm(GlobVar& g, int station) {
  const StationShared* st = g.Station(station);
  if (!st) return;
  TIniFile ini(g.ConfigPath);
  ini.WriteString(kSection, Key("ComName", station), st->Config.PortName);
  ini.WriteInteger(kSection, Key("DataNum", station), st->Config.DataBits);
  ini.WriteInteger(kSection, Key("StopNum", station), st->Config.StopBitsIndex);
  ini.WriteInteger(kSection, Key("Mark", station), st->Config.ParityIndex);
  ini.WriteInteger(kSection, Key("Baud", station), st->Config.BaudRate);
}

}  // namespace rig
