#include "storage/RecordStore.h"

#include <QDir>
#include <QFile>
#include <unistd.h>
#include <atomic>

#include <sqlite3.h>

#include "core/DateTimeText.h"
#include "core/DurableFolder.h"
#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteStatement.h"
#include "storage/ReportNumber.h"
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

void WriteActionRows(TSQLiteDatabase& db, const ActionQueue& actions);

// "INSERT INTO ControlState(...) VALUES (?,?,...),(...)" for `rows` rows,
// in queue order.
QByteArray InsertActions(int rows) {
  QByteArray sql =
      "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) VALUES ";
  for (int r = 0; r < rows; ++r) sql += r == 0 ? "(?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?)";
  return sql;
}

// Forces the written file to the disk before a summary row may name it.
void SyncFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0) {
    throw ESQLiteException(QStringLiteral("Could not write %1 to the disk").arg(path));
  }
}

void WriteDetailRows(const QString& templatePath, const QString& detailPath, const ActionQueue& actions) {
  // The template gives the file its table; without one the schema does.
  // A copy keeps the template's modes: a read-only template would give a
  // detail file nobody can write into.
  if (QFile::copy(templatePath, detailPath))
    QFile::setPermissions(detailPath, QFile::permissions(detailPath) | QFileDevice::WriteOwner);
  {
    TSQLiteDatabase db(detailPath.toUtf8());
    // A new file that nothing names yet, removed again if the save fails:
    // it needs no journal on disk nor a sync per step of the commit, only
    // the one sync below before the summary row names it. A cache that
    // holds a whole test keeps pages from being written twice.
    db.QueryTable("PRAGMA journal_mode=MEMORY");  // answers with the mode
    db.RunSQL("PRAGMA synchronous=OFF");
    db.RunSQL("PRAGMA cache_size=-32768");
    WriteActionRows(db, actions);
  }
  SyncFile(detailPath);
  // The file's name in its day folder, before a summary row names it.
  if (!SyncFolderOf(detailPath))
    throw ESQLiteException(QStringLiteral("Could not write the folder of %1 to the disk").arg(detailPath));
}

void WriteActionRows(TSQLiteDatabase& db, const ActionQueue& actions) {
  db.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
  // One transaction and two INSERTs compiled once: one that writes a block
  // of actions per run (the table's AUTOINCREMENT counter is then updated
  // once per block, not once per action) and one for the rest. A
  // 32,000-cycle test is written in a blink, not one disk sync and one SQL
  // compilation per action, and a failure leaves no half of it.
  db.RunSQL("BEGIN");
  try {
    constexpr int kBlock = 64;
    std::vector<const ActionRecord*> rows;
    rows.reserve(actions.size());
    for (const auto& record : actions) {
      if (record) rows.push_back(record.get());
    }
    MarkBytes marks;
    auto bind = [&marks](TSQLiteStatement& insert, int slot, const ActionRecord& r) {
      const int first = slot * 8 + 1;
      insert.BindInt(first, r.Count);
      insert.BindInt(first + 1, r.ActionNo);
      for (int b = 0; b < kBreakCount; ++b) insert.BindInt(first + 2 + b, r.Closed[b] ? 1 : 0);
      for (int b = 0; b < kBreakCount; ++b) insert.BindText(first + 5 + b, marks(r.Marks[b]));
    };
    size_t next = 0;
    if (rows.size() >= kBlock) {
      TSQLiteStatement block(db, InsertActions(kBlock));
      for (; next + kBlock <= rows.size(); next += kBlock) {
        for (int slot = 0; slot < kBlock; ++slot) bind(block, slot, *rows[next + slot]);
        block.Run();
      }
    }
    if (next < rows.size()) {
      TSQLiteStatement single(db, InsertActions(1));
      for (; next < rows.size(); ++next) {
        bind(single, 0, *rows[next]);
        single.Run();
      }
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
  WaitForOtherConnections(db);
  // A commit returns only once it outlasts a power cut: with EXTRA, SQLite
  // also syncs the folder after removing its rollback journal, without which
  // the journal could come back and roll the row away.
  db.RunSQL("PRAGMA synchronous=EXTRA");
  db.RunSQL(SchemaStatement(QStringLiteral("TestInfo")));
  SqlParams p{Gbk(test.OpenType),
              Gbk(test.OutIndex),
              Gbk(test.WorkArea),
              Gbk(test.WorkName),
              Gbk(DateTimeText(test.StartTime)),
              Gbk(DateTimeText(test.EndTime)),
              int64_t{test.Station},
              DetailKey(detailPath),
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

QByteArray DetailKey(const QString& detailPath) { return Gbk(detailPath); }

SaveOutcome WriteTestRecord(const QString& exeDir, const TestSummary& test, ActionQueue& actions,
                            const QDateTime& now, const BeforeSummaryRow& beforeRow) {
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
  if (!MakeFolderDurably(dayFolder)) {
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
  if (beforeRow) beforeRow(DetailKey(detailPath));
  try {
    out.AutoId = WriteSummaryRow(exeDir + QStringLiteral("SaveData.db"), test, params, detailPath);
  } catch (const ESQLiteException& e) {
    QFile::remove(detailPath);  // no row names it; the next try writes it anew
    out.Error = e.Message();
    return out;
  }
  out.Ok = true;
  out.DetailPath = detailPath;
  GiveReportNumberAfterSave(exeDir, out.AutoId);
  if (ISavedTestSink* sink = g_sink.load()) sink->TestSaved(exeDir, JustSavedTest{test, params, out, actions});
  actions.clear();
  return out;
}

void SetSavedTestSink(ISavedTestSink* sink) { g_sink.store(sink); }

int64_t FindSavedTest(const QString& exeDir, const QByteArray& detailKey) {
  const QString summaryPath = exeDir + QStringLiteral("SaveData.db");
  if (!QFile::exists(summaryPath)) return 0;  // opening it would make an empty one
  TSQLiteDatabase db(summaryPath.toUtf8());
  if (db.QueryTable("SELECT 1 FROM sqlite_master WHERE type='table' AND name='TestInfo'")->RowCount() == 0) return 0;
  // Backwards by AutoID: the test looked for is nearly always the last one.
  auto row = db.QueryTable("SELECT AutoID FROM TestInfo WHERE DetailSaveDBName=?1 ORDER BY AutoID DESC LIMIT 1",
                           {detailKey});
  return row->RowCount() > 0 ? row->ValueInteger(0) : 0;
}

}  // namespace rig
