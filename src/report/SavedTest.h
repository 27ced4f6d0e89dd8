#pragma once
// One saved test as reports and exports need it: its TestInfo row and every
// action of its detail file, read in the order they were written.
#include <QString>
#include <array>
#include <vector>

#include "report/ReportError.h"

namespace rig {

enum class Refusal : unsigned char { None, Close, Open, Other };  // "", "拒合", "拒分", anything else

struct SavedAction {
  int Count = 0;     // DealTimes
  int ActionNo = 0;  // CZDealTimes
  std::array<bool, 3> Closed{};          // A1, B1, C1 after the action
  std::array<Refusal, 3> Marks{};        // A1, B1, C1 refusal mark as stored
  // What reports count per break: the stored mark, or where there is none,
  // what the position rule finds (JudgeSavedAction).
  std::array<Refusal, 3> Found{};
  std::array<bool, 3> FromPositions{};   // found by the position rule, not marked
  bool Judged = false;                   // the mode has this action: its positions were judged
  bool Refused() const { return Found[0] != Refusal::None || Found[1] != Refusal::None || Found[2] != Refusal::None; }
};

// Fills `a`'s findings from its marks and positions under `mode`. Under
// "忽略拒动作" the check never ran, so the positions alone tell; under
// "不忽略拒动作" they agree with the marks the check left.
void JudgeSavedAction(int mode, SavedAction& a);

struct SavedTest {
  qint64 AutoId = 0;
  QString OpenType, OutIndex, WorkArea, WorkName;
  QString StartText, EndText;  // "yyyy-MM-dd hh:mm:ss" as stored
  int Station = 0;             // iWorkIndex
  int Mode = 0;                // iDealType
  std::array<int, 5> Params{};  // Param1..Param5
  int CountDone = 0;            // iDealTimes
  bool IgnoreRefusals = false;  // iCancelDeal = 1
  QString DetailPath;           // the detail file read
  QString ReportNumber;         // given at save or at the first report; empty when none yet
  std::vector<SavedAction> Actions;
};

// The refusal mark of a stored text, and its text.
Refusal RefusalOfText(const QString& mark);
QString RefusalText(Refusal r);

// Reads the test with `autoId` from exeDir + "SaveData.db" and its detail
// file. Throws ReportError naming the file for a missing database, an unknown
// id, a missing or damaged detail file; ReportCancelled when `progress` says
// so. Never creates or changes a file.
SavedTest LoadSavedTest(const QString& exeDir, const QString& autoId, const ReportProgress& progress = {});

// A saved test's refusals per break (A1, B1, C1), counted as reports count
// them (the stored mark, or where there is none what the position rule
// finds), in one pass over its detail file without keeping its actions.
// Throws ReportError as LoadSavedTest does.
struct RefusalCounts {
  int Actions = 0;
  int UnjudgedActions = 0;  // actions the mode does not have, without a mark
  std::array<int, 3> Closings{}, Openings{}, Others{};
};
RefusalCounts CountSavedRefusals(const QString& exeDir, const QString& autoId);

// LoadSavedTest for a report or an export: a test without a report number
// is given one first (the one write a report makes). Throws ReportError
// naming SaveData.db when the number cannot be given.
SavedTest LoadTestForReport(const QString& exeDir, const QString& autoId, const ReportProgress& progress = {});

}  // namespace rig
