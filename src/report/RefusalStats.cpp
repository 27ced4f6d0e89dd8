#include "report/RefusalStats.h"

#include <algorithm>

#include "storage/ModeTexts.h"

namespace rig {

RefusalStats ComputeRefusalStats(const SavedTest& test, int blockSize) {
  RefusalStats s;
  const std::vector<SavedAction>& actions = test.Actions;
  s.Actions = static_cast<int>(actions.size());
  for (const SavedAction& a : actions) s.MaxCount = std::max(s.MaxCount, a.Count);
  s.EndCount = std::max(s.MaxCount, test.CountDone);
  const bool blocks = IsLifeMode(test.Mode);
  if (blocks) {
    const int n = std::max(1, (s.EndCount + blockSize - 1) / blockSize);
    s.Blocks.resize(static_cast<size_t>(n));
    for (int b = 0; b < n; ++b) {
      s.Blocks[b].FirstCount = b * blockSize + 1;
      s.Blocks[b].LastCount = std::min((b + 1) * blockSize, std::max(s.EndCount, 1));
    }
  }
  for (const SavedAction& a : actions) {
    if (!a.Judged && !a.Refused()) ++s.UnjudgedActions;
    CountBlock* block = nullptr;
    if (blocks) block = &s.Blocks[a.Count <= 0 ? 0 : std::min(s.Blocks.size() - 1, size_t((a.Count - 1) / blockSize))];
    if (block) ++block->Actions;
    if (!a.Refused()) continue;
    ++s.RefusedActions;
    if (block) ++block->RefusedActions;
    s.Refused.push_back(&a);
    if (s.FirstRefusalCount < 0) {
      s.FirstRefusalCount = a.Count;
      s.FirstRefusalAction = a.ActionNo;
    }
    for (int b = 0; b < 3; ++b) {
      BreakRefusals& br = s.Breaks[b];
      switch (a.Found[b]) {
        case Refusal::None: continue;
        case Refusal::Close: ++br.Closings; if (block) ++block->RefusedClosings; break;
        case Refusal::Open: ++br.Openings; if (block) ++block->RefusedOpenings; break;
        case Refusal::Other: ++br.Others; break;
      }
      ++(a.FromPositions[b] ? s.PositionRefusals : s.MarkedRefusals);
      if (br.FirstCount < 0) br.FirstCount = a.Count;
    }
  }
  return s;
}

QStringList JudgementTexts(const SavedTest& t, const RefusalStats& st) {
  QStringList out;
  if (t.IgnoreRefusals)
    out << QStringLiteral("本次试验设定为“忽略拒动作”，试验中未运行拒动作判定；拒动作统计按每次动作记录的断口位置与该动作应有的位置"
                          "比较得出，规则与试验中的拒动作判定相同。");
  else
    out << QStringLiteral("本次试验设定为“不忽略拒动作”：拒动作由试验中的拒动作判定标记，每次动作记录的断口位置按同一规则复核。");
  if (st.MarkedRefusals > 0 && st.PositionRefusals > 0)
    out << QStringLiteral("共 %1 处断口拒动作：%2 处由拒动作判定标记，%3 处由断口位置判定（记录中未标记）。")
               .arg(st.MarkedRefusals + st.PositionRefusals)
               .arg(st.MarkedRefusals)
               .arg(st.PositionRefusals);
  else if (st.PositionRefusals > 0 && !t.IgnoreRefusals)
    out << QStringLiteral("%1 处断口拒动作在记录中未标记，由断口位置判定。").arg(st.PositionRefusals);
  else if (st.MarkedRefusals > 0 && t.IgnoreRefusals)
    out << QStringLiteral("%1 处断口拒动作为记录中的标记。").arg(st.MarkedRefusals);
  if (st.UnjudgedActions > 0)
    out << QStringLiteral("%1 次动作不在该测试类型的动作顺序内，其断口位置未作判定。").arg(st.UnjudgedActions);
  return out;
}

}  // namespace rig
