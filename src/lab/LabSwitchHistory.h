#pragma once
// A switch's history from the lab database: its tests and programmes from
// every rig, found by factory number through the whole-number indexes.
#include <vector>

#include "endurance/SwitchHistory.h"
#include "lab/LabSettings.h"

namespace rig::lab {

class LabConnection;

// The switch's tests (lab_tests) and programmes (lab_programmes) of every
// rig, oldest first, each with its rig's name and its lab id (test_id,
// programme_id). The factory number is matched whole, ignoring case and
// surrounding blanks; so is the model, when given. Throws LabError.
std::vector<SwitchHistoryItem> FetchLabSwitchHistory(LabConnection& connection, const SwitchHistoryQuery& query);

// What the switch history window adds from the lab: the other rigs' items
// (this rig's own are in its files already). Connects within 5 s and gives
// the query 10 s; throws LabError.
std::vector<SwitchHistoryItem> OtherRigsSwitchHistory(const LabSettings& settings, const SwitchHistoryQuery& query);

// The statement it runs ($1 factory number, $2 model or empty), to EXPLAIN.
const char* LabSwitchHistorySql();

// A test's refusals per break in words: "无拒动作", "B1拒合2次", "A1拒合1次，C1拒分3次".
QString RefusalsText(const int closings[3], const int openings[3]);

}  // namespace rig::lab
