#include "storage/RecordStore.h"

#include <QDir>
#include <QFile>

#include "core/DateTimeText.h"
#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteStatement.h"
#include "storage/Schema.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

QByteArray Gbk(const QString& s) { return ToGbk(s); }

// "<day folder>/<yyyyMMddHHmmss>_<station>.db", or with "-2", "-3", ...
// before ".db" when that name is taken.
QString FreeDetailPath(const QString& dayFolder, const TestSummary& test) {
  const QString stem = dayFolder + QLatin1Char('/') + test.StartTime.toString(QStringLiteral("yyyyMMddHHmmss")) +
                       QLatin1Char('_') + QString::number(test.Station);
  QString path = stem + QStringLiteral(".db");
  for (int n = 2; QFile::exists(path); ++n) path = stem + QStringLiteral("-%1.db").arg(n);
  return path;
}

// The stored bytes of a refusal mark. A test holds thousands of marks but
// only a few different texts ("", "拒合", "拒分"): each is encoded once.
class MarkBytes {
 public:
  const QByteArray& operator()(const QString& mark) {
    for (const auto& [text, bytes] : known_) {
      if (text == mark) return bytes;
    }
    if (known_.size() >= 8) known_.pop_back();
    known_.insert(known_.begin(), {mark, ToGbkLimited(mark, 6)});
    return known_.front().second;
  }

 private:
  std::vector<std::pair<QString, QByteArray>> known_;
};

void WriteDetailRows(const QString& templatePath, const QString& detailPath, const ActionQueue& actions) {
  // The template gives the file its table; without one the schema does.
  QFile::copy(templatePath, detailPath);
  TSQLiteDatabase db(detailPath.toUtf8());
  db.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
  // One transaction and one prepared INSERT run once per action: a
  // 32,000-cycle test is written in a blink, not one disk sync and one SQL
  // compilation per action, and a failure leaves no half of it.
  db.RunSQL("BEGIN");
  try {
    TSQLiteStatement insert(
        db,
        "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
        "VALUES (?1,?2,?3,?4,?5,?6,?7,?8);");
    MarkBytes marks;
    for (const auto& record : actions) {
      if (!record) continue;
      insert.BindInt(1, record->Count);
      insert.BindInt(2, record->ActionNo);
      for (int b = 0; b < kBreakCount; ++b) insert.BindInt(3 + b, record->Closed[b] ? 1 : 0);
      for (int b = 0; b < kBreakCount; ++b) insert.BindText(6 + b, marks(record->Marks[b]));
      insert.Run();
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

void WriteSummaryRow(const QString& summaryPath, const TestSummary& test, const std::array<int, 5>& params,
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
    WriteSummaryRow(exeDir + QStringLiteral("SaveData.db"), test, params, detailPath);
  } catch (const ESQLiteException& e) {
    QFile::remove(detailPath);  // no row names it; the next try writes it anew
    out.Error = e.Message();
    return out;
  }
  actions.clear();
  out.Ok = true;
  out.DetailPath = detailPath;
  return out;
}

}  // namespace rig
