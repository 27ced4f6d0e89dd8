#pragma once
// Cycle times of a programme's blocks, measured from each action's arrival:
// a cycle's time runs from its first action to the next cycle's first
// action. A cycle measured across a start, a resume or a 继续测试 is left
// out (the rig was waiting). Per block the mean, the spread (standard
// deviation) and the slowest cycle, summed as they come, so a block of any
// length keeps a few numbers; and the drift of a block's mean against the
// first block's, which warns the operator past the programme's limit.
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace rig {

struct CycleStats {
  int64_t Cycles = 0;
  double MeanMs = 0;
  double SumSquares = 0;  // of the deviations from the mean (Welford)
  double SlowestMs = 0;

  void Add(double ms);
  double SpreadMs() const;
};

// One action's arrival, kept beside the detail file in Programmes.db.
struct ActionTime {
  int Block = 0;
  int32_t Operation = 0;  // the programme's cycle it belongs to
  int32_t ActionNo = 0;   // in its run
  int64_t ArrivedMs = 0;  // ms since the epoch
};

// Feeds one run's actions in order and says when a cycle was measured.
class TCycleClock {
 public:
  // A run started, resumed or continued: the next cycle is not measured.
  void Break() { last_.reset(); }
  // An action of `count` arrived at `arrivedMs`; `firstOfCycle` when it is
  // the first action of its cycle (after a resume the controller repeats the
  // cycle under way from its first action; after 继续测试 it goes on in the
  // middle of one). The time of the cycle before, when both ends were seen.
  std::optional<double> Action(int32_t count, bool firstOfCycle, int64_t arrivedMs);

 private:
  struct Mark {
    int32_t Count;
    int64_t At;
  };
  std::optional<Mark> last_;  // the first action of the cycle under way
};

// "第3段平均循环时间比第1段长12%（限值10%）"; empty within the limit, or
// when either block has fewer than `minCycles` measured cycles.
QString DriftWarning(const std::vector<CycleStats>& blocks, double limit, int64_t minCycles = 10);

// "平均 1.52 s，离散 0.03 s，最慢 1.71 s（1,999个循环）".
QString CycleStatsText(const CycleStats& s);

}  // namespace rig
