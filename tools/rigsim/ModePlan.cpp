#include "ModePlan.h"

#include <algorithm>

namespace rig::sim {
namespace {

int64_t Ms(int32_t v) { return std::max<int64_t>(0, v); }
int64_t Seconds(int32_t v) { return std::max<int64_t>(0, v) * 1000; }

}  // namespace

bool IsLifeMode(int32_t mode) { return mode >= 17 && mode <= 20; }

int64_t ModePlan::TotalActions(int32_t resumeCount) const {
  if (Steps.empty()) return 0;
  if (!Life) return static_cast<int64_t>(Steps.size());
  const int64_t cycles = static_cast<int64_t>(SetCount) - std::max<int32_t>(0, resumeCount);
  return cycles > 0 ? cycles * static_cast<int64_t>(Steps.size()) : 0;
}

ModePlan PlanFor(const ParameterBlock& settings, int64_t actionMs) {
  const auto p = [&](int n) { return settings.Parameters[n - 1]; };
  ModePlan plan;
  plan.ActionMs = std::max<int64_t>(0, actionMs);
  plan.Known = true;
  switch (settings.Mode) {
    case 1:
      plan.Steps = {{true, 0}};
      plan.ActionMs = Ms(p(1));
      break;
    case 2:
      plan.Steps = {{false, 0}};
      plan.ActionMs = Ms(p(2));
      break;
    case 3: plan.Steps = {{true, Ms(p(3))}, {false, 0}}; break;
    case 4: plan.Steps = {{false, Ms(p(4))}, {true, 0}}; break;
    case 5: plan.Steps = {{false, Ms(p(5))}, {true, Ms(p(6))}, {false, 0}}; break;
    case 17:
      plan.Steps = {{false, Seconds(p(7))}, {true, Seconds(p(8))}};
      plan.SetCount = p(9);
      break;
    case 18:
      plan.Steps = {{true, Ms(p(10))}, {false, Seconds(p(11))}};
      plan.SetCount = p(12);
      break;
    case 19:
      plan.Steps = {{false, Ms(p(13))}, {true, Seconds(p(14))}};
      plan.SetCount = p(15);
      break;
    case 20:
      plan.Steps = {{false, Ms(p(16))}, {true, Ms(p(17))}, {false, Seconds(p(18))}, {true, Seconds(p(19))}};
      plan.SetCount = p(20);
      break;
    default:
      plan.Known = false;
      break;
  }
  plan.Life = IsLifeMode(settings.Mode);
  return plan;
}

}  // namespace rig::sim
