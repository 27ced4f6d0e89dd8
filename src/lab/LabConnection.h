#pragma once
// One connection to the lab database (libpq), and what went wrong with it in
// words an operator can act on.
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lab/LabSettings.h"

struct pg_conn;
struct pg_result;

namespace rig::lab {

class LabInterrupt;

// A failed statement or a lost connection; Words() is for the operator.
class LabError : public std::runtime_error {
 public:
  explicit LabError(const QString& words, QString sqlState = {})
      : std::runtime_error(words.toStdString()), words_(words), sqlState_(std::move(sqlState)) {}
  const QString& Words() const { return words_; }
  // The server's SQLSTATE for a failed statement; empty for a connection.
  const QString& SqlState() const { return sqlState_; }
  // The server refused this test's data (a data exception or a constraint
  // it breaks): other tests may still go up.
  bool RefusesTheTest() const { return sqlState_.startsWith(QLatin1String("22")) || sqlState_.startsWith(QLatin1String("23")); }

 private:
  QString words_;
  QString sqlState_;
};

// Why the server refused a test, in words: by its SQLSTATE class, with the
// server's own first line after it.
QString RefusalText(const QString& sqlState, const QString& serverLine);

// The LabError of a statement that failed with result `r` (its SQLSTATE)
// and `serverLine`: refused data said as such.
LabError StatementError(const pg_result* r, const QString& serverLine);

// What libpq tells of a failed connection attempt, its words aside: they
// are in whatever language the server and libpq speak.
struct ConnectFailure {
  QString SqlState;             // the server's refusal; empty when it never answered
  bool NeedsPassword = false;   // asked for a password that was not there
  bool RootCertMissing = false; // verify-full without a readable root certificate
  bool CertRejected = false;    // the server answers unchecked but not checked
  bool NoTls = false;           // the server answers only unencrypted
};

// What a failed connection means, in words an operator can act on, by the
// SQLSTATE and libpq's state: "服务器无法访问（…）", "登录被拒绝（…）",
// "数据库不存在（…）", "无权连接…", the certificate's problem, else "连接失败：…".
QString ConnectProblemText(const LabSettings& settings, const ConnectFailure& failure);

// The SQLSTATE at the end of a message libpq made with PQERRORS_SQLSTATE
// verbosity ("…: FATAL:  3D000"); empty when it has none.
QString SqlStateInMessage(const QString& message);

// A connection lost under a statement: the server gone.
QString LostServerText(const LabSettings& settings);

struct PgResultDeleter {
  void operator()(pg_result* r) const;
};
using PgResult = std::unique_ptr<pg_result, PgResultDeleter>;

class LabConnection {
 public:
  // Connects (blocking, at most connectTimeoutSeconds; `cancelled`, when
  // given, is asked every 50 ms and ends the attempt). Throws LabError with
  // ConnectProblemText's words when it cannot. An `interrupt` reaches the
  // connection from other threads for as long as it is open. The session
  // runs in this machine's time zone, so times read back are local.
  explicit LabConnection(const LabSettings& settings, int connectTimeoutSeconds = 5,
                         const std::function<bool()>& cancelled = {}, LabInterrupt* interrupt = nullptr);
  ~LabConnection();
  LabConnection(const LabConnection&) = delete;
  LabConnection& operator=(const LabConnection&) = delete;

  pg_conn* Handle() const { return conn_; }
  const LabSettings& Settings() const { return settings_; }
  // Still connected (a statement may have failed on a working connection).
  bool Alive() const;

  // Runs `sql` (one or more statements, no parameters). Throws LabError.
  void Exec(const char* sql);
  // Runs one statement with text parameters; returns its result (rows or
  // command). Throws LabError.
  PgResult Query(const char* sql, const std::vector<std::string>& params = {});

  // The libpq message of the last failure, first line.
  QString LastError() const;

 private:
  LabSettings settings_;
  pg_conn* conn_ = nullptr;
  LabInterrupt* interrupt_ = nullptr;
};

// The "测试连接" button: "连接成功" with the server's version, or the problem.
QString TestLabConnection(const LabSettings& settings);

}  // namespace rig::lab
