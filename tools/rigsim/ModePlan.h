#pragma once
// What the simulated controller does for each test mode: the switch actions
// of one operation test or of one life-test cycle, with the pause after each.
#include <cstdint>
#include <vector>

#include "protocol/ParameterBlock.h"

namespace rig::sim {

struct ActionStep {
  bool Close = false;         // the action closes the breaks (else opens them)
  int64_t DelayAfterMs = 0;   // pause after the action, before the next one
};

struct ModePlan {
  bool Known = false;         // one of the nine modes
  bool Life = false;
  std::vector<ActionStep> Steps;  // an operation test, or one cycle
  int64_t ActionMs = 0;       // time one action takes before it is reported
  int32_t SetCount = 1;       // cycles of a life test; 1 for an operation test

  // Actions a run performs when it resumes after `resumeCount` cycles.
  int64_t TotalActions(int32_t resumeCount) const;
};

// The plan of `settings.Mode` from the parameters in `settings`:
//   1 单合 close (for parameter 1 ms)       2 单分 open (parameter 2 ms)
//   3 合分 close, p3 ms, open               4 分合 open, p4 ms, close
//   5 分合分 open, p5 ms, close, p6 ms, open
//  17 单分单合 cycle: open, p7 s, close, p8 s; p9 cycles
//  18 合分 cycle: close, p10 ms, open, p11 s; p12 cycles
//  19 分合 cycle: open, p13 ms, close, p14 s; p15 cycles
//  20 分合分 cycle: open, p16 ms, close, p17 ms, open, p18 s, close, p19 s; p20 cycles
// Other actions take `actionMs`. Negative times count as 0. An unknown mode
// has no steps.
ModePlan PlanFor(const ParameterBlock& settings, int64_t actionMs);

bool IsLifeMode(int32_t mode);

}  // namespace rig::sim
