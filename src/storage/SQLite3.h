#pragma once
// One open SQLite connection. Opened for one operation and freed after it.
// Text goes in and out as bytes: the databases hold GBK text, which callers
// convert with the encoding module.
#include <QByteArray>
#include <memory>

#include "storage/SQLiteException.h"
#include "storage/SQLiteTable3.h"
#include "storage/SQLiteValue.h"

struct sqlite3;
struct sqlite3_stmt;

namespace rig {

class TSQLiteDatabase {
 public:
  // `fileName` in UTF-8; SQLite creates a missing file.
  explicit TSQLiteDatabase(const QByteArray& fileName);
  ~TSQLiteDatabase();
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  // Runs the first statement of `sql`, which returns no rows. Values in
  // `params` are bound to ?1, ?2, ...: entered texts never become SQL.
  void RunSQL(const QByteArray& sql, const SqlParams& params = {});

  // Runs a query and returns all its rows; the statement is finished before
  // this returns.
  std::unique_ptr<TSQLiteTable> QueryTable(const QByteArray& sql, const SqlParams& params = {});

  sqlite3* Handle() const { return db_; }

 private:
  friend class TSQLiteStatement;
  sqlite3_stmt* Prepare(const QByteArray& sql, const SqlParams& params);
  [[noreturn]] void RaiseSQLError(const QString& message, const QByteArray& sql);

  sqlite3* db_ = nullptr;
};

// A file written on the window thread is read meanwhile by the lab's
// reconcile on a thread of its own: a writer waits for such a reader (or
// another writer) up to 2 s rather than fail with "database is locked".
// Another program holding the file is still reported, after the wait.
void WaitForOtherConnections(TSQLiteDatabase& db);

// Binds one value to parameter `index` of `stmt`; false when SQLite refuses.
bool BindValue(sqlite3_stmt* stmt, int index, const SqlValue& value);

// Column `column` of the current row of `stmt`, read as a column of `kind`:
// the cell TSQLiteTable keeps for it.
SqlValue ReadCell(sqlite3_stmt* stmt, int column, ColumnKind kind);

}  // namespace rig
