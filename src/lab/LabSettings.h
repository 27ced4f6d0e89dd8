#pragma once
// Where this rig's tests go besides its own files: the [Lab] section of
// Config.ini. No host means no lab database; the program then works alone.
// The password is never in Config.ini: libpq reads it from the password
// file PassFile names (PostgreSQL's format, readable only by its owner) or,
// without one, from PGPASSFILE or ~/.pgpass.
#include <QString>
#include <string>

namespace rig::lab {

struct LabSettings {
  QString Host;
  int Port = 5432;
  QString Database = QStringLiteral("lab");
  QString User = QStringLiteral("rig");
  QString PassFile;
  QString RigName;  // this rig's name in the lab database
  // Encryption: "disable", "prefer" (encrypted when the server offers it,
  // the certificate unchecked), "require" (always encrypted, unchecked) or
  // "verify-full" (encrypted, the server's certificate checked against
  // SslRootCert and its name against Host).
  QString SslMode = QStringLiteral("prefer");
  QString SslRootCert;  // empty: ~/.postgresql/root.crt

  bool VerifiesServer() const { return SslMode.startsWith(QLatin1String("verify")); }

  bool Enabled() const { return !Host.trimmed().isEmpty(); }
  bool operator==(const LabSettings&) const = default;
};

// Reads [Lab] from exeDir + "Config.ini"; missing keys give the defaults and
// a missing RigName the machine's host name.
LabSettings LoadLabSettings(const QString& exeDir);

// Writes the eight keys. Throws EIniWriteError when the file cannot be written.
void SaveLabSettings(const QString& exeDir, const LabSettings& settings);

// The modes the settings dialog offers, in its order.
inline constexpr const char* kSslModes[] = {"disable", "prefer", "require", "verify-full"};

// The root certificate file verify-full checks against: SslRootCert or
// libpq's default ~/.postgresql/root.crt.
QString RootCertPath(const LabSettings& settings);

// A libpq connection string (values quoted); the password is left to libpq's
// password file.
std::string ConnectionString(const LabSettings& settings, int connectTimeoutSeconds = 5);

// Writes `password` for these settings as a PostgreSQL password file at
// `path`, readable and writable only by its owner. False when it cannot.
bool WritePasswordFile(const QString& path, const LabSettings& settings, const QString& password);

}  // namespace rig::lab
