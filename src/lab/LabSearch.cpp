#include "lab/LabSearch.h"

#include <libpq-fe.h>

#include <algorithm>

#include "lab/LabConnection.h"
#include "lab/LabSchema.h"
#include "storage/ModeTexts.h"

namespace rig::lab {
namespace {

// Anywhere in the column, the typed text taken literally: ILIKE's wildcards
// and its escape character are escaped.
std::string Like(const QString& text) {
  QString literal = text;
  literal.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('%'), QStringLiteral("\\%"))
      .replace(QLatin1Char('_'), QStringLiteral("\\_"));
  return ("%" + literal + "%").toStdString();
}

}  // namespace

LabSearchResult SearchLabTests(LabConnection& c, const LabSearchFilter& f) {
  const std::string sql =
      std::string(
          "SELECT out_index, open_type, to_char(start_time, 'YYYY-MM-DD HH24:MI:SS'), "
          "to_char(end_time, 'YYYY-MM-DD HH24:MI:SS'), mode, count_done, param3, param5, work_area, work_name, "
          "test_id, rig_name FROM lab_tests WHERE open_type ILIKE $1 AND out_index ILIKE $2 AND work_area ILIKE $3 "
          "AND work_name ILIKE $4 AND rig_name ILIKE $5 AND start_time >= $6::timestamptz AND start_time <= "
          "$7::timestamptz ORDER BY start_time ") +
      (f.Base.Ascending ? "ASC" : "DESC") + ", rig_name, local_id LIMIT $8";
  PgResult r = c.Query(sql.c_str(), {Like(f.Base.OpenType), Like(f.Base.OutIndex), Like(f.Base.WorkArea),
                                     Like(f.Base.WorkName), Like(f.RigName), LowerBoundText(f.Base.From).toStdString(),
                                     UpperBoundText(f.Base.To).toStdString(), std::to_string(f.Limit + 1)});
  // One row more than asked tells a cut list from a whole one.
  LabSearchResult result;
  result.Cut = PQntuples(r.get()) > f.Limit;
  const int n = std::min(PQntuples(r.get()), f.Limit);
  std::vector<SearchRow>& rows = result.Rows;
  rows.reserve(n);
  for (int i = 0; i < n; ++i) {
    auto text = [&](int column) { return QString::fromUtf8(PQgetvalue(r.get(), i, column)); };
    SearchRow row;
    row.OutIndex = text(0);
    row.OpenType = text(1);
    row.StartTestTime = text(2);
    row.EndTestTime = text(3);
    const int mode = text(4).toInt();
    row.ModeText = SavedModeText(mode);
    row.DoneCount = IsLifeMode(mode) ? text(5) : QStringLiteral("-");
    row.SetCount = IsLifeMode(mode) ? text(mode == 20 ? 7 : 6) : QStringLiteral("-");
    row.WorkArea = text(8);
    row.WorkName = text(9);
    row.AutoID = text(10);
    row.DetailPath = text(11);
    rows.push_back(std::move(row));
  }
  return result;
}

LabSearchResult SearchLabTests(const LabSettings& settings, const LabSearchFilter& filter) {
  LabConnection c(settings);
  EnsureLabSchema(c, SchemaUse::Read);  // a new, empty lab database lists nothing rather than failing
  return SearchLabTests(c, filter);
}

QString CutListNotice(const LabSearchFilter& filter) {
  return QStringLiteral("符合条件的测试多于 %1 个，只列出了%2的 %1 个。请缩小查询条件。")
      .arg(filter.Limit)
      .arg(filter.Base.Ascending ? QStringLiteral("最早") : QStringLiteral("最新"));
}

}  // namespace rig::lab
