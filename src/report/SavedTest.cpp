#include "report/SavedTest.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include "core/GbkText.h"
#include "storage/ReportNumber.h"
#include "storage/SQLiteException.h"
#include "storage/SavedTestFiles.h"
#include "testing/PositionJudge.h"

namespace rig {
namespace {

// A read-only connection: reading a report never creates or changes a file.
class ReadOnlyDb {
 public:
  explicit ReadOnlyDb(const QString& path) : path_(path) {
    if (!QFileInfo(path).isFile()) throw ReportError{QStringLiteral("找不到文件：%1").arg(Native())};
    if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) Fail();
  }
  ~ReadOnlyDb() {
    if (stmt_) sqlite3_finalize(stmt_);
    sqlite3_close(db_);
  }
  ReadOnlyDb(const ReadOnlyDb&) = delete;
  ReadOnlyDb& operator=(const ReadOnlyDb&) = delete;

  sqlite3_stmt* Prepare(const char* sql) {
    if (stmt_) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail();
    return stmt_;
  }
  // One step; true for a row. A fault names the file.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }
  QString Native() const { return QDir::toNativeSeparators(path_); }
  [[noreturn]] void Fail() const {
    throw ReportError{QStringLiteral("文件已损坏或无法读取：%1（%2）")
                          .arg(Native(), QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : "out of memory"))};
  }

 private:
  QString path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

QByteArray Bytes(sqlite3_stmt* s, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
  return text ? QByteArray(text, sqlite3_column_bytes(s, column)) : QByteArray();
}

const QByteArray kCloseGbk = ToGbk(QStringLiteral("拒合"));
const QByteArray kOpenGbk = ToGbk(QStringLiteral("拒分"));

Refusal RefusalOfBytes(const QByteArray& gbk) {
  const QByteArray t = gbk.trimmed();
  if (t.isEmpty()) return Refusal::None;
  if (t == kCloseGbk) return Refusal::Close;
  if (t == kOpenGbk) return Refusal::Open;
  return Refusal::Other;
}

}  // namespace

Refusal RefusalOfText(const QString& mark) { return RefusalOfBytes(ToGbk(mark)); }

QString RefusalText(Refusal r) {
  switch (r) {
    case Refusal::Close: return QStringLiteral("拒合");
    case Refusal::Open: return QStringLiteral("拒分");
    case Refusal::Other: return QStringLiteral("拒动");
    default: return QString();
  }
}

void JudgeSavedAction(int mode, SavedAction& a) {
  BreakPositions positions;
  for (int b = 0; b < 3; ++b) positions[b] = a.Closed[b] ? ContactState::Closed : ContactState::Open;
  const std::optional<BreakDeviations> judged = JudgeAction(mode, a.ActionNo, positions);
  a.Judged = judged.has_value();
  for (int b = 0; b < 3; ++b) {
    a.Found[b] = a.Marks[b];
    a.FromPositions[b] = false;
    if (a.Marks[b] != Refusal::None || !judged) continue;
    switch ((*judged)[b]) {
      case Deviation::RefusedClose: a.Found[b] = Refusal::Close; break;
      case Deviation::RefusedOpen: a.Found[b] = Refusal::Open; break;
      case Deviation::None: continue;
    }
    a.FromPositions[b] = true;
  }
}

