#include "lab/LabSettings.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QSysInfo>

#include "core/IniFile.h"

namespace rig::lab {
namespace {

const QString kSection = QStringLiteral("Lab");

QString IniPath(const QString& exeDir) { return exeDir + QStringLiteral("Config.ini"); }

// libpq's quoting: single quotes around, backslash before ' and \.
std::string Quoted(const QString& value) {
  std::string out = "'";
  for (char c : value.toStdString()) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// A password file field: backslash before : and \.
QString PassField(QString value) {
  value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  value.replace(QLatin1Char(':'), QStringLiteral("\\:"));
  return value;
}

}  // namespace

LabSettings LoadLabSettings(const QString& exeDir) {
  const TIniFile ini(IniPath(exeDir));
  LabSettings s;
  s.Host = ini.ReadString(kSection, QStringLiteral("Host"), QString()).trimmed();
  s.Port = ini.ReadInteger(kSection, QStringLiteral("Port"), s.Port);
  s.Database = ini.ReadString(kSection, QStringLiteral("Database"), s.Database).trimmed();
  s.User = ini.ReadString(kSection, QStringLiteral("User"), s.User).trimmed();
  s.PassFile = ini.ReadString(kSection, QStringLiteral("PassFile"), QString()).trimmed();
  s.RigName = ini.ReadString(kSection, QStringLiteral("RigName"), QString()).trimmed();
  if (s.RigName.isEmpty()) s.RigName = QSysInfo::machineHostName();
  const QString mode = ini.ReadString(kSection, QStringLiteral("SslMode"), s.SslMode).trimmed().toLower();
  for (const char* known : kSslModes)
    if (mode == QLatin1String(known)) s.SslMode = mode;  // anything else: the default
  s.SslRootCert = ini.ReadString(kSection, QStringLiteral("SslRootCert"), QString()).trimmed();
  return s;
}

void SaveLabSettings(const QString& exeDir, const LabSettings& s) {
  TIniFile ini(IniPath(exeDir));
  ini.WriteString(kSection, QStringLiteral("Host"), s.Host);
  ini.WriteInteger(kSection, QStringLiteral("Port"), s.Port);
  ini.WriteString(kSection, QStringLiteral("Database"), s.Database);
  ini.WriteString(kSection, QStringLiteral("User"), s.User);
  ini.WriteString(kSection, QStringLiteral("PassFile"), s.PassFile);
  ini.WriteString(kSection, QStringLiteral("RigName"), s.RigName);
  ini.WriteString(kSection, QStringLiteral("SslMode"), s.SslMode);
  ini.WriteString(kSection, QStringLiteral("SslRootCert"), s.SslRootCert);
}

QString RootCertPath(const LabSettings& s) {
  return s.SslRootCert.isEmpty() ? QDir::homePath() + QStringLiteral("/.postgresql/root.crt") : s.SslRootCert;
}

std::string ConnectionString(const LabSettings& s, int connectTimeoutSeconds) {
  std::string c = "host=" + Quoted(s.Host) + " port=" + std::to_string(s.Port) + " dbname=" + Quoted(s.Database) +
                  " user=" + Quoted(s.User) + " connect_timeout=" + std::to_string(connectTimeoutSeconds) +
                  " application_name='rig-lab' client_encoding='UTF8' keepalives_idle=10 keepalives_interval=5"
                  " keepalives_count=3";
  if (!s.PassFile.isEmpty()) c += " passfile=" + Quoted(s.PassFile);
  c += " sslmode=" + Quoted(s.SslMode);
  if (s.VerifiesServer()) c += " sslrootcert=" + Quoted(RootCertPath(s));
  return c;
}

bool WritePasswordFile(const QString& path, const LabSettings& s, const QString& password) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) return false;
  const QString line = QStringList{PassField(s.Host), QString::number(s.Port), PassField(s.Database),
                                   PassField(s.User), PassField(password)}
                           .join(QLatin1Char(':')) +
                       QLatin1Char('\n');
  return file.write(line.toUtf8()) > 0 && file.flush();
}

}  // namespace rig::lab
