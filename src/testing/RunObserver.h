#pragma once
// Who else hears of a station's run as it happens (the recovery journal, the
// live view).
#include "core/ActionRecord.h"

namespace rig {

class IRunObserver {
 public:
  virtual ~IRunObserver() = default;
  // A new test was sent to the controller (a test continued after a lost
  // line is not new).
  virtual void RunStarted() = 0;
  // An action joined the station's queue.
  virtual void ActionQueued(const ActionRecord& record) = 0;
  // The operator let the held test go unsaved.
  virtual void RunDiscarded() = 0;
  // The operator pressed 继续测试 after a refused action.
  virtual void RunContinued() {}
};

}  // namespace rig
