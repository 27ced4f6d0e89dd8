#include "storage/TestSearch.h"

#include <QFile>

#include "core/GbkText.h"
#include "storage/ModeTexts.h"
#include "storage/SQLite3.h"
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
  // The entries are bound: a quote typed into a filter is just a character.
  const QByteArray sql = QByteArray(
                             "SELECT * FROM TestInfo where OpenType like ?1 and OutIndex like ?2 and WorkArea like ?3 "
                             "and WorkName like ?4 and datetime(StartTestTime) >=datetime(?5) "
                             "and datetime(StartTestTime) <=datetime(?6) order by AutoID ") +
                         (filter.Ascending ? "Asc" : "Desc");
  auto table = db.QueryTable(sql, {Like(filter.OpenType), Like(filter.OutIndex), Like(filter.WorkArea),
                                   Like(filter.WorkName), LowerBoundText(filter.From).toLatin1(),
                                   UpperBoundText(filter.To).toLatin1()});
  std::vector<SearchRow> rows;
  TSQLiteTable& t = *table;
  auto text = [&t](const char* column) { return FromGbk(t.ValueText(t.ColumnIndex(QString::fromLatin1(column)))); };
  while (!t.IsAtEnd()) {
    SearchRow row;
    try {
      row.OutIndex = text("OutIndex");
      row.OpenType = text("OpenType");
      row.StartTestTime = text("StartTestTime");
      row.EndTestTime = text("EndTestTime");
      const int mode = ToInt(t.ValueText(t.ColumnIndex(QStringLiteral("iDealType"))));
      row.ModeText = SavedModeText(mode);
      row.DoneCount = IsLifeMode(mode) ? text("iDealTimes") : QStringLiteral("-");
      row.SetCount = !IsLifeMode(mode) ? QStringLiteral("-") : text(mode == 20 ? "Param5" : "Param3");
      row.WorkArea = text("WorkArea");
      row.WorkName = text("WorkName");
      row.AutoID = text("AutoID");
      row.DetailPath = text("DetailSaveDBName");
    } catch (const ESQLiteException&) {
      rows.push_back(row);
      break;
    }
    rows.push_back(row);
    t.MoveNext();
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
