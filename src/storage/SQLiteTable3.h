#pragma once
// The complete result of one query, loaded at once and read through a
// forward cursor by column name.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "storage/SQLiteValue.h"

namespace rig {

// SQLite's fundamental datatype codes.
enum class ColumnKind { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

// Kind of a column from its declared type, compared whole and case-sensitively;
// a column without declared type takes `firstValueType` (1 to 5).
ColumnKind ColumnKindOf(const char* declaredType, int firstValueType);

// Text of a float as the program shows it: general format, at most 15
// significant digits, no trailing zeros (300 -> "300", 2.5 -> "2.5").
QByteArray FloatText(double value);

// The text of a cell of a column of `kind`, as ValueText gives it.
QByteArray CellText(ColumnKind kind, const SqlValue& cell);

class TSQLiteTable {
 public:
  int ColumnCount() const { return static_cast<int>(names_.size()); }
  int RowCount() const { return rowCount_; }
  const std::vector<QByteArray>& ColumnNames() const { return names_; }
  ColumnKind Kind(int column) const { return kinds_.at(column); }

  // 0-based index of a column, ignoring case; throws when there is none.
  int ColumnIndex(const QString& name) const;

  // The current row's value as text; empty for NULL. Throws at the end.
  QByteArray ValueText(int column) const;

  int64_t ValueInteger(int column) const;
  double ValueFloat(int column) const;
  QByteArray ValueBlobText(int column) const;

  bool IsAtEnd() const { return cursor_ >= rowCount_; }
  bool MoveNext();

 private:
  friend class TSQLiteDatabase;
  const SqlValue& Cell(int column) const;  // throws at the end

  std::vector<QByteArray> names_;  // upper-cased
  std::vector<ColumnKind> kinds_;
  std::vector<SqlValue> cells_;  // row-major
  int rowCount_ = 0;
  int cursor_ = 0;
};

}  // namespace rig
