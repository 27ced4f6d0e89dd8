#pragma once
// Searching the lab database: the saved-test search's filters plus the rig.
#include <QString>
#include <vector>

#include "lab/LabSettings.h"
#include "storage/TestSearch.h"

namespace rig::lab {

class LabConnection;

struct LabSearchFilter {
  SearchFilter Base;  // texts match anywhere, any case, % and _ as wildcards
  QString RigName;    // likewise
  int Limit = 20000;  // rows at most, newest or oldest first as Base says
};

// A found test as the search list shows it; AutoID holds the lab test id,
// DetailPath the rig's name.
std::vector<SearchRow> SearchLabTests(LabConnection& connection, const LabSearchFilter& filter);

// Connects, searches and disconnects. Throws LabError.
std::vector<SearchRow> SearchLabTests(const LabSettings& settings, const LabSearchFilter& filter);

}  // namespace rig::lab
