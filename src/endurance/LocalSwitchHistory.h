#pragma once
// A switch's history from this rig's own files: its saved tests (SaveData.db,
// found with the saved-test search) and its programmes (Programmes.db),
// oldest first. Each call opens the files and closes them again.
#include <QString>
#include <vector>

#include "endurance/SwitchHistory.h"

namespace rig {

// Throws ESQLiteException when SaveData.db or Programmes.db cannot be read;
// a test whose detail file cannot be read is listed with that as its outcome.
std::vector<SwitchHistoryItem> LocalSwitchHistory(const QString& exeDir, const SwitchHistoryQuery& query);

// True when a stored factory number and model are the switch asked for:
// the whole text, blanks around it and the case of letters ignored; an
// empty model in the query matches any.
bool MatchesSwitch(const SwitchHistoryQuery& query, const QString& factoryNumber, const QString& model);

// Oldest first; at the same moment a programme before the tests it ran,
// then this rig's before the lab's, then by number. Stable for equal items.
void SortHistory(std::vector<SwitchHistoryItem>& items);

}  // namespace rig
