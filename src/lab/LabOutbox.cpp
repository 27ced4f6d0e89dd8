#include "lab/LabOutbox.h"

#include <sqlite3.h>

#include "lab/OutboxFile.h"
#include "storage/SQLite3.h"

namespace rig::lab {
namespace {

// Opens the file and makes the table when it is new.
std::unique_ptr<TSQLiteDatabase> Open(const QString& path) {
  auto db = OpenOutboxFile(path,
                           "CREATE TABLE IF NOT EXISTS Outbox(Seq INTEGER PRIMARY KEY AUTOINCREMENT, TestId TEXT NOT "
                           "NULL UNIQUE, Summary TEXT NOT NULL, Actions BLOB NOT NULL, Aside TEXT)");
  // An outbox from before tests could be set aside gets the column.
  if (db->QueryTable("SELECT 1 FROM pragma_table_info('Outbox') WHERE name='Aside'")->RowCount() == 0)
    db->RunSQL("ALTER TABLE Outbox ADD COLUMN Aside TEXT");
  return db;
}

}  // namespace

void LabOutbox::Add(const LabTestRecord& r) {
  auto db = Open(path_);
  db->RunSQL("INSERT OR IGNORE INTO Outbox(TestId, Summary, Actions) VALUES (?1, ?2, ?3)",
             {r.TestId.toUtf8(), r.SummaryJson(), r.ActionLines});
}

std::optional<LabTestRecord> LabOutbox::Oldest() const {
  auto db = Open(path_);
  auto t = db->QueryTable("SELECT Summary, Actions FROM Outbox WHERE Aside IS NULL ORDER BY Seq LIMIT 1");
  if (t->IsAtEnd()) return std::nullopt;
  return LabTestRecord::FromJson(t->ValueText(0), t->ValueText(1));
}

void LabOutbox::Remove(const QString& testId) {
  auto db = Open(path_);
  db->RunSQL("DELETE FROM Outbox WHERE TestId = ?1", {testId.toUtf8()});
}

int LabOutbox::Count() const {
  auto db = Open(path_);
  return static_cast<int>(db->QueryTable("SELECT count(*) FROM Outbox WHERE Aside IS NULL")->ValueInteger(0));
}

void LabOutbox::SetAside(const QString& testId, const QString& reason) {
  auto db = Open(path_);
  db->RunSQL("UPDATE Outbox SET Aside = ?2 WHERE TestId = ?1", {testId.toUtf8(), reason.toUtf8()});
}

int LabOutbox::AsideCount() const {
  auto db = Open(path_);
  return static_cast<int>(db->QueryTable("SELECT count(*) FROM Outbox WHERE Aside IS NOT NULL")->ValueInteger(0));
}

QString LabOutbox::NewestAsideReason() const { return lab::NewestAsideReason(*Open(path_), "Outbox"); }

std::set<int64_t> LabOutbox::LocalIds() const {
  auto db = Open(path_);
  auto t = db->QueryTable("SELECT CAST(json_extract(Summary, '$.LocalId') AS INTEGER) FROM Outbox");
  std::set<int64_t> ids;
  for (; !t->IsAtEnd(); t->MoveNext()) ids.insert(t->ValueInteger(0));
  return ids;
}

}  // namespace rig::lab
