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

}  // namespace rig::lab
