#pragma once
// Listing and deleting saved tests (TestInfo rows of SaveData.db).
#include <QDate>
#include <QString>
#include <vector>

namespace rig {

struct SearchFilter {
  QString OutIndex;  // each text matches anywhere ("like"), % and _ are wildcards
  QString OpenType;
  QString WorkArea;
  QString WorkName;
  QDate From;  // start dates from the beginning of From ...
  QDate To;    // ... to the beginning of the day after To, inclusive
  bool Ascending = false;  // by AutoID: oldest saved first
};

// One listed test, as the list shows it.
struct SearchRow {
  QString OutIndex;
  QString OpenType;
  QString StartTestTime;
  QString EndTestTime;
  QString ModeText;
  QString DoneCount;  // iDealTimes for life tests, else "-"
  QString SetCount;   // the set count for life tests, else "-"
  QString WorkArea;
  QString WorkName;
  QString AutoID;
  QString DetailPath;  // DetailSaveDBName as stored
  int Station = 0;     // iWorkIndex
  int Mode = 0;        // iDealType
};

// The date bounds as compared: "yyyy-mm-dd 00:00:00" of From and of To + 1.
QString LowerBoundText(const QDate& from);
QString UpperBoundText(const QDate& to);

// Runs the search on exeDir + "SaveData.db". Throws ESQLiteException when the
// database cannot be opened or queried. A row that cannot be read ends the
// list: the rows before it stay, and it keeps the cells read before the fault.
std::vector<SearchRow> SearchTests(const QString& exeDir, const SearchFilter& filter);

// Deletes a saved test: the TestInfo row first, then, once the row is gone,
// its detail file (only if it is one). Returns false when the row could not
// be deleted; throws ESQLiteException when SaveData.db cannot be opened.
bool DeleteTest(const QString& exeDir, const QString& autoId, const QString& detailPath);

}  // namespace rig