namespace {

// The test's TestInfo row and its detail file's path, without its actions.
SavedTest LoadSummary(const QString& exeDir, const QString& autoId) {
  SavedTest test;
  bool idOk = false;
  test.AutoId = autoId.trimmed().toLongLong(&idOk);
  const QString summaryPath = exeDir + QStringLiteral("SaveData.db");
  if (!idOk) throw ReportError{QStringLiteral("试验编号“%1”不是数字").arg(autoId)};
  {
    ReadOnlyDb db(summaryPath);
    sqlite3_stmt* s = db.Prepare(
        "SELECT OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,DetailSaveDBName,"
        "iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal FROM TestInfo WHERE AutoID=?1");
    sqlite3_bind_int64(s, 1, test.AutoId);
    if (!db.Step())
      throw ReportError{QStringLiteral("%1 中没有编号为 %2 的试验").arg(db.Native()).arg(test.AutoId)};
    test.OpenType = FromGbk(Bytes(s, 0));
    test.OutIndex = FromGbk(Bytes(s, 1));
    test.WorkArea = FromGbk(Bytes(s, 2));
    test.WorkName = FromGbk(Bytes(s, 3));
    test.StartText = FromGbk(Bytes(s, 4));
    test.EndText = FromGbk(Bytes(s, 5));
    test.Station = sqlite3_column_int(s, 6);
    test.DetailPath = ResolveDetailPath(exeDir, Bytes(s, 7));
    test.Mode = sqlite3_column_int(s, 8);
    for (int i = 0; i < 5; ++i) test.Params[i] = sqlite3_column_int(s, 9 + i);
    test.CountDone = sqlite3_column_int(s, 14);
    test.IgnoreRefusals = sqlite3_column_int(s, 15) == 1;
  }
  test.ReportNumber = ReadReportNumber(summaryPath, test.AutoId);
  if (test.DetailPath.isEmpty()) throw ReportError{QStringLiteral("试验 %1 没有明细文件").arg(test.AutoId)};
  return test;
}

// Closed as the report reads a stored position: the text "1", blanks aside.
bool StoredClosed(sqlite3_stmt* s, int column) {
  if (sqlite3_column_type(s, column) == SQLITE_INTEGER) return sqlite3_column_int64(s, column) == 1;
  return Bytes(s, column).trimmed() == "1";
}

}  // namespace

SavedTest LoadSavedTest(const QString& exeDir, const QString& autoId, const ReportProgress& progress) {
  SavedTest test = LoadSummary(exeDir, autoId);
  ReadOnlyDb detail(test.DetailPath);
  sqlite3_stmt* s = detail.Prepare("SELECT count(*) FROM ControlState");
  const qint64 total = detail.Step() ? sqlite3_column_int64(s, 0) : 0;
  test.Actions.reserve(static_cast<size_t>(total));
  s = detail.Prepare(
      "SELECT DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3 "
      "FROM ControlState ORDER BY AutoID");
  while (detail.Step()) {
    SavedAction a;
    a.Count = sqlite3_column_int(s, 0);
    a.ActionNo = sqlite3_column_int(s, 1);
    for (int b = 0; b < 3; ++b) {
      a.Closed[b] = Bytes(s, 2 + b).trimmed() == "1";
      a.Marks[b] = sqlite3_column_bytes(s, 5 + b) == 0 ? Refusal::None : RefusalOfBytes(Bytes(s, 5 + b));
    }
    JudgeSavedAction(test.Mode, a);
    test.Actions.push_back(a);
    if (test.Actions.size() % 8192 == 0 && total > 0) Advance(progress, double(test.Actions.size()) / double(total));
  }
  return test;
}

RefusalCounts CountSavedRefusals(const QString& exeDir, const QString& autoId) {
  const SavedTest test = LoadSummary(exeDir, autoId);
  ReadOnlyDb detail(test.DetailPath);
  sqlite3_stmt* s = detail.Prepare("SELECT CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3 FROM ControlState");
  RefusalCounts counts;
  SavedAction a;
  while (detail.Step()) {
    a.ActionNo = sqlite3_column_int(s, 0);
    for (int b = 0; b < 3; ++b) {
      a.Closed[b] = StoredClosed(s, 1 + b);
      a.Marks[b] = sqlite3_column_bytes(s, 4 + b) == 0 ? Refusal::None : RefusalOfBytes(Bytes(s, 4 + b));
    }
    JudgeSavedAction(test.Mode, a);
    ++counts.Actions;
    if (!a.Judged && !a.Refused()) ++counts.UnjudgedActions;
    for (int b = 0; b < 3; ++b) {
      switch (a.Found[b]) {
        case Refusal::Close: ++counts.Closings[b]; break;
        case Refusal::Open: ++counts.Openings[b]; break;
        case Refusal::Other: ++counts.Others[b]; break;
        case Refusal::None: break;
      }
    }
  }
  return counts;
}

SavedTest LoadTestForReport(const QString& exeDir, const QString& autoId, const ReportProgress& progress) {
  SavedTest test = LoadSavedTest(exeDir, autoId, progress);
  if (!test.ReportNumber.isEmpty()) return test;
  try {
    test.ReportNumber = GiveReportNumber(exeDir, test.AutoId);
  } catch (const ESQLiteException& e) {
    throw ReportError{QStringLiteral("无法给出报告编号：%1（%2）")
                          .arg(QDir::toNativeSeparators(exeDir + QStringLiteral("SaveData.db")), e.Message())};
  }
  return test;
}

}  // namespace rig
