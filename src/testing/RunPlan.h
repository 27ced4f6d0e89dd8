#pragma once
// What a test's mode and parameters promise about its pace: how many actions
// a cycle has, how long its delays add up to and how many cycles were set.
// The live view compares the rig's real pace against this.
#include <cstdint>

#include "testing/HeldTest.h"

namespace rig {

struct RunPlan {
  int Mode = 0;
  bool Life = false;
  int32_t SetCount = 0;     // life tests; 0 for operation tests
  int ActionsPerCycle = 0;  // life tests: 2 or 4; operation tests: the actions of their one run
  // The delays of one cycle (one run of an operation test), in ms; the
  // actions' own time comes on top. 0 when a delay is not a number.
  int64_t DelayMs = 0;
};

RunPlan PlanOf(const HeldTest& test);

// Actions of one cycle of a life test; 0 for operation tests, which run once.
int ActionsPerCycle(int mode);

}  // namespace rig
