#include "lab/LabEventUpload.h"

#include <libpq-fe.h>

#include "core/RunLog.h"
#include "lab/EventOutbox.h"
#include "lab/LabConnection.h"
#include "lab/RigEventText.h"

namespace rig::lab {
namespace {

constexpr int kBatch = 100;

std::string Utf8(const QString& s) { return s.toStdString(); }

}  // namespace

void UploadEvents(LabConnection& c, const std::vector<RigEvent>& events) {
  c.Exec("BEGIN");
  try {
    for (const RigEvent& e : events)
      c.Query(
          "INSERT INTO lab_events(event_id, rig_name, station, happened_at, kind, test_id, detail) "
          "VALUES ($1, $2, $3, $4, $5, NULLIF($6, '')::uuid, $7) ON CONFLICT (event_id) DO NOTHING",
          {Utf8(e.EventId), Utf8(e.RigName), std::to_string(e.Station), Utf8(e.HappenedAt.toString(Qt::ISODateWithMs)),
           Utf8(KindName(e.Kind)), Utf8(e.TestId), Utf8(e.Detail)});
    c.Exec("COMMIT");
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK && PQtransactionStatus(c.Handle()) != PQTRANS_IDLE)
      PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
}

int SendWaitingEvents(LabConnection& c, EventOutbox& outbox) {
  int sent = 0;
  for (;;) {
    const std::vector<RigEvent> batch = outbox.WaitingForLab(kBatch);
    if (batch.empty()) return sent;
    try {
      UploadEvents(c, batch);
    } catch (const LabError& e) {
      if (!c.Alive() || !e.RefusesTheTest()) throw;
      WriteLog(QStringLiteral("实验室数据库拒收 %1 条事件，已放弃：%2").arg(batch.size()).arg(e.Words()));
    }
    outbox.LabDone(batch);
    sent += static_cast<int>(batch.size());
  }
}

}  // namespace rig::lab
