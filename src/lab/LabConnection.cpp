#include "lab/LabConnection.h"

#include <libpq-fe.h>

#include <poll.h>

#include <chrono>
#include <vector>

#include "lab/LabInterrupt.h"

namespace rig::lab {
namespace {

QString FirstLine(const char* message) {
  QString text = QString::fromUtf8(message ? message : "").trimmed();
  // libpq prefixes "connection to server at ... failed: "; the reason follows.
  const int cut = text.indexOf(QStringLiteral("failed: "));
  if (cut >= 0) text = text.mid(cut + 8);
  return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

}  // namespace

QString ConnectProblemText(const LabSettings& s, const QString& message) {
  struct Rule {
    const char* Needle;
    int Kind;  // 0 unreachable, 1 login, 2 database
  };
  static constexpr Rule kRules[] = {
      {"does not exist", -1},  // decided below: database or role
      {"password authentication failed", 1},
      {"no password supplied", 1},
      {"pg_hba.conf", 1},
      {"authentication failed", 1},
      {"Connection refused", 0},
      {"timeout expired", 0},
      {"could not translate host name", 0},
      {"No route to host", 0},
      {"Network is unreachable", 0},
      {"could not connect", 0},
      {"server closed the connection", 0},
      {"terminating connection", 0},
      {"no connection to the server", 0},
      {"connection to server was lost", 0},
      {"the database system is starting up", 0},
      {"the database system is shutting down", 0},
  };
  for (const Rule& r : kRules) {
    if (!message.contains(QLatin1String(r.Needle), Qt::CaseInsensitive)) continue;
    int kind = r.Kind;
    if (kind < 0) kind = message.contains(QStringLiteral("role")) ? 1 : 2;
    switch (kind) {
      case 0: return QStringLiteral("服务器无法访问（%1:%2）").arg(s.Host).arg(s.Port);
      case 1: return QStringLiteral("登录被拒绝（用户 %1）").arg(s.User);
      default: return QStringLiteral("数据库不存在（%1）").arg(s.Database);
    }
  }
  return QStringLiteral("连接失败：") + message;
}

void PgResultDeleter::operator()(pg_result* r) const { PQclear(r); }

LabConnection::LabConnection(const LabSettings& settings, int connectTimeoutSeconds,
                             const std::function<bool()>& cancelled, LabInterrupt* interrupt)
    : settings_(settings) {
  const std::string info = ConnectionString(settings, connectTimeoutSeconds);
  if (!cancelled) {
    conn_ = PQconnectdb(info.c_str());
  } else {
    // Step by step, so that a program shutting down need not wait for a
    // server that does not answer.
    conn_ = PQconnectStart(info.c_str());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(connectTimeoutSeconds);
    PostgresPollingStatusType step = PGRES_POLLING_WRITING;
    while (conn_ && PQstatus(conn_) != CONNECTION_BAD && step != PGRES_POLLING_OK && step != PGRES_POLLING_FAILED) {
      if (cancelled() || std::chrono::steady_clock::now() > deadline) {
        PQfinish(conn_);
        conn_ = nullptr;
        throw LabError(cancelled() ? QStringLiteral("连接已取消")
                                   : QStringLiteral("服务器无法访问（%1:%2）").arg(settings.Host).arg(settings.Port));
      }
      pollfd fd{PQsocket(conn_), static_cast<short>(step == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
      if (fd.fd >= 0 && ::poll(&fd, 1, 50) == 0) continue;
      step = PQconnectPoll(conn_);
    }
  }
  if (PQstatus(conn_) != CONNECTION_OK) {
    const QString why = ConnectProblemText(settings, FirstLine(PQerrorMessage(conn_)));
    PQfinish(conn_);
    conn_ = nullptr;
    throw LabError(why);
  }
  if (interrupt) {
    interrupt_ = interrupt;
    interrupt_->Attach(conn_);
  }
}

LabConnection::~LabConnection() {
  if (interrupt_) interrupt_->Detach();
  if (conn_) PQfinish(conn_);
}

bool LabConnection::Alive() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }

QString LabConnection::LastError() const { return FirstLine(PQerrorMessage(conn_)); }

QString RefusalText(const QString& sqlState, const QString& serverLine) {
  const QString why = sqlState.startsWith(QLatin1String("23"))
                          ? QStringLiteral("与实验室数据库的规定或已有数据冲突")
                          : QStringLiteral("数据不被实验室数据库接受（内容超出其范围或长度）");
  return QStringLiteral("%1（SQLSTATE %2：%3）").arg(why, sqlState, serverLine);
}

LabError StatementError(const pg_result* r, const QString& serverLine) {
  const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  const QString sqlState = QString::fromLatin1(state ? state : "");
  LabError probe(QString(), sqlState);
  if (probe.RefusesTheTest()) return LabError(RefusalText(sqlState, serverLine), sqlState);
  return LabError(QStringLiteral("服务器报错：") + serverLine, sqlState);
}

void LabConnection::Exec(const char* sql) {
  PgResult r(PQexec(conn_, sql));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throw StatementError(r.get(), LastError());
}

PgResult LabConnection::Query(const char* sql, const std::vector<std::string>& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const std::string& p : params) values.push_back(p.c_str());
  PgResult r(PQexecParams(conn_, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throw StatementError(r.get(), LastError());
  return r;
}

QString TestLabConnection(const LabSettings& settings) {
  if (!settings.Enabled()) return QStringLiteral("未设置服务器地址");
  try {
    // Step by step against one deadline: a server that accepts and never
    // answers (or a name with several addresses) is given up in 5 s in all.
    LabConnection c(settings, 5, [] { return false; });
    return QStringLiteral("连接成功（PostgreSQL %1）").arg(PQparameterStatus(c.Handle(), "server_version"));
  } catch (const LabError& e) {
    return e.Words();
  }
}

}  // namespace rig::lab
