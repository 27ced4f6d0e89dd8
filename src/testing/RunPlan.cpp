#include "testing/RunPlan.h"

#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rig {

int ActionsPerCycle(int mode) {
  if (mode == kLifeOpenCloseOpen) return 4;
  return IsLifeMode(mode) ? 2 : 0;
}

RunPlan PlanOf(const HeldTest& test) {
  bool ok = true;
  const auto value = [&](int number) -> int64_t {
    int v = 0;
    if (!ParseParameterText(test.ParamTexts[number - 1], &v) || v < 0) ok = false;
    return v;
  };
  const auto ms = [&](int number) { return value(number); };
  const auto seconds = [&](int number) { return value(number) * 1000; };

  RunPlan plan;
  plan.Mode = test.Mode;
  plan.Life = IsLifeMode(test.Mode);
  plan.ActionsPerCycle = ActionsPerCycle(test.Mode);
  switch (test.Mode) {
    case kSingleClose: plan.ActionsPerCycle = 1, plan.DelayMs = ms(1); break;
    case kSingleOpen: plan.ActionsPerCycle = 1, plan.DelayMs = ms(2); break;
    case kCloseOpen: plan.ActionsPerCycle = 2, plan.DelayMs = ms(3); break;
    case kOpenClose: plan.ActionsPerCycle = 2, plan.DelayMs = ms(4); break;
    case kOpenCloseOpen: plan.ActionsPerCycle = 3, plan.DelayMs = ms(5) + ms(6); break;
    case kLifeOpenThenClose: plan.DelayMs = seconds(7) + seconds(8); break;
    case kLifeCloseOpen: plan.DelayMs = ms(10) + seconds(11); break;
    case kLifeOpenClose: plan.DelayMs = ms(13) + seconds(14); break;
    case kLifeOpenCloseOpen: plan.DelayMs = ms(16) + ms(17) + seconds(18) + seconds(19); break;
    default: break;
  }
  if (!ok) plan.DelayMs = 0;
  if (const TestModeInfo* info = FindTestMode(test.Mode); info && info->Life) {
    int count = 0;
    if (ParseParameterText(test.ParamTexts[info->SetCountParameter - 1], &count) && count > 0)
      plan.SetCount = count;
  }
  return plan;
}

}  // namespace rig
