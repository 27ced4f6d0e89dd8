#include "lab/LabConnection.h"

#include <libpq-fe.h>

#include <poll.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
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

QString SqlStateInMessage(const QString& message) {
  static const QRegularExpression code(QStringLiteral(":\\s+([0-9A-Z]{5})\\s*$"), QRegularExpression::MultilineOption);
  const QRegularExpressionMatch m = code.match(message);
  return m.hasMatch() ? m.captured(1) : QString();
}

QString LostServerText(const LabSettings& s) { return QStringLiteral("服务器无法访问（%1:%2）").arg(s.Host).arg(s.Port); }

QString ConnectProblemText(const LabSettings& s, const ConnectFailure& f) {
  if (f.RootCertMissing)
    return QStringLiteral("无法验证服务器证书：根证书文件不存在或无法读取（%1）").arg(RootCertPath(s));
  if (f.CertRejected)
    return QStringLiteral("服务器证书未通过验证（根证书 %1，服务器 %2）").arg(RootCertPath(s), s.Host);
  if (f.NoTls) return QStringLiteral("服务器不接受加密连接（%1:%2）：请在服务器上开启 ssl，或改为不加密").arg(s.Host).arg(s.Port);
  const QString& code = f.SqlState;
  if (f.NeedsPassword || code == QLatin1String("28P01") || code == QLatin1String("28000"))
    return QStringLiteral("登录被拒绝（用户 %1）").arg(s.User);
  if (code == QLatin1String("3D000")) return QStringLiteral("数据库不存在（%1）").arg(s.Database);
  if (code == QLatin1String("42501"))
    return QStringLiteral("无权连接数据库（用户 %1，数据库 %2）").arg(s.User, s.Database);
  // Nothing from the server, or it is starting, stopping or was stopped.
  if (code.isEmpty() || code.startsWith(QLatin1String("57")) || code.startsWith(QLatin1String("08")))
    return LostServerText(s);
  return QStringLiteral("连接失败：服务器拒绝连接（SQLSTATE %1）").arg(code);
}

void PgResultDeleter::operator()(pg_result* r) const { PQclear(r); }

namespace {

// One attempt, step by step against `deadline`; the connection (bad or
// good), or null when cancelled or out of time (`*timedOut` says which).
pg_conn* Attempt(const std::string& info, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& cancelled, bool* timedOut) {
  pg_conn* conn = PQconnectStart(info.c_str());
  // The server's refusal is then told by its code, not by its words.
  PQsetErrorVerbosity(conn, PQERRORS_SQLSTATE);
  PostgresPollingStatusType step = PGRES_POLLING_WRITING;
  while (conn && PQstatus(conn) != CONNECTION_BAD && step != PGRES_POLLING_OK && step != PGRES_POLLING_FAILED) {
    const bool late = std::chrono::steady_clock::now() > deadline;
    if (late || (cancelled && cancelled())) {
      PQfinish(conn);
      *timedOut = late;
      return nullptr;
    }
    pollfd fd{PQsocket(conn), static_cast<short>(step == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (fd.fd >= 0 && ::poll(&fd, 1, 50) == 0) continue;
    step = PQconnectPoll(conn);
  }
  return conn;
}

// The session's time zone is this machine's: times are read back as local
// wall-clock times, and a zoneless time converted as one.
void UseLocalTimeZone(pg_conn* conn) {
  const QByteArray id = QTimeZone::systemTimeZoneId();
  if (!id.isEmpty()) {
    const std::vector<const char*> values{id.constData()};
    PgResult r(PQexecParams(conn, "SELECT set_config('TimeZone', $1, false)", 1, nullptr, values.data(), nullptr,
                            nullptr, 0));
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK) return;
  }
  // A zone the server does not know: today's offset at least.
  const int offset = QDateTime::currentDateTime().offsetFromUtc();
  const QByteArray sql = "SET TimeZone = INTERVAL '" + QByteArray::number(offset) + " seconds'";
  PQclear(PQexec(conn, sql.constData()));
}

}  // namespace

LabConnection::LabConnection(const LabSettings& settings, int connectTimeoutSeconds,
                             const std::function<bool()>& cancelled, LabInterrupt* interrupt)
    : settings_(settings) {
  ConnectFailure failure;
  if (settings.VerifiesServer() && !QFileInfo(RootCertPath(settings)).isReadable()) {
    failure.RootCertMissing = true;
    throw LabError(ConnectProblemText(settings, failure));
  }
  // Several addresses or a server that accepts and never answers: given up
  // at one deadline in all.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(connectTimeoutSeconds);
  bool timedOut = false;
  conn_ = Attempt(ConnectionString(settings, connectTimeoutSeconds), deadline, cancelled, &timedOut);
  if (!conn_) throw LabError(timedOut ? LostServerText(settings) : QStringLiteral("连接已取消"));
  if (PQstatus(conn_) != CONNECTION_OK) {
    failure.SqlState = SqlStateInMessage(QString::fromUtf8(PQerrorMessage(conn_)));
    failure.NeedsPassword = PQconnectionNeedsPassword(conn_) != 0;
    PQfinish(conn_);
    conn_ = nullptr;
    const bool encrypts = settings.SslMode == QLatin1String("require") || settings.VerifiesServer();
    if (encrypts && failure.SqlState.isEmpty() && !failure.NeedsPassword) {
      // Nothing from the server: is it the certificate, or a server without
      // TLS? Asked once more without checking, then unencrypted; a server
      // that answers at all then was refused only for that.
      const auto answers = [&](const char* mode) {
        LabSettings other = settings;
        other.SslMode = QLatin1String(mode);
        bool late = false;
        pg_conn* probe = Attempt(ConnectionString(other, connectTimeoutSeconds), deadline, cancelled, &late);
        if (!probe) return false;
        const bool answered = PQstatus(probe) == CONNECTION_OK || PQconnectionNeedsPassword(probe) ||
                              !SqlStateInMessage(QString::fromUtf8(PQerrorMessage(probe))).isEmpty();
        PQfinish(probe);
        return answered;
      };
      failure.CertRejected = settings.VerifiesServer() && answers("require");
      failure.NoTls = !failure.CertRejected && answers("disable");
    }
    throw LabError(ConnectProblemText(settings, failure));
  }
  PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);  // statements' errors keep the server's line
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);  // the server's notices are no one's business
  UseLocalTimeZone(conn_);
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
  if (sqlState == QLatin1String("42501"))
    return LabError(QStringLiteral("没有权限：实验室数据库不允许本机的登录这样做（试验台名称是否与管理员为这个登录登记的一致？）：") +
                        serverLine,
                    sqlState);
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
