#include "lab/LabDetail.h"

#include <libpq-fe.h>

#include <QDir>
#include <QFile>
#include <QUuid>
#include <cstdlib>

#include "core/GbkText.h"
#include "lab/LabConnection.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteStatement.h"
#include "storage/Schema.h"

namespace rig::lab {

QString FetchLabTest(LabConnection& c, const QString& testId, const QString& folder) {
  // Compared as a uuid so that the keys find the test and its actions.
  if (QUuid::fromString(testId).isNull()) throw LabError(QStringLiteral("实验室数据库中没有这个测试：") + testId);
  PgResult test = c.Query(
      "SELECT open_type, out_index, work_area, work_name, to_char(start_time, 'YYYY-MM-DD HH24:MI:SS'), "
      "to_char(end_time, 'YYYY-MM-DD HH24:MI:SS'), station, mode, param1, param2, param3, param4, param5, "
      "count_done, ignore_refusals FROM lab_tests WHERE test_id = $1::uuid",
      {testId.toStdString()});
  if (PQntuples(test.get()) != 1) throw LabError(QStringLiteral("实验室数据库中没有这个测试：") + testId);
  auto value = [&](int column) { return QByteArray(PQgetvalue(test.get(), 0, column)); };

  const QString summaryPath = folder + QStringLiteral("SaveData.db");
  const QString detailPath = folder + QStringLiteral("LabTest.db");
  QFile::remove(summaryPath);
  QFile::remove(detailPath);

  TSQLiteDatabase detail(detailPath.toUtf8());
  detail.RunSQL(SchemaStatement(QStringLiteral("ControlState")));
  PgResult actions = c.Query(
      "SELECT deal_times, cz_deal_times, state1, state2, state3, mark1, mark2, mark3 FROM lab_actions "
      "WHERE test_id = $1::uuid ORDER BY seq",
      {testId.toStdString()});
  detail.RunSQL("BEGIN");
  // One compiled INSERT for all rows: a 128,000-action test took 5 s when
  // each row compiled its own.
  TSQLiteStatement insert(detail,
                          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,"
                          "StrState3) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)");
  for (int i = 0, n = PQntuples(actions.get()); i < n; ++i) {
    for (int k = 0; k < 5; ++k) insert.BindInt(k + 1, std::strtoll(PQgetvalue(actions.get(), i, k), nullptr, 10));
    for (int k = 5; k < 8; ++k) {
      const char* mark = PQgetvalue(actions.get(), i, k);
      insert.BindText(k + 1, *mark ? QByteArrayView(ToGbk(QString::fromUtf8(mark))) : QByteArrayView(""));
    }
    insert.Run();
  }
  detail.RunSQL("COMMIT");

  TSQLiteDatabase summary(summaryPath.toUtf8());
  summary.RunSQL(SchemaStatement(QStringLiteral("TestInfo")));
  SqlParams p;
  for (int k = 0; k < 6; ++k) p.emplace_back(ToGbk(QString::fromUtf8(value(k))));
  p.emplace_back(int64_t{value(6).toLongLong()});
  p.emplace_back(ToGbk(detailPath));
  for (int k = 7; k < 14; ++k) p.emplace_back(int64_t{value(k).toLongLong()});
  p.emplace_back(int64_t{value(14) == "t" ? 1 : 0});
  summary.RunSQL(
      "INSERT INTO TestInfo(AutoID,OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
      "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
      "VALUES (1,?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)",
      p);
  return QStringLiteral("1");
}

QString FetchLabTest(const LabSettings& settings, const QString& testId, const QString& folder) {
  LabConnection c(settings);
  return FetchLabTest(c, testId, folder);
}

}  // namespace rig::lab
