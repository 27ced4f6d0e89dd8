#pragma once
// Another rig's programme as the lab database holds it, in words: its
// switch, standard and class, each block with its cycles, cycle times and
// control voltage, each inspection with its measurements judged, the first
// failure and the verdict. What the switch history window shows when such
// a programme is opened.
#include <QString>
#include <optional>

namespace rig::lab {

class LabConnection;
struct LabSettings;

// The record of programme `programmeId` (its UUID); nothing when the lab
// has no such programme. Throws LabError.
std::optional<QString> FetchLabProgrammeRecord(LabConnection& connection, const QString& programmeId);
// The same on a connection of its own: connects within 5 s and gives the
// queries 10 s, as the switch history's lookup does.
std::optional<QString> FetchLabProgrammeRecord(const LabSettings& settings, const QString& programmeId);

}  // namespace rig::lab
