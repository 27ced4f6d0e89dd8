#include "lab/LabSwitchHistory.h"

#include <libpq-fe.h>

#include <QStringList>

#include "lab/LabConnection.h"
#include "lab/PgCells.h"

namespace rig::lab {
namespace {

// Both halves match the indexed expression lower(btrim(out_index)) exactly.
const char* const kHistory =
    "SELECT kind, rig_name, station, open_type, out_index, (extract(epoch FROM t0) * 1000)::bigint, "
    "(extract(epoch FROM t1) * 1000)::bigint, mode, done, class_name, target, c1, c2, c3, o1, o2, o3, verdict, "
    "local_id, lab_id FROM ("
    " SELECT 0 AS kind, rig_name, station, open_type, out_index, start_time AS t0, end_time AS t1, mode,"
    "  count_done AS done, '' AS class_name, 0 AS target, refused_closings[1] AS c1, refused_closings[2] AS c2,"
    "  refused_closings[3] AS c3, refused_openings[1] AS o1, refused_openings[2] AS o2, refused_openings[3] AS o3,"
    "  '' AS verdict, local_id, test_id::text AS lab_id"
    " FROM lab_tests WHERE lower(btrim(out_index)) = lower(btrim($1))"
    "  AND ($2 = '' OR lower(btrim(open_type)) = lower(btrim($2)))"
    " UNION ALL"
    " SELECT 1, rig_name, station, open_type, out_index, created_at, ended_at, 0, cumulative, class_name, target,"
    "  0, 0, 0, 0, 0, 0, verdict, local_id, programme_id::text"
    " FROM lab_programmes WHERE lower(btrim(out_index)) = lower(btrim($1))"
    "  AND ($2 = '' OR lower(btrim(open_type)) = lower(btrim($2)))"
    ") h ORDER BY t0 NULLS FIRST, kind, rig_name, local_id";

}  // namespace

const char* LabSwitchHistorySql() { return kHistory; }

QString RefusalsText(const int closings[3], const int openings[3]) {
  static const char* kBreaks[] = {"A1", "B1", "C1"};
  QStringList parts;
  for (int b = 0; b < 3; ++b) {
    if (closings[b] > 0) parts << QStringLiteral("%1拒合%2次").arg(QLatin1String(kBreaks[b])).arg(closings[b]);
    if (openings[b] > 0) parts << QStringLiteral("%1拒分%2次").arg(QLatin1String(kBreaks[b])).arg(openings[b]);
  }
  return parts.isEmpty() ? QStringLiteral("无拒动作") : parts.join(QStringLiteral("，"));
}

std::vector<SwitchHistoryItem> FetchLabSwitchHistory(LabConnection& c, const SwitchHistoryQuery& q) {
  std::vector<SwitchHistoryItem> items;
  if (q.FactoryNumber.trimmed().isEmpty()) return items;  // every switch without a number is no one switch
  PgResult r = c.Query(kHistory, {q.FactoryNumber.trimmed().toStdString(), q.Model.trimmed().toStdString()});
  const PGresult* t = r.get();
  for (int row = 0; row < PQntuples(t); ++row) {
    SwitchHistoryItem i;
    i.What = Int(t, row, 0) == 0 ? SwitchHistoryItem::Kind::Test : SwitchHistoryItem::Kind::Programme;
    i.RigName = Cell(t, row, 1);
    i.Station = static_cast<int>(Int(t, row, 2));
    i.Model = Cell(t, row, 3);
    i.FactoryNumber = Cell(t, row, 4);
    i.Start = Time(t, row, 5);
    i.End = Time(t, row, 6);
    i.Mode = static_cast<int>(Int(t, row, 7));
    i.Count = static_cast<int32_t>(Int(t, row, 8));
    i.ClassName = Cell(t, row, 9);
    i.Target = static_cast<int32_t>(Int(t, row, 10));
    if (i.What == SwitchHistoryItem::Kind::Test) {
      const int closings[3] = {int(Int(t, row, 11)), int(Int(t, row, 12)), int(Int(t, row, 13))};
      const int openings[3] = {int(Int(t, row, 14)), int(Int(t, row, 15)), int(Int(t, row, 16))};
      i.Outcome = RefusalsText(closings, openings);
    } else {
      i.Outcome = Cell(t, row, 17);
    }
    i.LocalId = Int(t, row, 18);
    i.LabId = Cell(t, row, 19);
    items.push_back(std::move(i));
  }
  return items;
}

std::vector<SwitchHistoryItem> OtherRigsSwitchHistory(const LabSettings& settings, const SwitchHistoryQuery& query) {
  LabConnection c(settings, 5);
  c.Exec("SET statement_timeout = 10000");
  std::vector<SwitchHistoryItem> items = FetchLabSwitchHistory(c, query);
  std::erase_if(items, [&](const SwitchHistoryItem& i) { return i.RigName == settings.RigName; });
  return items;
}

}  // namespace rig::lab
