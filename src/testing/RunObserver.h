#pragma once
// Who else hears of a station's run as it happens (the recovery journal, the
// live view).
#include "core/ActionRecord.h"
#include "testing/PositionJudge.h"

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
  // The controller reported the end of the running test.
  virtual void RunFinished() {}
  // The running test was cancelled (取消测试 or a disconnect).
  virtual void RunCancelled() {}
  // The held test was saved (the save button, or the save the start's
  // question offers).
  virtual void RunSaved() {}
  // The station's line failed; a running test stays, to be resumed.
  virtual void LineLost() {}
  // The action just queued left a break where the mode does not want it:
  // marked by the refusal check (`marked`), or, without a mark, found by the
  // position rule. Told after ActionQueued, whatever the refusal option.
  virtual void ActionRefused(const ActionRecord& /*record*/, const BreakDeviations& /*found*/, bool /*marked*/) {}
};

}  // namespace rig
