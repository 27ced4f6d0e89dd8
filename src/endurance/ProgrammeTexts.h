#pragma once
// The programme's record in words, block by block, for its window: count,
// cycle times and their drift against block 1, the voltage confirmed, the
// inspection after it with each measurement judged.
#include <QString>

#include "endurance/Programme.h"

namespace rig {

QString ProgrammeRecordText(const Programme& p);

}  // namespace rig
