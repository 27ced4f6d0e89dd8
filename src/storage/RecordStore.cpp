#include "storage/RecordStore.h"

#include <QDir>
#include <QFile>
#include <atomic>

#include <sqlite3.h>

#include "core/DateTimeText.h"
#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

QByteArray Gbk(const QString& s) { return ToGbk(s); }

std::atomic<ISavedTestSink*> g_sink{nullptr};

// "<day folder>/<yyyyMMddHHmmss>_<station>.db", or with "-2", "-3", ...
// before ".db" when that name is taken.
QString FreeDetailPath(const QString& dayFolder, const TestSummary& test) {
  const QString stem = dayFolder + QLatin1Char('/') + test.StartTime.toString(QStringLiteral("yyyyMMddHHmmss")) +
                       QLatin1Char('_') + QString::number(test.Station);
  QString path = stem + QStringLiteral(".db");
  for (int n = 2; QFile::exists(path); ++n) path = stem + QStringLiteral("-%1.db").arg(n);
  return path;
}

void WriteDetailRows(const QString& templatePath, const QString& detailPath, const ActionQueue& actions) {
  // The template gives the file its table; without one the schema does.
  QFile::copy(templatePath, detailPath);
  TSQLiteDatabase db(detailPath.toUtf8());
  db.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
  // One transaction: a 32,000-cycle test is written in a blink, not one disk
  // sync per action, and a failure leaves no half of it.
  db.RunSQL("BEGIN");
  try {
    for (const auto& record : actions) {
      if (!record) continue;
      SqlParams p{int64_t{record->Count}, int64_t{record->ActionNo}};
      for (uint8_t closed : record->Closed) p.emplace_back(int64_t{closed ? 1 : 0});
      for (const QString& mark : record->Marks) p.emplace_back(ToGbkLimited(mark, 6));
      db.RunSQL(
          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
          "VALUES (?1,?2,?3,?4,?5,?6,?7,?8);",
          p);
    }
    db.RunSQL("COMMIT");
  } catch (...) {
    try {
      db.RunSQL("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

int64_t WriteSummaryRow(const QString& summaryPath, const TestSummary& test, const std::array<int, 5>& params,
                     const QString& detailPath) {
  TSQLiteDatabase db(summaryPath.toUtf8());
  db.RunSQL(SchemaStatement(QStringLiteral("TestInfo")));
  SqlParams p{Gbk(test.OpenType),
              Gbk(test.OutIndex),
              Gbk(test.WorkArea),
              Gbk(test.WorkName),
              Gbk(DateTimeText(test.StartTime)),
              Gbk(DateTimeText(test.EndTime)),
              int64_t{test.Station},
              Gbk(detailPath),
              int64_t{test.Mode}};
  for (int v : params) p.emplace_back(int64_t{v});
  p.emplace_back(int64_t{test.CountDone});
  p.emplace_back(int64_t{test.IgnoreRefusals ? 1 : 0});
  db.RunSQL(
      "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
      "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
      "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16);",
      p);
  return sqlite3_last_insert_rowid(db.Handle());
}

}  // namespace

SaveOutcome WriteTestRecord(const QString& exeDir, const TestSummary& test, ActionQueue& actions,
                            const QDateTime& now) {
  SaveOutcome out;
  if (test.Station != 1 && test.Station != 2) {
    out.Error = QStringLiteral("工位号无效：%1").arg(test.Station);
    return out;
  }

  std::array<int, 5> params{};
  const std::array<int, 5> numbers = SavedParameterNumbers(test.Mode);
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (numbers[i] == 0) continue;
    if (!ParseParameterText(test.ParamTexts[numbers[i] - 1], &params[i])) {
      out.Error = QStringLiteral("参数“%1”不是有效的整数，数据未保存。").arg(test.ParamTexts[numbers[i] - 1]);
      return out;
    }
  }

  const QString dayFolder = exeDir + now.toString(QStringLiteral("yyyyMMdd"));
  if (!QDir().mkpath(dayFolder)) {
    out.Error = QStringLiteral("无法创建文件夹 %1，数据未保存。").arg(dayFolder);
    return out;
  }
  const QString detailPath = FreeDetailPath(dayFolder, test);
  try {
    WriteDetailRows(exeDir + QStringLiteral("SpaceData.db"), detailPath, actions);
  } catch (const ESQLiteException& e) {
    QFile::remove(detailPath);
    out.Error = e.Message();
    return out;
  }
  try {
    out.AutoId = WriteSummaryRow(exeDir + QStringLiteral("SaveData.db"), test, params, detailPath);
  } catch (const ESQLiteException& e) {
    QFile::remove(detailPath);  // no row names it; the next try writes it anew
    out.Error = e.Message();
    return out;
  }
  out.Ok = true;
  out.DetailPath = detailPath;
  if (ISavedTestSink* sink = g_sink.load()) sink->TestSaved(exeDir, SavedTest{test, params, out, actions});
  actions.clear();
  return out;
}

void SetSavedTestSink(ISavedTestSink* sink) { g_sink.store(sink); }

}  // namespace rig
