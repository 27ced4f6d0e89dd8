#include "lab/LabProgrammeUpload.h"

#include <libpq-fe.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/RunLog.h"
#include "lab/LabConnection.h"
#include "lab/ProgrammeOutbox.h"

namespace rig::lab {
namespace {

std::string Text(const QJsonObject& o, const char* key) { return o[QLatin1String(key)].toString().toStdString(); }
std::string Number(const QJsonObject& o, const char* key) {
  const QJsonValue v = o[QLatin1String(key)];
  return v.isString() ? v.toString().toStdString() : std::to_string(v.toInteger());
}
std::string Array(const QJsonObject& o, const char* key) {
  return QJsonDocument(o[QLatin1String(key)].toArray()).toJson(QJsonDocument::Compact).toStdString();
}

// The guard is the version: a row of this version or newer is left alone,
// and then the children are too.
const char* const kUpsert =
    "INSERT INTO lab_programmes(programme_id, rig_name, local_id, station, open_type, out_index, work_area, "
    "work_name, manufacturer, customer, remarks, standard, class_name, target, cumulative, verdict, fail_operation, "
    "fail_block, fail_break, created_at, ended_at, updated_at, version) "
    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, NULLIF($17, '0')::integer, "
    "NULLIF($18, '0')::integer, NULLIF($19, ''), NULLIF($20, '')::timestamptz, NULLIF($21, '')::timestamptz, $22, $23) "
    "ON CONFLICT (programme_id) DO UPDATE SET rig_name = excluded.rig_name, local_id = excluded.local_id, "
    "station = excluded.station, open_type = excluded.open_type, out_index = excluded.out_index, "
    "work_area = excluded.work_area, work_name = excluded.work_name, manufacturer = excluded.manufacturer, "
    "customer = excluded.customer, remarks = excluded.remarks, standard = excluded.standard, "
    "class_name = excluded.class_name, target = excluded.target, cumulative = excluded.cumulative, "
    "verdict = excluded.verdict, fail_operation = excluded.fail_operation, fail_block = excluded.fail_block, "
    "fail_break = excluded.fail_break, created_at = excluded.created_at, ended_at = excluded.ended_at, "
    "updated_at = excluded.updated_at, version = excluded.version, uploaded_at = now() "
    "WHERE lab_programmes.version < excluded.version "
    "RETURNING version";

const char* const kBlocks =
    "INSERT INTO lab_programme_blocks(programme_id, block_no, mode, count_set, cycles_done, cycle_mean_ms, "
    "cycle_spread_ms, cycle_slowest_ms, voltage_note, voltage_confirmed_by, voltage_confirmed_at) "
    "SELECT $1::uuid, n, (b->>'Mode')::integer, (b->>'Count')::integer, (b->>'Done')::integer, "
    "(b->>'MeanMs')::float8, (b->>'SpreadMs')::float8, (b->>'SlowestMs')::float8, b->>'VoltageNote', "
    "b->>'ConfirmedBy', NULLIF(b->>'ConfirmedAt', '')::timestamptz "
    "FROM jsonb_array_elements($2::jsonb) WITH ORDINALITY AS e(b, n)";

const char* const kInspections =
    "INSERT INTO lab_inspections(programme_id, block_no, checked, work, work_text, by_whom, done_at, measurements) "
    "SELECT $1::uuid, (i->>'Block')::integer, i->>'Checked', i->>'Work', i->>'WorkText', i->>'ByWhom', "
    "NULLIF(i->>'At', '')::timestamptz, i->'Measurements' FROM jsonb_array_elements($2::jsonb) AS e(i)";

}  // namespace

bool UploadProgramme(LabConnection& c, const ProgrammeSnapshot& snapshot) {
  const QJsonObject o = QJsonDocument::fromJson(snapshot.Json).object();
  const std::string id = snapshot.ProgrammeId.toStdString();
  c.Exec("BEGIN");
  try {
    PgResult r = c.Query(kUpsert, {id, Text(o, "RigName"), Number(o, "LocalId"), Number(o, "Station"), Text(o, "Model"),
                                   Text(o, "FactoryNumber"), Text(o, "WorkArea"), Text(o, "Operator"),
                                   Text(o, "Manufacturer"), Text(o, "Customer"), Text(o, "Remarks"), Text(o, "Standard"),
                                   Text(o, "ClassName"), Number(o, "Target"), Number(o, "Cumulative"),
                                   Text(o, "Verdict"), Number(o, "FailOperation"), Number(o, "FailBlock"),
                                   Text(o, "FailBreak"), Text(o, "CreatedAt"), Text(o, "EndedAt"),
                                   Text(o, "UpdatedAt"), std::to_string(snapshot.Version)});
    const bool stored = PQntuples(r.get()) == 1;
    if (stored) {
      c.Query("DELETE FROM lab_programme_blocks WHERE programme_id = $1", {id});
      c.Query("DELETE FROM lab_inspections WHERE programme_id = $1", {id});
      c.Query(kBlocks, {id, Array(o, "Blocks")});
      c.Query(kInspections, {id, Array(o, "Inspections")});
    }
    c.Exec("COMMIT");
    return stored;
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK && PQtransactionStatus(c.Handle()) != PQTRANS_IDLE)
      PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
}

int SendWaitingProgrammes(LabConnection& c, ProgrammeOutbox& outbox) {
  int sent = 0;
  while (const std::optional<ProgrammeSnapshot> next = outbox.Oldest()) {
    try {
      UploadProgramme(c, *next);
    } catch (const LabError& e) {
      if (!c.Alive() || !e.RefusesTheTest()) throw;
      outbox.SetAside(*next, e.Words());
      WriteLog(QStringLiteral("实验室数据库拒收试验方案（%1 第%2版），已搁置在待上传文件中：%3")
                   .arg(next->ProgrammeId)
                   .arg(next->Version)
                   .arg(e.Words()));
      continue;
    }
    outbox.Remove(*next);  // committed on the server: now it may go
    ++sent;
  }
  return sent;
}

}  // namespace rig::lab
