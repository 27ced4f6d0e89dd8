#include "storage/SQLiteTable3.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "storage/SQLiteException.h"

namespace rig {

ColumnKind ColumnKindOf(const char* declaredType, int firstValueType) {
  if (!declaredType) {
    if (firstValueType >= 1 && firstValueType <= 5) return static_cast<ColumnKind>(firstValueType);
    return ColumnKind::Null;
  }
  auto is = [declaredType](const char* word) { return std::strcmp(declaredType, word) == 0; };
  if (is("INTEGER") || is("BOOLEAN")) return ColumnKind::Integer;
  if (is("NUMERIC") || is("FLOAT") || is("DOUBLE") || is("REAL")) return ColumnKind::Float;
  if (is("BLOB")) return ColumnKind::Blob;
  return ColumnKind::Text;
}

QByteArray FloatText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  // "1E+20" -> "1E20", "1E-05" -> "1E-5": the exponent without padding.
  QByteArray text(buf);
  qsizetype e = text.indexOf('E');
  if (e < 0) return text;
  QByteArray mantissa = text.left(e);
  QByteArray exponent = text.mid(e + 1);
  const bool negative = exponent.startsWith('-');
  if (exponent.startsWith('+') || negative) exponent = exponent.mid(1);
  while (exponent.size() > 1 && exponent.startsWith('0')) exponent = exponent.mid(1);
  return mantissa + "E" + (negative ? "-" : "") + exponent;
}

int TSQLiteTable::ColumnIndex(const QString& name) const {
  if (names_.empty()) {
    throw ESQLiteException(QStringLiteral("Field ") + name + QStringLiteral(" Not found. Empty dataset"));
  }
  const QByteArray wanted = name.toUtf8().toUpper();
  for (size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == wanted) return static_cast<int>(i);
  }
  throw ESQLiteException(QStringLiteral("Field not found in dataset: ") + name);
}

const SqlValue& TSQLiteTable::Cell(int column) const {
  if (IsAtEnd()) throw ESQLiteException(QStringLiteral("Table is at End of File"));
  if (column < 0 || column >= ColumnCount()) {
    throw ESQLiteException(QStringLiteral("Field index out of range: %1").arg(column));
  }
  return cells_[static_cast<size_t>(cursor_) * names_.size() + static_cast<size_t>(column)];
}

QByteArray CellText(ColumnKind kind, const SqlValue& cell) {
  if (std::holds_alternative<std::monostate>(cell)) return {};
  switch (kind) {
    case ColumnKind::Integer:
      if (auto i = std::get_if<int64_t>(&cell)) return QByteArray::number(static_cast<qlonglong>(*i));
      if (auto d = std::get_if<double>(&cell)) {
        // Out of range or NaN has no integer; avoid the undefined conversion.
        const bool fits = std::isfinite(*d) && std::fabs(*d) < 9.2e18;
        return QByteArray::number(static_cast<qlonglong>(fits ? static_cast<int64_t>(*d) : 0));
      }
      return "0";
    case ColumnKind::Float:
      if (auto d = std::get_if<double>(&cell)) return FloatText(*d);
      if (auto i = std::get_if<int64_t>(&cell)) return FloatText(static_cast<double>(*i));
      return "0";
    case ColumnKind::Text:
      if (auto t = std::get_if<QByteArray>(&cell)) return *t;
      return {};
    case ColumnKind::Blob:
      if (auto b = std::get_if<SqlBlob>(&cell)) return b->Bytes;
      return {};
    case ColumnKind::Null: return {};
  }
  return {};
}

QByteArray TSQLiteTable::ValueText(int column) const { return CellText(kinds_[column], Cell(column)); }

int64_t TSQLiteTable::ValueInteger(int column) const {
  const SqlValue& cell = Cell(column);
  if (kinds_[column] == ColumnKind::Text || kinds_[column] == ColumnKind::Blob) {
    throw ESQLiteException(QStringLiteral("Not an integer or numeric field"));
  }
  if (auto i = std::get_if<int64_t>(&cell)) return *i;
  if (auto d = std::get_if<double>(&cell)) {
    // Out of range or NaN has no integer; avoid the undefined conversion.
    return (std::isfinite(*d) && std::fabs(*d) < 9.2e18) ? static_cast<int64_t>(*d) : 0;
  }
  return 0;
}

double TSQLiteTable::ValueFloat(int column) const {
  const SqlValue& cell = Cell(column);
  if (kinds_[column] == ColumnKind::Text || kinds_[column] == ColumnKind::Blob) {
    throw ESQLiteException(QStringLiteral("Not an integer or numeric field"));
  }
  if (auto d = std::get_if<double>(&cell)) return *d;
  if (auto i = std::get_if<int64_t>(&cell)) return static_cast<double>(*i);
  return 0.0;
}

QByteArray TSQLiteTable::ValueBlobText(int column) const {
  const SqlValue& cell = Cell(column);
  if (kinds_[column] != ColumnKind::Blob) throw ESQLiteException(QStringLiteral("Not a Blob field"));
  if (auto b = std::get_if<SqlBlob>(&cell)) return b->Bytes;
  return {};
}

bool TSQLiteTable::MoveNext() {
  if (IsAtEnd()) return false;
  ++cursor_;
  return true;
}

}  // namespace rig
