#include "lab/LabSchema.h"

#include <libpq-fe.h>

#include <QRegularExpression>

#include "lab/LabConnection.h"
#include "lab/LabSchemaText.h"

namespace rig::lab {

std::vector<std::pair<int, QString>> LabSchemaSteps() {
  std::vector<std::pair<int, QString>> steps;
  static const QRegularExpression marker(QStringLiteral("^-- @version (\\d+)\\s*$"),
                                         QRegularExpression::MultilineOption);
  const QString text = QString::fromUtf8(kLabSchemaSql);
  auto it = marker.globalMatch(text);
  std::vector<std::pair<int, qsizetype>> starts;
  while (it.hasNext()) {
    const auto m = it.next();
    starts.push_back({m.captured(1).toInt(), m.capturedEnd()});
  }
  for (size_t i = 0; i < starts.size(); ++i) {
    const qsizetype end = i + 1 < starts.size() ? text.lastIndexOf(QStringLiteral("-- @version"), starts[i + 1].second - 1)
                                                : text.size();
    steps.push_back({starts[i].first, text.mid(starts[i].second, end - starts[i].second)});
  }
  return steps;
}

int LatestLabSchemaVersion() {
  const auto steps = LabSchemaSteps();
  return steps.empty() ? 0 : steps.back().first;
}

QString BehindText(int version, int latest) {
  return QStringLiteral("数据库版本过旧（第 %1 版，本程序需要第 %2 版），请实验室管理员运行 lab-admin upgrade；测试暂存本机，升级后自动上传")
      .arg(version)
      .arg(latest);
}

int EnsureLabSchema(LabConnection& c, SchemaUse use) {
  int behind = -1;  // the version of a database only lab-admin may bring up
  int version = 0;
  c.Exec("BEGIN");
  try {
    c.Exec("SELECT pg_advisory_xact_lock(4417016)");
    PgResult exists = c.Query(
        "SELECT to_regclass('lab_schema') IS NOT NULL, "
        "coalesce((SELECT relrowsecurity FROM pg_class WHERE oid = to_regclass('lab_tests')), false)");
    if (QByteArray(PQgetvalue(exists.get(), 0, 0)) == "t") {
      PgResult v = c.Query("SELECT max(version) FROM lab_schema");
      version = QByteArray(PQgetvalue(v.get(), 0, 0)).toInt();
    }
    const bool administered = QByteArray(PQgetvalue(exists.get(), 0, 1)) == "t";
    const int latest = LatestLabSchemaVersion();
    if (administered && use != SchemaUse::Administer && version < latest) {
      behind = version;
    } else {
      for (const auto& [step, sql] : LabSchemaSteps()) {
        if (step <= version) continue;
        c.Exec(sql.toUtf8().constData());
        c.Query("UPDATE lab_schema SET version = $1", {std::to_string(step)});
        version = step;
      }
    }
    c.Exec("COMMIT");
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK) PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
  if (behind >= 0 && use == SchemaUse::Upload) throw LabError(BehindText(behind, LatestLabSchemaVersion()));
  return behind >= 0 ? behind : version;
}

void CheckRigName(LabConnection& c, const QString& rigName) {
  PgResult set = c.Query(
      "SELECT to_regprocedure('lab_my_rig()') IS NOT NULL AND pg_has_role(session_user, 'lab_rig', 'MEMBER') "
      "AND NOT (SELECT rolsuper FROM pg_roles WHERE rolname = session_user) "
      "FROM (SELECT 1) one WHERE to_regrole('lab_rig') IS NOT NULL");
  if (PQntuples(set.get()) == 0 || QByteArray(PQgetvalue(set.get(), 0, 0)) != "t") return;
  PgResult mine = c.Query("SELECT lab_my_rig()");
  const QString login = QString::fromUtf8(PQuser(c.Handle()));
  if (PQgetisnull(mine.get(), 0, 0))
    throw LabError(QStringLiteral("本机的登录 %1 未在实验室数据库中登记为试验台：请实验室管理员运行 lab-admin add-rig").arg(login));
  const QString registered = QString::fromUtf8(PQgetvalue(mine.get(), 0, 0));
  if (registered != rigName)
    throw LabError(QStringLiteral("本机的登录 %1 在实验室数据库中登记的试验台名称是“%2”，与设置中的“%3”不符：请改正试验台名称")
                       .arg(login, registered, rigName));
}

}  // namespace rig::lab
