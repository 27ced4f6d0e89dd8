#pragma once
// One prepared statement kept for many runs: an INSERT bound and run once per
// row, or a query whose rows are read one at a time as they are needed.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

#include "storage/SQLiteTable3.h"
#include "storage/SQLiteValue.h"

struct sqlite3_stmt;

namespace rig {

class TSQLiteDatabase;

class TSQLiteStatement {
 public:
  // Compiles the first statement of `sql`; throws ESQLiteException.
  TSQLiteStatement(TSQLiteDatabase& db, const QByteArray& sql);
  ~TSQLiteStatement();
  TSQLiteStatement(const TSQLiteStatement&) = delete;
  TSQLiteStatement& operator=(const TSQLiteStatement&) = delete;

  // Binds `params` to ?1, ?2, ... (values not given keep their binding).
  void Bind(const SqlParams& params);
  void BindInt(int index, int64_t value);
  void BindText(int index, QByteArrayView bytes);  // copied by SQLite

  // Runs a statement that returns no rows and makes it ready for the next
  // run; the bindings stay. Throws when SQLite rejects it.
  void Run();

  // Steps a query: true with a row to read, false at the end; throws on an
  // error. The first row fixes each column's kind as TSQLiteTable does.
  bool Next();

  // Reading the current row, with the same conversions as TSQLiteTable.
  int ColumnCount() const;
  int ColumnIndex(const QString& name) const;  // ignoring case; -1 when none
  ColumnKind Kind(int column) const { return kinds_.at(column); }
  bool IsNull(int column) const;
  QByteArray ValueText(int column) const;
  // SQLite's integer value of the column, whatever its kind.
  int64_t Int64(int column) const;
  // The text bytes SQLite holds for the column, valid until the next step;
  // only for text-kind columns.
  QByteArrayView TextView(int column) const;

 private:
  [[noreturn]] void Raise(const QString& message);

  TSQLiteDatabase& db_;
  QByteArray sql_;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<ColumnKind> kinds_;  // fixed by the first row
};

}  // namespace rig
