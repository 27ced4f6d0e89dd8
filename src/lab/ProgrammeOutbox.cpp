#include "lab/ProgrammeOutbox.h"

#include <sqlite3.h>

#include "lab/OutboxFile.h"
#include "storage/SQLite3.h"

namespace rig::lab {
namespace {

std::unique_ptr<TSQLiteDatabase> Open(const QString& path) {
  return OpenOutboxFile(path,
                        "CREATE TABLE IF NOT EXISTS Programmes(Seq INTEGER PRIMARY KEY AUTOINCREMENT, ProgrammeId TEXT "
                        "NOT NULL UNIQUE, Version INTEGER NOT NULL, Snapshot TEXT NOT NULL, Aside TEXT)");
}

}  // namespace

void ProgrammeOutbox::Add(const ProgrammeSnapshot& s) {
  auto db = Open(path_);
  // A replaced snapshot keeps its place in the queue: the programme has waited since then.
  db->RunSQL(
      "INSERT INTO Programmes(ProgrammeId, Version, Snapshot) VALUES (?1, ?2, ?3) "
      "ON CONFLICT(ProgrammeId) DO UPDATE SET Version = excluded.Version, Snapshot = excluded.Snapshot, Aside = NULL "
      "WHERE excluded.Version > Programmes.Version",
      {s.ProgrammeId.toUtf8(), s.Version, s.Json});
}

std::optional<ProgrammeSnapshot> ProgrammeOutbox::Oldest() const {
  auto db = Open(path_);
  auto t = db->QueryTable("SELECT ProgrammeId, Version, Snapshot FROM Programmes WHERE Aside IS NULL ORDER BY Seq LIMIT 1");
  if (t->IsAtEnd()) return std::nullopt;
  return ProgrammeSnapshot{QString::fromUtf8(t->ValueText(0)), t->ValueInteger(1), t->ValueText(2)};
}

int64_t ProgrammeOutbox::WaitingVersion(const QString& programmeId) const {
  auto db = Open(path_);
  auto t = db->QueryTable("SELECT Version FROM Programmes WHERE ProgrammeId = ?1", {programmeId.toUtf8()});
  return t->IsAtEnd() ? 0 : t->ValueInteger(0);
}

void ProgrammeOutbox::Remove(const ProgrammeSnapshot& s) {
  auto db = Open(path_);
  db->RunSQL("DELETE FROM Programmes WHERE ProgrammeId = ?1 AND Version <= ?2", {s.ProgrammeId.toUtf8(), s.Version});
}

void ProgrammeOutbox::SetAside(const ProgrammeSnapshot& s, const QString& reason) {
  auto db = Open(path_);
  db->RunSQL("UPDATE Programmes SET Aside = ?3 WHERE ProgrammeId = ?1 AND Version = ?2",
             {s.ProgrammeId.toUtf8(), s.Version, reason.toUtf8()});
}

int ProgrammeOutbox::Count() const {
  auto db = Open(path_);
  return static_cast<int>(db->QueryTable("SELECT count(*) FROM Programmes WHERE Aside IS NULL")->ValueInteger(0));
}

int ProgrammeOutbox::AsideCount() const {
  auto db = Open(path_);
  return static_cast<int>(db->QueryTable("SELECT count(*) FROM Programmes WHERE Aside IS NOT NULL")->ValueInteger(0));
}

QString ProgrammeOutbox::NewestAsideReason() const { return lab::NewestAsideReason(*Open(path_), "Programmes"); }

}  // namespace rig::lab
