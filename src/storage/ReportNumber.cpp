#include "storage/ReportNumber.h"

#include <sqlite3.h>

#include <QFileInfo>

#include "core/GbkText.h"
#include "core/IniFile.h"
#include "storage/SQLite3.h"

namespace rig {
namespace {

const QString kDefaultPrefix = QStringLiteral("HX4417-");

const char* const kCreate =
    "CREATE TABLE IF NOT EXISTS ReportNumbers("
    "Seq INTEGER PRIMARY KEY AUTOINCREMENT, TestAutoID INTEGER NOT NULL UNIQUE, Number TEXT NOT NULL)";

// The number of `autoId` on an open connection; empty when none.
QString Existing(TSQLiteDatabase& db, int64_t autoId) {
  auto row = db.QueryTable("SELECT Number FROM ReportNumbers WHERE TestAutoID=?1", {autoId});
  return row->RowCount() > 0 ? FromGbk(row->ValueText(0)) : QString();
}

}  // namespace

QString ReportPrefix(const QString& exeDir) {
  return TIniFile(exeDir + QStringLiteral("Config.ini"))
      .ReadString(QStringLiteral("Config"), QStringLiteral("ReportPrefix"), kDefaultPrefix)
      .trimmed();
}

QString FormatReportNumber(const QString& prefix, int64_t counter) {
  return prefix + QStringLiteral("%1").arg(counter, 5, 10, QLatin1Char('0'));
}

QString GiveReportNumber(const QString& exeDir, int64_t autoId) {
  const QString summaryPath = exeDir + QStringLiteral("SaveData.db");
  if (!QFileInfo(summaryPath).isFile())  // opening would make an empty one
    throw ESQLiteException(QStringLiteral("找不到文件：%1").arg(summaryPath));
  TSQLiteDatabase db(summaryPath.toUtf8());
  WaitForOtherConnections(db);
  db.RunSQL("PRAGMA synchronous=EXTRA");  // a number given is kept through a power cut
  db.RunSQL(kCreate);
  // One writer at a time: two reports made at once never share a counter.
  db.RunSQL("BEGIN IMMEDIATE");
  try {
    QString number = Existing(db, autoId);
    if (number.isEmpty()) {
      if (db.QueryTable("SELECT 1 FROM TestInfo WHERE AutoID=?1", {autoId})->RowCount() == 0)
        throw ESQLiteException(QStringLiteral("%1 中没有编号为 %2 的试验").arg(summaryPath).arg(autoId));
      db.RunSQL("INSERT INTO ReportNumbers(TestAutoID,Number) VALUES (?1,'')", {autoId});
      number = FormatReportNumber(ReportPrefix(exeDir), sqlite3_last_insert_rowid(db.Handle()));
      db.RunSQL("UPDATE ReportNumbers SET Number=?1 WHERE TestAutoID=?2", {ToGbk(number), autoId});
    }
    db.RunSQL("COMMIT");
    return number;
  } catch (...) {
    try {
      db.RunSQL("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

void GiveReportNumberAfterSave(const QString& exeDir, int64_t autoId) noexcept {
  try {
    GiveReportNumber(exeDir, autoId);
  } catch (...) {
  }
}

QString ReadReportNumber(const QString& summaryPath, int64_t autoId) {
  sqlite3* db = nullptr;
  QString number;
  if (sqlite3_open_v2(summaryPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    // A database without the table (saved before numbers existed) has none.
    if (sqlite3_prepare_v2(db, "SELECT Number FROM ReportNumbers WHERE TestAutoID=?1", -1, &s, nullptr) == SQLITE_OK) {
      sqlite3_bind_int64(s, 1, autoId);
      if (sqlite3_step(s) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        if (text) number = FromGbk(QByteArray(text, sqlite3_column_bytes(s, 0)));
      }
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return number;
}

}  // namespace rig
