#include "lab/EventOutbox.h"

#include <sqlite3.h>

#include "lab/OutboxFile.h"
#include "lab/RigEventText.h"
#include "storage/SQLite3.h"

namespace rig::lab {
namespace {

std::unique_ptr<TSQLiteDatabase> Open(const QString& path) {
  return OpenOutboxFile(path,
                        "CREATE TABLE IF NOT EXISTS Events(Seq INTEGER PRIMARY KEY AUTOINCREMENT, EventId TEXT NOT NULL "
                        "UNIQUE, Event TEXT NOT NULL, ForLab INTEGER NOT NULL, ForAlert INTEGER NOT NULL)");
}

}  // namespace

void EventOutbox::Add(const RigEvent& e, bool forLab, bool forAlert) {
  if (!forLab && !forAlert) return;
  auto db = Open(path_);
  db->RunSQL("INSERT OR IGNORE INTO Events(EventId, Event, ForLab, ForAlert) VALUES (?1, ?2, ?3, ?4)",
             {e.EventId.toUtf8(), EventJson(e), int64_t{forLab}, int64_t{forAlert}});
}

std::vector<RigEvent> EventOutbox::Waiting(const char* column, int limit) const {
  auto db = Open(path_);
  auto t = db->QueryTable(QByteArray("SELECT Event FROM Events WHERE ") + column + " = 1 ORDER BY Seq LIMIT ?1",
                          {int64_t{limit}});
  std::vector<RigEvent> out;
  for (; !t->IsAtEnd(); t->MoveNext())
    if (std::optional<RigEvent> e = EventFromJson(t->ValueText(0))) out.push_back(std::move(*e));
  return out;
}

void EventOutbox::Done(const char* column, const std::vector<RigEvent>& events) {
  if (events.empty()) return;
  auto db = Open(path_);
  db->RunSQL("BEGIN IMMEDIATE");
  try {
    for (const RigEvent& e : events)
      db->RunSQL(QByteArray("UPDATE Events SET ") + column + " = 0 WHERE EventId = ?1", {e.EventId.toUtf8()});
    db->RunSQL("DELETE FROM Events WHERE ForLab = 0 AND ForAlert = 0");
    db->RunSQL("COMMIT");
  } catch (...) {
    db->RunSQL("ROLLBACK");
    throw;
  }
}

int EventOutbox::Count(const char* column) const {
  auto db = Open(path_);
  return static_cast<int>(
      db->QueryTable(QByteArray("SELECT count(*) FROM Events WHERE ") + column + " = 1")->ValueInteger(0));
}

std::vector<RigEvent> EventOutbox::WaitingForLab(int limit) const { return Waiting("ForLab", limit); }
std::vector<RigEvent> EventOutbox::WaitingForAlert(int limit) const { return Waiting("ForAlert", limit); }
void EventOutbox::LabDone(const std::vector<RigEvent>& events) { Done("ForLab", events); }
void EventOutbox::AlertDone(const std::vector<RigEvent>& events) { Done("ForAlert", events); }
int EventOutbox::LabCount() const { return Count("ForLab"); }
int EventOutbox::AlertCount() const { return Count("ForAlert"); }

}  // namespace rig::lab
