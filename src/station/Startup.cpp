#include "station/Startup.h"

#include <QCoreApplication>
#include <QDir>

#include "station/Config.h"
#include "station/GlobVar.h"
#include "core/IniFile.h"
#include "core/RunLog.h"

namespace rig {

void InitSharedState(GlobVar& g, const QString& exeDir) {
  for (int s = 1; s <= kStationCount; ++s) {
    StationShared& st = *g.Station(s);
    g.ClearActionQueue(s);
    st.PortOpen = false;
    st.Model = TStationModel{};  // closed, idle, the first report awaited
  }
  g.ExeDir = exeDir;
  g.ConfigPath = exeDir + QStringLiteral("Config.ini");
  LoadConfig(g);
  for (int s = 1; s <= kStationCount; ++s) {
    g.Station(s)->Run.CountDone = 0;
  }
  g.Log = std::make_unique<TRunLog>(exeDir);
  InstallRunLog(g.Log.get());
}

QString ShutdownSharedState(GlobVar& g, bool saveIdentity) {
  QString error;
  if (saveIdentity) {
    try {
      SaveTestIdentity(g);
    } catch (const EIniWriteError& e) {
      error = e.Message();
      WriteLog(error);
    }
  }
  g.ClearActionQueue(1);
  g.ClearActionQueue(2);
  if (InstalledRunLog() == g.Log.get()) InstallRunLog(nullptr);
  return error;
}

QString ExecutableDir() {
  QString dir = QCoreApplication::applicationDirPath();
  if (dir.isEmpty()) dir = QDir::currentPath();
  return QDir::cleanPath(dir) + QLatin1Char('/');
}

}  // namespace rig
