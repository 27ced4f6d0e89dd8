#include "lab/OutboxFile.h"

#include <sqlite3.h>

namespace rig::lab {

std::unique_ptr<TSQLiteDatabase> OpenOutboxFile(const QString& path, const char* createTable) {
  auto db = std::make_unique<TSQLiteDatabase>(path.toUtf8());
  sqlite3_busy_timeout(db->Handle(), 10000);
  db->RunSQL("PRAGMA synchronous=EXTRA");
  db->RunSQL(createTable);
  return db;
}

QString NewestAsideReason(TSQLiteDatabase& db, const char* table) {
  const QByteArray sql =
      QByteArray("SELECT Aside FROM ") + table + " WHERE Aside IS NOT NULL ORDER BY Seq DESC LIMIT 1";
  auto t = db.QueryTable(sql);
  return t->RowCount() == 0 ? QString() : QString::fromUtf8(t->ValueText(0));
}

}  // namespace rig::lab
