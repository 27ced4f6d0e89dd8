#include "storage/Schema.h"

#include "storage/SQLite3.h"
#include "storage/SchemaText.h"  // generated from Schema.sql

namespace rig {

QByteArray SchemaStatement(const QString& table) {
  const QByteArray schema(kSchemaSql);
  const QByteArray head = "CREATE TABLE IF NOT EXISTS " + table.toLatin1() + "(";
  const qsizetype start = schema.indexOf(head);
  if (table.isEmpty() || start < 0) return {};
  const qsizetype end = schema.indexOf(';', start);
  return schema.mid(start, end - start + 1);
}

void EnsureTable(const QByteArray& path, const QString& table) {
  TSQLiteDatabase db(path);
  db.RunSQL(SchemaStatement(table));
}

}  // namespace rig
