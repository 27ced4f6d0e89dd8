#include "lab/LabAdmin.h"

#include <libpq-fe.h>

#include <QRandomGenerator>

#include "lab/LabConnection.h"
#include "lab/LabRightsText.h"
#include "lab/LabSchema.h"

namespace rig::lab {
namespace {

// Makes the login or sets its password, and puts it in `group`; the
// statements are built by the server (format %I, %L), not here.
void MakeLogin(LabConnection& c, const QString& login, const QString& password, const char* group) {
  PgResult exists = c.Query("SELECT 1 FROM pg_roles WHERE rolname = $1", {login.toStdString()});
  const char* make = PQntuples(exists.get()) == 1 ? "SELECT format('ALTER ROLE %I LOGIN PASSWORD %L', $1::text, $2::text)"
                                                  : "SELECT format('CREATE ROLE %I LOGIN PASSWORD %L', $1::text, $2::text)";
  PgResult sql = c.Query(make, {login.toStdString(), password.toStdString()});
  c.Exec(PQgetvalue(sql.get(), 0, 0));
  PgResult grant = c.Query("SELECT format('GRANT %I TO %I', $1::text, $2::text)", {group, login.toStdString()});
  c.Exec(PQgetvalue(grant.get(), 0, 0));
}

template <typename Body>
void InTransaction(LabConnection& c, Body body) {
  c.Exec("BEGIN");
  try {
    body();
    c.Exec("COMMIT");
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK) PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
}

}  // namespace

int SetUpLab(LabConnection& c) {
  const int version = EnsureLabSchema(c, SchemaUse::Administer);
  InTransaction(c, [&] {
    c.Exec("SELECT pg_advisory_xact_lock(4417016)");
    c.Exec(kLabRightsSql);
  });
  return version;
}

void AddRig(LabConnection& c, const QString& login, const QString& rigName, const QString& password) {
  InTransaction(c, [&] {
    PgResult taken = c.Query("SELECT login, rig_name FROM lab_rigs WHERE rig_name = $1 OR login = $2 FOR UPDATE",
                             {rigName.toStdString(), login.toStdString()});
    for (int i = 0; i < PQntuples(taken.get()); ++i) {
      const QString owner = QString::fromUtf8(PQgetvalue(taken.get(), i, 0));
      const QString name = QString::fromUtf8(PQgetvalue(taken.get(), i, 1));
      if (owner != login) throw LabError(QStringLiteral("试验台名称“%1”已登记给登录 %2").arg(rigName, owner));
      if (name != rigName) throw LabError(QStringLiteral("登录 %1 已登记为试验台“%2”").arg(login, name));
    }
    MakeLogin(c, login, password, "lab_rig");
    // Two administrators at once: the key decides, and the loser is told.
    c.Query("INSERT INTO lab_rigs(login, rig_name) VALUES ($1, $2) ON CONFLICT (login) DO NOTHING",
            {login.toStdString(), rigName.toStdString()});
  });
}

void AddViewer(LabConnection& c, const QString& login, const QString& password) {
  InTransaction(c, [&] { MakeLogin(c, login, password, "lab_viewer"); });
}

QString NewPassword() {
  QString out;
  for (int i = 0; i < 3; ++i) out += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
  return out;
}

}  // namespace rig::lab
