#include "lab/LabReconcile.h"

#include <libpq-fe.h>

#include <sqlite3.h>

#include <QFile>
#include <map>
#include <set>

#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabRecord.h"
#include "lab/ProgrammeOutbox.h"
#include "lab/ProgrammeSnapshot.h"
#include "endurance/ProgrammeStore.h"
#include "report/SavedTest.h"
#include "storage/RecordStore.h"
#include "storage/SQLite3.h"

namespace rig::lab {
namespace {

QDateTime LocalTime(const QString& text) {
  return QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The record the save would have put into the outbox.
LabTestRecord RecordOf(const QString& rigName, const SavedTest& saved) {
  TestSummary t;
  t.Station = saved.Station;
  t.OpenType = saved.OpenType;
  t.OutIndex = saved.OutIndex;
  t.WorkArea = saved.WorkArea;
  t.WorkName = saved.WorkName;
  t.StartTime = LocalTime(saved.StartText);
  t.EndTime = LocalTime(saved.EndText);
  t.Mode = saved.Mode;
  t.CountDone = saved.CountDone;
  t.IgnoreRefusals = saved.IgnoreRefusals;
  ActionQueue actions;
  for (const SavedAction& s : saved.Actions) {
    auto a = std::make_unique<ActionRecord>();
    a->Count = s.Count;
    a->ActionNo = s.ActionNo;
    for (int b = 0; b < kBreakCount; ++b) {
      a->Closed[b] = s.Closed[b] ? 1 : 0;
      a->Marks[b] = RefusalText(s.Marks[b]);
    }
    actions.push_back(std::move(a));
  }
  SaveOutcome outcome;
  outcome.Ok = true;
  outcome.AutoId = saved.AutoId;
  outcome.DetailPath = saved.DetailPath;
  // When it was saved is not kept; its end (or start) is the nearest known.
  const QDateTime savedAt = t.EndTime.isValid() ? t.EndTime : t.StartTime.isValid() ? t.StartTime : QDateTime::currentDateTime();
  return MakeLabRecord(rigName, JustSavedTest{t, saved.Params, outcome, actions}, ZonedTimeText(savedAt));
}

std::set<int64_t> LocalIdsInLab(LabConnection& c, const QString& rigName) {
  PgResult r = c.Query("SELECT local_id FROM lab_tests WHERE rig_name = $1", {rigName.toStdString()});
  std::set<int64_t> ids;
  for (int i = 0, n = PQntuples(r.get()); i < n; ++i) ids.insert(QByteArray(PQgetvalue(r.get(), i, 0)).toLongLong());
  return ids;
}

}  // namespace

ReconcileOutcome ReconcileSavedTests(LabConnection& c, const QString& exeDir, const QString& rigName,
                                     LabOutbox& outbox, const std::function<void(const QString&)>& log) {
  ReconcileOutcome outcome;
  const QString summaryPath = exeDir + QStringLiteral("SaveData.db");
  if (!QFile::exists(summaryPath)) return outcome;
  std::vector<int64_t> saved;
  {
    TSQLiteDatabase db(summaryPath.toUtf8());
    sqlite3_busy_timeout(db.Handle(), 10000);  // a save under way on the window thread
    auto t = db.QueryTable("SELECT AutoID FROM TestInfo ORDER BY AutoID");
    for (; !t->IsAtEnd(); t->MoveNext()) saved.push_back(t->ValueInteger(0));
  }
  // The outbox first: a test leaving it for the lab meanwhile is then found
  // in the lab, not missed by both.
  const std::set<int64_t> queued = outbox.LocalIds();
  const std::set<int64_t> stored = LocalIdsInLab(c, rigName);
  for (int64_t id : saved) {
    if (stored.count(id) || queued.count(id)) continue;
    try {
      outbox.Add(RecordOf(rigName, LoadSavedTest(exeDir, QString::number(id))));
      ++outcome.Queued;
    } catch (const ReportError& e) {
      ++outcome.Unreadable;
      if (log) log(QStringLiteral("以前的测试 %1 无法读取，未补传：%2").arg(id).arg(e.Message));
    }
  }
  return outcome;
}

int ReconcileProgrammes(LabConnection& c, const QString& exeDir, const QString& rigName) {
  const std::vector<Programme> local = TProgrammeStore(exeDir).All();
  if (local.empty()) return 0;
  PgResult r = c.Query("SELECT programme_id::text, version FROM lab_programmes WHERE rig_name = $1",
                       {rigName.toStdString()});
  std::map<QString, int64_t> inLab;
  for (int i = 0, n = PQntuples(r.get()); i < n; ++i)
    inLab[QString::fromUtf8(PQgetvalue(r.get(), i, 0))] = QByteArray(PQgetvalue(r.get(), i, 1)).toLongLong();
  ProgrammeOutbox outbox(LabOutbox::PathIn(exeDir));
  int queued = 0;
  for (const Programme& p : local) {
    if (p.LabId.isEmpty()) continue;  // given its key at its next change, and sent then
    const auto found = inLab.find(p.LabId.toLower());
    if (found != inLab.end() && found->second >= p.Revision) continue;
    if (outbox.WaitingVersion(p.LabId) >= p.Revision) continue;  // on its way already
    outbox.Add(MakeProgrammeSnapshot(rigName, p, QDateTime::currentDateTime()));
    ++queued;
  }
  return queued;
}

}  // namespace rig::lab
