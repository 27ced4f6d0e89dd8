#include "storage/TestSearch.h"

#include <QFile>

#include "core/GbkText.h"
#include "storage/GbkLike.h"
#include "storage/ModeTexts.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteStatement.h"
#include "storage/SQLiteTable3.h"
#include "storage/SavedTestFiles.h"

namespace rig {
namespace {

QByteArray Like(const QString& text) { return "%" + ToGbk(text) + "%"; }

// The integer a text column holds, or throws like any unreadable cell.
int ToInt(const QByteArray& text) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  if (!ok) throw ESQLiteException(QStringLiteral("Not an integer: ") + FromGbk(text));
  return v;
}

}  // namespace

QString LowerBoundText(const QDate& from) { return from.toString(QStringLiteral("yyyy-MM-dd 00:00:00")); }
QString UpperBoundText(const QDate& to) { return to.addDays(1).toString(QStringLiteral("yyyy-MM-dd 00:00:00")); }

std::vector<SearchRow> SearchTests(const QString& exeDir, const SearchFilter& filter) {
  TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
  RegisterGbkLike(db);
  // The entries are bound: a quote typed into a filter is just a character.
  // They are matched as GBK characters, as the columns hold them.
  const QByteArray sql =
      QByteArray(
          "SELECT * FROM TestInfo where gbk_like(?1, OpenType) and gbk_like(?2, OutIndex) and gbk_like(?3, WorkArea) "
          "and gbk_like(?4, WorkName) and datetime(StartTestTime) >=datetime(?5) "
          "and datetime(StartTestTime) <=datetime(?6) order by AutoID ") +
      (filter.Ascending ? "Asc" : "Desc");
  TSQLiteStatement query(db, sql);
  query.Bind({Like(filter.OpenType), Like(filter.OutIndex), Like(filter.WorkArea), Like(filter.WorkName),
              LowerBoundText(filter.From).toLatin1(), UpperBoundText(filter.To).toLatin1()});

  // Columns are looked up once; a missing one fails where it is first read.
  enum Field { kOutIndex, kOpenType, kStart, kEnd, kMode, kDone, kParam3, kParam5, kArea, kName, kId, kPath, kStation, kFields };
  static constexpr const char* kNames[kFields] = {"OutIndex",  "OpenType",  "StartTestTime", "EndTestTime",
                                                  "iDealType", "iDealTimes", "Param3",        "Param5",
                                                  "WorkArea",  "WorkName",   "AutoID",        "DetailSaveDBName",
                                                  "iWorkIndex"};
  int column[kFields];
  TGbkDecoder decode;
  auto bytes = [&](Field f) {
    if (column[f] < 0) throw ESQLiteException(QStringLiteral("Field not found in dataset: ") + QLatin1String(kNames[f]));
    return query.ValueText(column[f]);
  };
  // Text columns are decoded straight from SQLite's bytes, integer columns
  // written as numbers: no copy of a cell on the way.
  auto text = [&](Field f) {
    const int c = column[f];
    if (c < 0) return decode(bytes(f));  // throws
    if (query.IsNull(c)) return QString();
    switch (query.Kind(c)) {
      case ColumnKind::Text: return decode(query.TextView(c));
      case ColumnKind::Integer: return QString::number(query.Int64(c));
      default: return decode(query.ValueText(c));
    }
  };

  std::vector<SearchRow> rows;
  for (bool first = true; query.Next(); first = false) {
    if (first) {
      for (int f = 0; f < kFields; ++f) column[f] = query.ColumnIndex(QLatin1String(kNames[f]));
    }
    SearchRow row;
    try {
      row.OutIndex = text(kOutIndex);
      row.OpenType = text(kOpenType);
      row.StartTestTime = text(kStart);
      row.EndTestTime = text(kEnd);
      const int mode = ToInt(bytes(kMode));
      row.Mode = mode;
      row.ModeText = SavedModeText(mode);
      row.DoneCount = IsLifeMode(mode) ? text(kDone) : QStringLiteral("-");
      row.SetCount = !IsLifeMode(mode) ? QStringLiteral("-") : text(mode == 20 ? kParam5 : kParam3);
      row.WorkArea = text(kArea);
      row.WorkName = text(kName);
      row.AutoID = text(kId);
      row.DetailPath = text(kPath);
      row.Station = text(kStation).toInt();
    } catch (const ESQLiteException&) {
      rows.push_back(std::move(row));
      break;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool DeleteTest(const QString& exeDir, const QString& autoId, const QString& detailPath) {
  bool ok = false;
  const qint64 id = autoId.toLongLong(&ok);
  if (!ok) return false;
  {
    TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
    try {
      db.RunSQL("PRAGMA synchronous=EXTRA");  // a deleted test stays deleted after a power cut
      db.RunSQL("delete  FROM TestInfo where AutoID=?1", {int64_t{id}});
    } catch (const ESQLiteException&) {
      return false;  // the row stays, and so does its file
    }
  }
  const QString path = ResolveDetailPath(exeDir, ToGbk(detailPath));
  if (IsDetailFile(path)) QFile::remove(path);
  return true;
}

}  // namespace rig
