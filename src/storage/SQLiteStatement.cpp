#include "storage/SQLiteStatement.h"

#include <sqlite3.h>

#include "storage/SQLite3.h"
#include "storage/SQLiteException.h"

namespace rig {

TSQLiteStatement::TSQLiteStatement(TSQLiteDatabase& db, const QByteArray& sql) : db_(db), sql_(sql) {
  stmt_ = db_.Prepare(sql_, {});
}

TSQLiteStatement::~TSQLiteStatement() { sqlite3_finalize(stmt_); }

void TSQLiteStatement::Raise(const QString& message) { db_.RaiseSQLError(message, sql_); }

void TSQLiteStatement::Bind(const SqlParams& params) {
  for (size_t i = 0; i < params.size(); ++i) {
    if (!BindValue(stmt_, static_cast<int>(i + 1), params[i])) Raise(QStringLiteral("Error executing SQL"));
  }
}

void TSQLiteStatement::BindInt(int index, int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) Raise(QStringLiteral("Error executing SQL"));
}

void TSQLiteStatement::BindText(int index, QByteArrayView bytes) {
  // An empty text is still text, not NULL: SQLite needs a non-null pointer.
  const char* data = bytes.data() ? bytes.data() : "";
  if (sqlite3_bind_text(stmt_, index, data, static_cast<int>(bytes.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
    Raise(QStringLiteral("Error executing SQL"));
  }
}

void TSQLiteStatement::Run() {
  const int rc = sqlite3_step(stmt_);
  sqlite3_reset(stmt_);
  if (rc != SQLITE_DONE) Raise(QStringLiteral("Error executing SQL statement"));
}

bool TSQLiteStatement::Next() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) return false;
  if (rc == SQLITE_BUSY) throw ESQLiteException(QStringLiteral("Could not prepare SQL statement"));
  if (rc != SQLITE_ROW) {
    sqlite3_reset(stmt_);
    Raise(QStringLiteral("Could not retrieve data"));
  }
  if (kinds_.empty()) {
    const int columns = sqlite3_column_count(stmt_);
    for (int c = 0; c < columns; ++c) {
      kinds_.push_back(ColumnKindOf(sqlite3_column_decltype(stmt_, c), sqlite3_column_type(stmt_, c)));
    }
  }
  return true;
}

int TSQLiteStatement::ColumnCount() const { return sqlite3_column_count(stmt_); }

int TSQLiteStatement::ColumnIndex(const QString& name) const {
  const QByteArray wanted = name.toUtf8().toUpper();
  for (int c = 0; c < ColumnCount(); ++c) {
    const char* n = sqlite3_column_name(stmt_, c);
    if (QByteArray(n ? n : "").toUpper() == wanted) return c;
  }
  return -1;
}

bool TSQLiteStatement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

int64_t TSQLiteStatement::Int64(int column) const { return sqlite3_column_int64(stmt_, column); }

QByteArrayView TSQLiteStatement::TextView(int column) const {
  const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? QByteArrayView(text, qstrlen(text)) : QByteArrayView();  // up to the first zero byte
}

QByteArray TSQLiteStatement::ValueText(int column) const {
  if (column < 0 || column >= static_cast<int>(kinds_.size())) {
    throw ESQLiteException(QStringLiteral("Field index out of range: %1").arg(column));
  }
  return CellText(kinds_[column], ReadCell(stmt_, column, kinds_[column]));
}

}  // namespace rig
