#pragma once
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>

namespace rig {

// Index of a break in the per-break arrays.
enum BreakIndex { kBreakA1 = 0, kBreakB1 = 1, kBreakC1 = 2, kBreakCount = 3 };

// One action reported by a controller, as it is saved.
struct ActionRecord {
  int32_t Count = 0;     // the station's count done after this action
  int32_t ActionNo = 0;  // actions of this run so far, 1 for the first
  uint8_t Closed[kBreakCount] = {0, 0, 0};  // 1 = closed, 0 = open
  QString Marks[kBreakCount];               // "拒合", "拒分" or empty
};

// Actions of the running test waiting to be saved, oldest first. The queue
// owns its records.
using ActionQueue = std::deque<std::unique_ptr<ActionRecord>>;

}  // namespace rig
