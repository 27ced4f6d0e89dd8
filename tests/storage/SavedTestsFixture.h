#pragma once
// A program folder with SaveData.db and SpaceData.db, and helpers to put
// saved tests into it the way the record store writes them.
#include <QFile>

#include "core/GbkText.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "support/TempDir.h"

namespace rigtest {

struct SavedTestsFolder {
  TempDir dir;
  SavedTestsFolder() {
    rig::EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
    rig::EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
  }
  QString Exe() const { return dir.Path(); }

  // Inserts a TestInfo row; returns its AutoID.
  qint64 AddTest(const QString& outIndex, const QString& openType, const QString& start, int mode,
                 const QString& detail = QString(), int doneCount = 0, int param3 = 0, int param5 = 0,
                 const QString& workArea = QString(), const QString& workName = QString()) const {
    rig::TSQLiteDatabase db(dir.File("SaveData.db").toUtf8());
    db.RunSQL(
        "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
        "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
        "VALUES (?1,?2,?3,?4,?5,?5,1,?6,?7,10,20,?8,40,?9,?10,1)",
        {rig::ToGbk(openType), rig::ToGbk(outIndex), rig::ToGbk(workArea), rig::ToGbk(workName), rig::ToGbk(start),
         rig::ToGbk(detail), int64_t{mode}, int64_t{param3}, int64_t{param5}, int64_t{doneCount}});
    return db.QueryTable("SELECT max(AutoID) AS M FROM TestInfo")->ValueInteger(0);
  }

  // A detail file with one ControlState row per {DealTimes, CZDealTimes,
  // State1..3, StrState1..3}.
  struct Row {
    QString DealTimes, CZDealTimes, State[3], Mark[3];
  };
  // A life test of mode 17 with `cycles` counts of two actions each, every
  // tenth with a refusal mark.
  QString AddLifeDetail(const QString& name, int cycles) const {
    std::vector<Row> rows;
    for (int n = 1; n <= 2 * cycles; ++n) {
      rows.push_back(Row{QString::number((n + 1) / 2), QString::number(n), {n % 2 ? "0" : "1", "1", "0"},
                         {"", "", n % 10 ? QString() : QStringLiteral("拒合")}});
    }
    return AddDetail(name, rows);
  }

  QString AddDetail(const QString& name, const std::vector<Row>& rows) const {
    const QString path = dir.File(name);
    QFile::copy(dir.File("SpaceData.db"), path);
    rig::TSQLiteDatabase db(path.toUtf8());
    db.RunSQL("BEGIN");
    for (const Row& r : rows) {
      db.RunSQL(
          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
          "VALUES (?1,?2,?3,?4,?5,?6,?7,?8)",
          {rig::ToGbk(r.DealTimes), rig::ToGbk(r.CZDealTimes), rig::ToGbk(r.State[0]), rig::ToGbk(r.State[1]),
           rig::ToGbk(r.State[2]), rig::ToGbk(r.Mark[0]), rig::ToGbk(r.Mark[1]), rig::ToGbk(r.Mark[2])});
    }
    db.RunSQL("COMMIT");
    return path;
  }
};

}  // namespace rigtest
