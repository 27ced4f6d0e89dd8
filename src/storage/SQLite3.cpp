#include "storage/SQLite3.h"

#include <sqlite3.h>

#include <cstring>

#include "core/GbkText.h"
#include "storage/SQLiteTable3.h"

namespace rig {
namespace {

// Finalizes a statement however the scope is left.
struct StatementGuard {
  sqlite3_stmt* stmt;
  ~StatementGuard() { sqlite3_finalize(stmt); }
};

}  // namespace

bool BindValue(sqlite3_stmt* stmt, int index, const SqlValue& value) {
  int rc = SQLITE_OK;
  if (std::holds_alternative<std::monostate>(value)) {
    rc = sqlite3_bind_null(stmt, index);
  } else if (auto i = std::get_if<int64_t>(&value)) {
    rc = sqlite3_bind_int64(stmt, index, *i);
  } else if (auto d = std::get_if<double>(&value)) {
    rc = sqlite3_bind_double(stmt, index, *d);
  } else if (auto t = std::get_if<QByteArray>(&value)) {
    rc = sqlite3_bind_text(stmt, index, t->constData(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
  } else if (auto b = std::get_if<SqlBlob>(&value)) {
    rc = sqlite3_bind_blob(stmt, index, b->Bytes.constData(), static_cast<int>(b->Bytes.size()), SQLITE_TRANSIENT);
  }
  return rc == SQLITE_OK;
}

SqlValue ReadCell(sqlite3_stmt* stmt, int c, ColumnKind kind) {
  if (sqlite3_column_type(stmt, c) == SQLITE_NULL) return std::monostate{};
  switch (kind) {
    case ColumnKind::Integer: return static_cast<int64_t>(sqlite3_column_int64(stmt, c));
    case ColumnKind::Float: return sqlite3_column_double(stmt, c);
    case ColumnKind::Blob: {
      const int bytes = sqlite3_column_bytes(stmt, c);
      if (bytes == 0) return std::monostate{};
      const void* data = sqlite3_column_blob(stmt, c);
      return SqlBlob{QByteArray(static_cast<const char*>(data), bytes)};
    }
    case ColumnKind::Text:
    case ColumnKind::Null: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
      return QByteArray(text ? text : "");  // up to the first zero byte
    }
  }
  return std::monostate{};
}

TSQLiteDatabase::TSQLiteDatabase(const QByteArray& fileName) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open(fileName.constData(), &db);
  if (rc != SQLITE_OK) {
    const QString name = QString::fromUtf8(fileName);
    if (!db) {
      throw ESQLiteException(QStringLiteral("Failed to open database \"%1\" : unknown error").arg(name));
    }
    const QString message =
        QStringLiteral("Failed to open database \"%1\" : %2").arg(name, QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_close(db);
    throw ESQLiteException(message);
  }
  // The program's databases hold plain tables only. A file that brings views
  // or triggers of its own (a view of TestInfo that never ends, a trigger
  // that deletes rows) could hang or harm the program, so they are switched
  // off: using one fails like any other bad statement.
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  db_ = db;
}

TSQLiteDatabase::~TSQLiteDatabase() { sqlite3_close(db_); }

void TSQLiteDatabase::RaiseSQLError(const QString& message, const QByteArray& sql) {
  const int code = sqlite3_errcode(db_);
  const char* text = code != SQLITE_OK ? sqlite3_errmsg(db_) : nullptr;
  if (code == SQLITE_OK || !text) throw ESQLiteException(message);
  throw ESQLiteException(message + QStringLiteral(".\rError [%1]: %2.\r\"").arg(code).arg(SQLiteErrorText(code)) +
                         FromGbk(sql) + QStringLiteral("\": ") + QString::fromUtf8(text));
}

sqlite3_stmt* TSQLiteDatabase::Prepare(const QByteArray& sql, const SqlParams& params) {
  sqlite3_stmt* stmt = nullptr;
  // Only the first statement of the text is compiled.
  if (sqlite3_prepare_v2(db_, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    RaiseSQLError(QStringLiteral("Error executing SQL"), sql);
  }
  if (!stmt) RaiseSQLError(QStringLiteral("Could not prepare SQL statement"), sql);
  for (size_t i = 0; i < params.size(); ++i) {
    if (!BindValue(stmt, static_cast<int>(i + 1), params[i])) {
      sqlite3_finalize(stmt);
      RaiseSQLError(QStringLiteral("Error executing SQL"), sql);
    }
  }
  return stmt;
}

void TSQLiteDatabase::RunSQL(const QByteArray& sql, const SqlParams& params) {
  StatementGuard guard{Prepare(sql, params)};
  if (sqlite3_step(guard.stmt) != SQLITE_DONE) {
    sqlite3_reset(guard.stmt);
    RaiseSQLError(QStringLiteral("Error executing SQL statement"), sql);
  }
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::QueryTable(const QByteArray& sql, const SqlParams& params) {
  StatementGuard guard{Prepare(sql, params)};
  sqlite3_stmt* stmt = guard.stmt;
  auto table = std::make_unique<TSQLiteTable>();
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc == SQLITE_BUSY) throw ESQLiteException(QStringLiteral("Could not prepare SQL statement"));
    if (rc != SQLITE_ROW) {
      sqlite3_reset(stmt);
      RaiseSQLError(QStringLiteral("Could not retrieve data"), sql);
    }
    const int columns = sqlite3_column_count(stmt);
    if (table->rowCount_ == 0) {
      for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        table->names_.push_back(QByteArray(name ? name : "").toUpper());
        table->kinds_.push_back(ColumnKindOf(sqlite3_column_decltype(stmt, c), sqlite3_column_type(stmt, c)));
      }
    }
    ++table->rowCount_;
    for (int c = 0; c < columns; ++c) table->cells_.push_back(ReadCell(stmt, c, table->kinds_[c]));
  }
  table->cursor_ = 0;
  return table;
}

void WaitForOtherConnections(TSQLiteDatabase& db) { sqlite3_busy_timeout(db.Handle(), 2000); }

}  // namespace rig
