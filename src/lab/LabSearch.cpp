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

// A trigram index can serve the filter only when it holds a trigram: three
// letters or digits in a row (other characters split words for pg_trgm).
bool HasTrigram(const QString& text) {
  int run = 0;
  for (const uint c : text.toUcs4()) {
    run = QChar::isLetterOrNumber(c) ? run + 1 : 0;
    if (run >= 3) return true;
  }
  return false;
}

struct TextFilter {
  const char* Column;
  const char* Tag;  // its tag in lab_search_grams
  bool TrigramIndexed;
  QString Text;
};

std::vector<TextFilter> TextFilters(const LabSearchFilter& f) {
  std::vector<TextFilter> texts;
  for (const TextFilter& t : {TextFilter{"open_type", "t:", true, f.Base.OpenType},
                              TextFilter{"out_index", "i:", true, f.Base.OutIndex},
                              TextFilter{"work_area", "a:", true, f.Base.WorkArea},
                              TextFilter{"work_name", "n:", true, f.Base.WorkName},
                              TextFilter{"rig_name", "r:", false, f.RigName}})
    if (!t.Text.isEmpty()) texts.push_back(t);
  return texts;
}

// Short texts (and the rig, of which a lab has few) go through the indexed
// characters and pairs.
bool ThroughPairs(const TextFilter& t) { return !t.TrigramIndexed || !HasTrigram(t.Text); }

}  // namespace

std::string LabSearchSql(const LabSearchFilter& f, std::vector<std::string>* params, int window) {
  const std::string order =
      std::string(" ORDER BY start_time ") + (f.Base.Ascending ? "ASC" : "DESC") + ", rig_name, local_id";
  const std::string dates = "start_time >= $1::timestamptz AND start_time <= $2::timestamptz";
  params->assign({LowerBoundText(f.Base.From).toStdString(), UpperBoundText(f.Base.To).toStdString()});
  std::string where = window > 0 ? "true" : dates;
  for (const TextFilter& t : TextFilters(f)) {
    const std::string like = "$" + std::to_string(params->size() + 1);
    params->push_back(Like(t.Text));
    // lower(column) LIKE lower(pattern) is ILIKE (which lowers both sides,
    // the pattern for each row) in a form no trigram index takes: for one or
    // two characters it would read all of itself; and row by row it is
    // twice as fast.
    const std::string lowered = std::string(" AND lower(") + t.Column + ") LIKE lower(" + like + ")";
    if (window > 0) {
      where += lowered;  // the window's tests are only matched
    } else if (!ThroughPairs(t)) {
      where += std::string(" AND ") + t.Column + " ILIKE " + like;  // the trigram index's form
    } else {
      where += " AND lab_search_grams(rig_name, open_type, out_index, work_area, work_name) @> lab_text_grams('" +
               std::string(t.Tag) + "', $" + std::to_string(params->size() + 1) + ")" + lowered;
      params->push_back(t.Text.toStdString());
    }
  }
  params->push_back(std::to_string(f.Limit + 1));
  const std::string from =
      window > 0 ? "(SELECT out_index, open_type, start_time, end_time, mode, count_done, param3, param5, work_area, "
                   "work_name, test_id, rig_name, local_id FROM lab_tests WHERE " + dates + order + " LIMIT " + std::to_string(window) + ") AS newest"
                 : std::string("lab_tests");
  return "SELECT out_index, open_type, to_char(start_time, 'YYYY-MM-DD HH24:MI:SS'), "
         "to_char(end_time, 'YYYY-MM-DD HH24:MI:SS'), mode, count_done, param3, param5, work_area, work_name, "
         "test_id, rig_name FROM " +
         from + " WHERE " + where + order + " LIMIT $" + std::to_string(params->size());
}

LabSearchResult SearchLabTests(LabConnection& c, const LabSearchFilter& f) {
  std::vector<std::string> params;
  // A text common enough fills the list from the newest tests alone, found
  // in the time index's order; only when it does not are the trigram or pair
  // indexes asked, which must fetch every match to sort them (a model
  // matching half of a million tests: 0.7 s that way, 0.2 s this).
  PgResult r;
  if (!TextFilters(f).empty()) {
    const std::string newest = LabSearchSql(f, &params, 5 * (f.Limit + 1));
    r = c.Query(newest.c_str(), params);
  }
  if (!r || PQntuples(r.get()) <= f.Limit) {
    const std::string sql = LabSearchSql(f, &params);
    r = c.Query(sql.c_str(), params);
  }
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
