#pragma once
// The lab outbox file (LabOutbox.db) as each of its tables opens it.
#include <QString>
#include <memory>

#include "storage/SQLite3.h"

namespace rig::lab {

// Opens the file, waiting up to 10 s for another thread's transaction, with
// commits durable when they return (synchronous=EXTRA: the folder is synced
// after the rollback journal is removed, so what is added outlasts a power
// cut), and runs `createTable` (a CREATE TABLE IF NOT EXISTS).
std::unique_ptr<TSQLiteDatabase> OpenOutboxFile(const QString& path, const char* createTable);

// The reason kept with the newest row of `table` set aside; empty: none.
QString NewestAsideReason(TSQLiteDatabase& db, const char* table);

}  // namespace rig::lab
