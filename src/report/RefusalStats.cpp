#include "report/RefusalStats.h"

#include <algorithm>

namespace rig {

RefusalStats ComputeRefusalStats(const std::vector<SavedAction>& actions, int blockSize) {
  RefusalStats s;
  s.Actions = static_cast<int>(actions.size());
  for (const SavedAction& a : actions) s.MaxCount = std::max(s.MaxCount, a.Count);
  const int blocks = std::max(1, (s.MaxCount + blockSize - 1) / blockSize);
  s.Blocks.resize(static_cast<size_t>(blocks));
  for (int b = 0; b < blocks; ++b) {
    s.Blocks[b].FirstCount = b * blockSize + 1;
    s.Blocks[b].LastCount = (b + 1) * blockSize;
  }
  for (const SavedAction& a : actions) {
    CountBlock& block = s.Blocks[a.Count <= 0 ? 0 : static_cast<size_t>((a.Count - 1) / blockSize)];
    ++block.Actions;
    if (!a.Refused()) continue;
    ++s.RefusedActions;
    ++block.RefusedActions;
    s.Refused.push_back(&a);
    if (s.FirstRefusalCount < 0) {
      s.FirstRefusalCount = a.Count;
      s.FirstRefusalAction = a.ActionNo;
    }
    for (int b = 0; b < 3; ++b) {
      BreakRefusals& br = s.Breaks[b];
      switch (a.Marks[b]) {
        case Refusal::None: continue;
        case Refusal::Close: ++br.Closings; ++block.RefusedClosings; break;
        case Refusal::Open: ++br.Openings; ++block.RefusedOpenings; break;
        case Refusal::Other: ++br.Others; break;
      }
      if (br.FirstCount < 0) br.FirstCount = a.Count;
    }
  }
  return s;
}

}  // namespace rig
