#pragma once
// Searching the lab database: the saved-test search's filters plus the rig.
#include <QString>
#include <string>
#include <vector>

#include "lab/LabSettings.h"
#include "storage/TestSearch.h"

namespace rig::lab {

class LabConnection;

struct LabSearchFilter {
  SearchFilter Base;  // texts match anywhere, any case, exactly as typed (% _ \ are plain characters)
  QString RigName;    // likewise
  int Limit = 20000;  // rows at most, newest or oldest first as Base says
};

struct LabSearchResult {
  // Found tests as the search list shows them; AutoID holds the lab test
  // id, DetailPath the rig's name.
  std::vector<SearchRow> Rows;
  bool Cut = false;  // more tests matched than Limit: the list is not all of them
};

LabSearchResult SearchLabTests(LabConnection& connection, const LabSearchFilter& filter);

// The search's statement and its parameters: only the filters given, each
// in a form an index of step 5 can serve (see LabSchema.sql). With a
// `window`, only that many of the range's first tests in the list's order
// are looked at, through the time index.
std::string LabSearchSql(const LabSearchFilter& filter, std::vector<std::string>* params, int window = 0);

// Connects, searches and disconnects. Throws LabError.
LabSearchResult SearchLabTests(const LabSettings& settings, const LabSearchFilter& filter);

// What the search window says under a cut list.
QString CutListNotice(const LabSearchFilter& filter);

}  // namespace rig::lab
