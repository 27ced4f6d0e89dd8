// lab-admin [CONNECTION] COMMAND
//
// The lab administrator's tool for the lab database:
//   setup                       every schema step, the roles lab_rig and
//                               lab_viewer, their rights and row rules
//   upgrade                     the same, after a new program version
//   add-rig LOGIN RIGNAME [--out FILE]
//                               a login for one rig, tied to its rig name
//   add-viewer LOGIN [--out FILE]
//                               a read-only login (people, dashboards)
// CONNECTION: -h HOST -p PORT -d DATABASE -U USER [--passfile FILE]
// [--sslmode MODE] [--sslrootcert FILE]; the login must own the database
// and may create roles. A new login gets a random password, written as a
// PostgreSQL password file to FILE (default LOGIN.pgpass, mode 0600); the
// [Lab] lines for the rig's Config.ini are printed.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "lab/LabAdmin.h"
#include "lab/LabConnection.h"

using namespace rig::lab;

namespace {

void Say(const QString& text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }

int Usage() {
  std::fprintf(stderr,
               "usage: lab-admin -h HOST -p PORT -d DATABASE -U USER [--passfile FILE] [--sslmode MODE] "
               "[--sslrootcert FILE] setup | upgrade | add-rig LOGIN RIGNAME [--out FILE] | add-viewer LOGIN [--out FILE]\n");
  return 2;
}

// The new login's password file and the lines a rig puts in Config.ini.
bool HandOut(const LabSettings& admin, const QString& login, const QString& rigName, const QString& password,
             QString out) {
  LabSettings s = admin;
  s.User = login;
  s.RigName = rigName;
  if (out.isEmpty()) out = login + QStringLiteral(".pgpass");
  if (!WritePasswordFile(out, s, password)) {
    std::fprintf(stderr, "cannot write %s\n", out.toLocal8Bit().constData());
    return false;
  }
  Say(QStringLiteral("Password file: %1 (copy it to the rig; readable only by its user)").arg(out));
  Say(QStringLiteral("[Lab]\nHost=%1\nPort=%2\nDatabase=%3\nUser=%4\nPassFile=<the copied file>\nSslMode=%5")
          .arg(s.Host).arg(s.Port).arg(s.Database, s.User, s.SslMode));
  if (!rigName.isEmpty()) Say(QStringLiteral("RigName=") + rigName);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  LabSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.RigName.clear();
  QString out;
  QStringList words;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool valued = a.startsWith(QLatin1Char('-'));
    if (valued && i + 1 >= args.size()) return Usage();
    if (a == QLatin1String("-h")) s.Host = args[++i];
    else if (a == QLatin1String("-p")) s.Port = args[++i].toInt();
    else if (a == QLatin1String("-d")) s.Database = args[++i];
    else if (a == QLatin1String("-U")) s.User = args[++i];
    else if (a == QLatin1String("--passfile")) s.PassFile = args[++i];
    else if (a == QLatin1String("--sslmode")) s.SslMode = args[++i];
    else if (a == QLatin1String("--sslrootcert")) s.SslRootCert = args[++i];
    else if (a == QLatin1String("--out")) out = args[++i];
    else if (valued) return Usage();
    else words << a;
  }
  if (words.isEmpty()) return Usage();
  const QString command = words.takeFirst();
  try {
    LabConnection c(s);
    if ((command == QLatin1String("setup") || command == QLatin1String("upgrade")) && words.isEmpty()) {
      Say(QStringLiteral("lab database %1 at schema version %2, rights applied").arg(s.Database).arg(SetUpLab(c)));
    } else if (command == QLatin1String("add-rig") && words.size() == 2) {
      const QString password = NewPassword();
      AddRig(c, words[0], words[1], password);
      if (!HandOut(s, words[0], words[1], password, out)) return 1;
    } else if (command == QLatin1String("add-viewer") && words.size() == 1) {
      const QString password = NewPassword();
      AddViewer(c, words[0], password);
      if (!HandOut(s, words[0], QString(), password, out)) return 1;
    } else {
      return Usage();
    }
  } catch (const LabError& e) {
    std::fprintf(stderr, "%s\n", e.Words().toUtf8().constData());
    return 1;
  }
  return 0;
}
