#pragma once
// Told of every change of a programme once it is stored, on the thread that
// stored it: the lab service queues a snapshot for the lab database.
#include "endurance/Programme.h"

namespace rig {

class IProgrammeSink {
 public:
  virtual ~IProgrammeSink() = default;
  // `p` as just committed to Programmes.db (Id, LabId and Revision set).
  virtual void ProgrammeChanged(const Programme& p) noexcept = 0;
};

}  // namespace rig
