#pragma once
// A programme as the lab database keeps it: the whole of it after one
// change, in a JSON document that waits in the outbox and is stored by
// UploadProgramme. Its verdict and counts are worked out when it is made,
// so the lab shows what the rig showed.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "endurance/Programme.h"

namespace rig::lab {

struct ProgrammeSnapshot {
  QString ProgrammeId;  // the programme's LabId
  int64_t Version = 0;  // its Revision
  QByteArray Json;
};

// The snapshot of `p` (stored, so with LabId and Revision) of rig `rigName`.
ProgrammeSnapshot MakeProgrammeSnapshot(const QString& rigName, const Programme& p, const QDateTime& storedAt);

}  // namespace rig::lab
